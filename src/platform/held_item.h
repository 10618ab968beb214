// An item of the disk pinned down before anything is done to it: the folder that holds it is
// opened once, with no link followed on the way, and kept open, together with what the entry
// was when it was looked at. Every later step (removing, trashing, moving, copying) works
// relative to that open folder and first checks that the entry is still the one that was
// judged, so a link or folder swapped in by another program is never acted on.
#pragma once

#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <variant>

#include "base/unique_fd.h"

namespace bramwick {

// Which object of which file system: what stays the same however a path to it is spelled.
struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const Identity&) const = default;
};

inline Identity identityOf(const struct stat& st) {
    return {st.st_dev, st.st_ino};
}

struct HeldItem {
    UniqueFd folder;         // the folder that holds the entry, reached without any link
    Identity folderIdentity; // that folder, as it was opened
    std::string name;        // the entry's name in `folder`
    struct stat seen {};     // the entry as it was looked at (a link itself, never its target)
    // Where the entry is, as the system names the open folder: no link in it. For judging,
    // messages and Trash records; never used to reach the entry.
    std::string path;

    Identity identity() const { return identityOf(seen); }
};

namespace Held {

// Opens an absolute folder path for use as the base of later steps, refusing any link on the
// way (ELOOP) and following no "..". Sets errno and returns an empty handle on failure.
UniqueFd openFolder(const std::string& absolutePath);

// Opens the folder at `path` (an absolute path whose links are resolved once, here) and holds
// it: the handle of a chosen destination folder. Empty with errno set on failure.
UniqueFd openChosenFolder(const std::string& path);

// The folder `path` with the links on the way to it resolved where a link may lead elsewhere:
// in the home's own top three levels (~/.cache, ~/Downloads or ~/.local/share/Trash kept on
// another drive), and elsewhere in the first two (/lib, /tmp/claude-1000). Below those the
// names are kept as they are, for a caller that opens them without following links: deeper
// folders are applications' own (~/.var/app/<id>/cache, a session's scratchpad), some of which
// run sandboxed yet write there, and a link one of them plants must never turn the clean of its
// files into a clean of the user's. A link there that leads to the home itself, above it or to
// a folder the whole system shares (/tmp, "/") is not followed either (ELOOP). None with errno
// set when the resolved part is not there.
std::optional<std::string> followedFolder(const std::string& path);

// Whether `folder` is reached without a link that followedFolder would not follow.
bool reachedWithoutDeepLinks(const std::string& folder);

// A folder the user chose to walk (a root of Large Files or of the finders), spelled so that
// what is found in it can be held: as given, unless a link deeper than followedFolder follows
// leads there, then where it leads. Empty, so not walked, when a link on the way leads to what
// is not one of the user's own folders (the home, above it, the system's).
std::string walkableFolder(const std::string& folder);

// Holds the entry at `path` (absolute). The folder above it is found with followedFolder,
// opened without following any further link (ELOOP when there is one), and the entry looked at
// in it (not followed). On failure the error number: ENOENT or ENOTDIR when nothing is there.
std::variant<HeldItem, int> hold(const std::string& path);

// Holds the entry `name` of an already open folder (`path` names it for messages).
std::variant<HeldItem, int> holdIn(int folderFd, const std::string& name, const std::string& path);

// The path the system gives an open descriptor; none when it cannot say.
std::optional<std::string> pathOf(int fd);

// What is at the held entry's name now: none with errno set when nothing can be looked at.
std::optional<struct stat> current(const HeldItem& item);

// True when the held entry's name still holds the very object that was judged.
bool stillThere(const HeldItem& item);

} // namespace Held

} // namespace bramwick
