// Moving to the Trash, the freedesktop.org way: the user's own trash folder for items on its
// file system, a mounted drive's own trash folder for items on that drive. An item is only ever
// renamed into a trash folder, never copied and deleted, so a failure leaves it where it was.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <variant>
#include <vector>

#include "platform/held_item.h"
#include "platform/mounts.h"

namespace bramwick::Trash {

// A trash folder (holding files/ and info/). For the trash of a mounted drive `topDirectory` is
// that drive's top folder, and the recorded original paths are relative to it.
struct Folder {
    std::string path;
    std::optional<std::string> topDirectory;
};

// The user's own trash: <data home>/Trash.
std::string homeTrash();

// Moves the held item to the trash that serves its file system: the home trash for an item on
// its mount, else the trash of the item's own drive, but never one at the top of the system's or
// the home's drive, nor on one of the system's own file systems (a tmpfs, /var/tmp), where no
// Trash shows it. None on success, else the reason. Only the judged object is ever moved.
std::optional<std::string> moveToTrash(const HeldItem& item);
// The same for the entry at `path` (held first).
std::optional<std::string> moveToTrash(const std::string& path);

// Moves `path` into `trash` (creating files/ and info/ as needed): info/<name>.trashinfo is
// reserved first, so a name taken by another item is never reused, then the item is renamed to
// files/<name>. A taken name gets " 2", " 3"… before its extension. None on success, else the
// reason; on failure the item and the trash are as they were.
std::optional<std::string> moveInto(const HeldItem& item, const Folder& trash);
std::optional<std::string> moveInto(const std::string& path, const Folder& trash);

// The trash folder a mounted drive offers this user at its top folder: <top>/.Trash/<uid> when
// <top>/.Trash is a real folder with the sticky bit, else <top>/.Trash-<uid>. Either is created
// when missing; the reason when neither can be used.
std::variant<Folder, std::string> driveTrash(const std::string& topDirectory, uid_t user);

// The trash folders that mounted drives keep for `user` and that the desktop's Trash shows: on
// every mount but the system's own (Mounts::isSystemInternal), <top>/.Trash/<uid> when
// <top>/.Trash is a real folder (not a link) with the sticky bit, and <top>/.Trash-<uid>; each
// only when it is a real folder of the user's with a real files/ folder in it. Nothing is
// created. Each folder once (two mounts of one drive show it twice), the home trash left out.
std::vector<Folder> driveTrashes(const std::vector<Mounts::Mount>& mounts, uid_t user);
// The same for the mounts of this process and its user; empty when they cannot be read.
std::vector<Folder> driveTrashes();

// The top folder of the mounted file system that holds `path` (links in it resolved).
std::optional<std::string> mountTop(const std::string& path);

// For an item just removed from the files/ folder of a trash this layer uses (the home trash,
// a trash of the item's drive), removes the .trashinfo record that described it. Any other
// folder named "files" is left alone, and the record is reached without following a link.
void forgetInfo(const HeldItem& item);

// The text of a .trashinfo file for an item.
std::string infoText(std::string_view originalPath, time_t deletedAt);

// A path percent-encoded for the Path= line ("/" and unreserved characters stay as they are).
std::string encodePath(std::string_view path);

} // namespace bramwick::Trash
