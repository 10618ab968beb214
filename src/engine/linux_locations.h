// Where the data of each catalog category lives on a Linux desktop, beside the places the catalog
// row lists: the same kind of data with the same risk only (a cache stays a cache, nothing that
// cannot be rebuilt joins a safe row). Kept apart from the rows so each row reads as it is, and
// merged into them when the catalog is built.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/models.h"

namespace bramwick::LinuxLocations {

// What one category adds. Paths begin with "~/" or with an XDG base folder: "$CACHE/",
// "$CONFIG/", "$DATA/", "$STATE/" (each honouring its XDG_*_HOME, which BRAMWICK_HOME turns
// off), or are absolute; a "*" component stands for every folder there.
struct Addition {
    std::vector<std::string> paths{};
    // Files that a contents row lists as items of their own, beside what its folders hold (the
    // X session's log beside the log folders). They join `paths` too, so no other row takes them.
    std::vector<std::string> files{};
    // Those of `files` that a running program keeps writing to (the X session appends its log
    // for as long as it runs): a clean empties them where they are instead of removing them, since
    // a removed one would free nothing until that program ends and what it wrote next would go
    // where nobody can read it.
    std::vector<std::string> emptied{};
    // Keys of the user's own folders (user-dirs.dirs) that join the roots.
    std::vector<std::string> userFolders{};
    // Desktop-file ids of the applications that use these files while they run.
    std::vector<std::string> busyApps{};
    // Desktop-file ids of the application that manages the data.
    std::vector<std::string> managedBy{};
    // What cleaning does here, where the row's own action sentence would mislead.
    std::string sentence{};
};

// Stands, among the roots of a contents row, for the files/ folders of the Trash of every mounted
// drive that the desktop's Trash shows (Trash::driveTrashes), as they are when it is scanned.
inline constexpr std::string_view driveTrashes = "$DRIVE_TRASHES";

// Category id → what it adds on this platform. Rows without data here are absent.
const std::map<std::string, Addition>& table();

// A location of the table as the catalog holds it: "~/…" when it lies in the home, else absolute.
std::string resolve(std::string_view location);

// Adds every row's Linux places (after the ones it lists, each once; a root inside another root
// of the same row is dropped, so no file is reached twice), busy applications and managing
// application, and has its words name those places (nameLinuxPlaces with the user's folders).
void extend(std::vector<CleanupCategory>& rows);

// Makes the rows' summaries, infos and advice name the places they look in here, where the
// catalog's words name a folder of the other platform ("~/Library/Python", "Movies"): the user's
// own folders as `userFolders` (UserFolders::current()) names them, the XDG base folders where
// they are. Rows with no Linux place keep their words.
void nameLinuxPlaces(std::vector<CleanupCategory>& rows,
                     const std::map<std::string, std::string>& userFolders);

// Whether a root of a contents row is one of the table's files, listed as itself rather than
// for what it holds.
bool isListedFile(std::string_view root);

// Whether `path` (absolute, as a scan lists it) is one of the table's files that a clean empties
// in place rather than removes.
bool isEmptiedInPlace(const std::string& path);

// The browser profile folders (passwords, sign-in cookies) of this platform, expanded: never
// removed, whatever category or leftover reaches them.
std::vector<std::string> browserProfiles();

// The folders of this platform that hold other folders of many applications or of the user
// (the XDG base folders, the application and autostart entries, the Flatpak installations, the
// project folders, the user's own folders), expanded: never removed themselves.
std::vector<std::string> sharedFolders();

// Folders that belong to a category without a paths or contents source, as (expanded path, id)
// pairs: the claimed-paths map holds them so no broader row lists or counts them too.
std::vector<std::pair<std::string, std::string>> claimedElsewhere();

} // namespace bramwick::LinuxLocations
