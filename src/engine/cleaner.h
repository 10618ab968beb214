// Removes the items of a category the way its action says, or moves items to a folder the user
// chose, and says for every item whether it is gone or why not. Everything that removes the
// user's files goes through here, and every removal first asks `isRemovable`.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/models.h"
#include "base/shell.h"

namespace bramwick::Cleaner {

struct Failure {
    ScanItem item;
    std::string reason;

    bool operator==(const Failure&) const = default;
};

// Every item given ends up in exactly one of the two lists, in the order it was settled.
struct Outcome {
    std::vector<ScanItem> cleaned;
    std::vector<Failure> failures;
};

// The fixed reasons of the cleaner's own.
inline constexpr const char* protectedReason = "Protected folder — skipped";
inline constexpr const char* reviewOnlyReason = "Review only — nothing deleted";
inline constexpr const char* stillPresentReason = "Still present";
inline constexpr const char* alreadyExistsReason = "Already exists at ";
inline constexpr const char* intoItselfReason =
    "Can't move a folder into itself — nothing was moved";

// What the cleaner acts through. The defaults are the real ones; tests replace what they must.
struct Services {
    // Runs extra commands, per-item commands and (through pkexec) the administrator batch.
    Shell::Runner runner = Shell::run;
    // Each returns none on success, else the reason.
    std::function<std::optional<std::string>(const std::string&)> moveToTrash;
    std::function<std::optional<std::string>(const std::string&)> remove;
    // The program's own installation; empty means the running program's (see ownBundle()).
    std::string ownBundle;
};

// The folders that are never removed themselves (their contents may be): the home folder, its
// standard folders, the system's top folders and every folder that holds one of them. Built once.
const std::unordered_set<std::string>& protectedPaths();

// Where the running program is installed: the outermost ".app" folder that holds its
// executable, else the executable itself.
const std::string& ownBundle();

// False for a protected folder, anything inside a photo library, the browser profile folder
// (but for its three updater leftovers), the program's own installation and every folder that
// holds it, and paths directly below the root. The path is taken as written ("." and ".."
// resolved, links not), and again with its parent folder's links resolved; both must pass.
// Cleaning and moving then act on that standardised path only.
bool isRemovable(const std::string& path, const std::string& ownBundlePath = {});

// Cleans the items by the category's action (and its extra command first). An item that was
// already gone counts as cleaned; any other error is a failure with that error's text.
Outcome clean(const std::vector<ScanItem>& items, const CleanupCategory& category,
              const Services& services = {});

// Moves each item into `folder` (an existing folder): renamed when on the same file system,
// else copied and then removed where it was. Nothing at the destination is ever replaced, a
// destination inside the item is refused, and a copy that fails is taken away again.
Outcome move(const std::vector<ScanItem>& items, const std::string& folder,
             const Services& services = {});

// The shell command of the administrator batch for these paths.
std::string adminCommand(const std::vector<std::string>& paths);

} // namespace bramwick::Cleaner
