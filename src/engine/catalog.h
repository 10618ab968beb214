// The fixed table of cleanup categories, and the helpers that turn its "~" paths into real paths
// and real paths back into short display forms.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/models.h"

namespace bramwick {
class Settings;
}

namespace bramwick::Catalog {

// The Trash's row: the folder of trashed files, emptied whole.
inline constexpr const char* trashId = "trash";

// The 45 categories in display order; built once, then only read.
const std::vector<CleanupCategory>& all();

// The category with this id, or null.
const CleanupCategory* find(std::string_view id);

// Every path that a paths or contents row lists, expanded, mapped to the id of the row that
// lists it (a later row wins). Custom folders are not in it.
const std::unordered_map<std::string, std::string>& claimedPaths();

// The id of the row that claims this expanded path: the map's own entry, else the entry of a
// claimed pattern ("~/.var/app/*/cache") that the path fits. Null when no row claims it.
const std::string* claimant(const std::string& path);

// The claimed paths as they are on disk now, each pattern replaced by the folders it stands for:
// (path, id) pairs in no particular order.
std::vector<std::pair<std::string, std::string>> claimedOnDisk();

// The user's own folders that the duplicate finders search ("~/Downloads", "~/Desktop", ...).
const std::vector<std::string>& personalFolders();

// The folders the duplicate finders search on this machine, as the duplicate rows list them:
// personalFolders() followed by ~/Videos and the user's own folders of the desktop.
const std::vector<std::string>& searchedPersonalFolders();

// The user's number of days after which an application counts as unused: the stored integer
// under "unusedAppDays" within 1...maximumUnusedAppDays, otherwise 100.
std::int64_t unusedAppDays(const Settings& settings);
// The most days the unused-days setting can hold: ten years.
inline constexpr std::int64_t maximumUnusedAppDays = 3650;

// "~" → home, "~/x" → home + "/x", "~user/x" → that user's home + "/x", anything else unchanged.
std::string expand(std::string_view path);

// The short folder form for notes: the home as "~", a path of four or more pieces cut to "…/"
// and its last two pieces.
std::string shortFolder(std::string_view path);

} // namespace bramwick::Catalog
