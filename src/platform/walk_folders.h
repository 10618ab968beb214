// What every parallel tree walk does at each folder: open it only if it is still the folder its
// parent listed, and enter a child folder only if it stays on the walk's file system.
#pragma once

#include <dirent.h>
#include <string>
#include <sys/stat.h>

#include "base/unique_fd.h"

namespace bramwick::WalkFolders {

// open(2) of a path of any length: a path too long for open(2) itself is opened a stretch at a
// time. `flags` apply to the last name only; the folders on the way are followed as open(2)
// follows them.
UniqueFd openAtAnyDepth(const std::string& path, int flags);

// Opens `path` for listing when it is still the folder with this device and inode; empty
// otherwise (gone, unreadable, or swapped for a link or another mount since it was seen).
// Only a walk's own root may be reached through a link.
UniqueDir openSeen(const std::string& path, dev_t device, ino_t inode, bool followLink = false);

// Whether the entry `name` of the open folder, with `child` its lstat, is a folder that a walk
// over the file system `device` goes into: another device or the root of a bind mount is not.
bool entersFolder(int folderFd, const char* name, const struct stat& child, dev_t device);

// "." and "..", which a listing passes over.
inline bool isSelfOrParent(const char* name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

} // namespace bramwick::WalkFolders
