// Folders the user added as categories of their own, kept in the settings under
// "customFolders" as a JSON list in the order they were added. What a custom folder holds is
// listed, and cleaning moves it to the Trash; the folder itself stays.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "engine/models.h"

namespace bramwick {

class Settings;

struct CustomFolder {
    std::string id;    // "custom-" and an upper-case UUID; also its category's id
    std::string path;  // absolute, links resolved
    std::string level; // a level's raw string
    // Never made here; carried unchanged through a load and a save.
    std::optional<std::vector<std::uint8_t>> bookmark;

    bool operator==(const CustomFolder&) const = default;
};

// True when the category offers moving its items elsewhere instead: a deleting or trashing
// category at the riskiest level.
bool offersMove(const CleanupCategory& category);

namespace CustomFolders {

// {"id", "path", "level"} and "bookmark" (Base64) only when there is one.
nlohmann::json toJson(const CustomFolder& folder);
// None when "id", "path" or "level" is missing or not text, or "bookmark" is not Base64.
std::optional<CustomFolder> fromJson(const nlohmann::json& json);

// The reason when the list could not be saved (the stored list is then unchanged).
std::optional<std::string> save(const std::vector<CustomFolder>& folders, Settings& settings);
// The stored list; a damaged list gives no folders at all.
std::vector<CustomFolder> load(const Settings& settings);

// The folders that may never be added: the system's own top folders, the home folder and its
// standard folders. Built from the current home on each use, links resolved too.
std::set<std::string> refused();

// "~/x" for a path below the home folder, else the path.
std::string displayPath(const std::string& path);

// What the user picked, sorted out: the new folders (links resolved; ones already known or
// picked twice are skipped) and the names of refused ones, in the order picked.
struct Choice {
    std::vector<CustomFolder> added;
    std::vector<std::string> refusedNames;
};
Choice choose(Level level, const std::vector<CustomFolder>& existing,
              const std::vector<std::string>& chosenPaths);

// The texts of the folder panel and of the alert about refused folders.
std::string panelPrompt(Level level);
std::string panelMessage(Level level);
std::string refusedMessage(const std::vector<std::string>& refusedNames);
inline constexpr const char* refusedInformation =
    "That folder holds your Mac's own folders rather than files to clean. Choose a folder inside "
    "it instead.";

// The category that stands for the folder.
CleanupCategory category(const CustomFolder& folder);

// Whether `path` is one of the folders, holds one or lies inside one, as written or with its
// links resolved. The user put such a folder where they want it: no other category may clean
// it, with what it holds, under its own rules (a cache category emptied on a schedule).
// `parents` keeps the folders above the paths asked about with their links resolved, for the
// next call: the items of one category mostly share a few.
bool touches(const std::string& path, const std::vector<CustomFolder>& folders,
             std::unordered_map<std::string, std::optional<std::string>>& parents);

} // namespace CustomFolders

} // namespace bramwick
