// Removes the items of a category the way its action says, or moves items to a folder the user
// chose, and says for every item whether it is gone or why not. Everything that removes the
// user's files goes through here, and every removal first asks `isRemovable`. Each item is held
// (its folder opened without following links, its identity kept) and judged as held; every
// later step acts on that very object, so a link or folder swapped in after the judging is
// never acted on, and an item that changed is reported as a failure, never as cleaned.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "base/shell.h"
#include "engine/models.h"
#include "platform/held_item.h"
#include "platform/safe_copy.h"

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
    // Why the category's extra command could not be run at all; empty when it ran (whatever it
    // answered) or there is none.
    std::string extraCommandProblem = {};
    // What moves to another drive could not keep of items they moved all the same (extended
    // attributes the destination refuses), a sentence each.
    std::vector<std::string> notKept = {};
};

// The fixed reasons of the cleaner's own.
inline constexpr const char* protectedReason = "Protected folder — skipped";
inline constexpr const char* reviewOnlyReason = "Review only — nothing deleted";
inline constexpr const char* stillPresentReason = "Still present";
inline constexpr const char* alreadyExistsReason = "Already exists at ";
inline constexpr const char* intoItselfReason =
    "Can't move a folder into itself — nothing was moved";
inline constexpr const char* changedReason = "It changed after it was chosen and was left alone";
inline constexpr const char* endingReason = "Not removed: Bramwick was asked to quit";
inline constexpr const char* endingMoveReason = "Not moved: Bramwick was asked to quit";

using Removal = std::function<std::optional<std::string>(const HeldItem&)>;
using Copier = std::function<SafeCopy::Result(const HeldItem& source, int destinationFolder,
                                              const std::string& name, const std::string& path)>;
// Removes the administrator batch (a list made by AdminRemoval::encode) with administrator
// rights and answers as that removal does.
using Administrator = std::function<Shell::Result(const std::string& list, double timeout)>;

// What the cleaner acts through. The defaults are the real ones; tests replace what they must.
struct Services {
    // Runs extra commands and per-item commands.
    Shell::Runner runner = Shell::run;
    // Each returns none on success, else the reason.
    Removal moveToTrash;
    Removal remove;
    // Copies an item for a move to another drive.
    Copier copy;
    // The program's own removal run as root through pkexec, by default.
    Administrator administrator;
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

// The same judgement for a held item, on the path of the folder it was found in (links
// resolved), and by identity: none of the protected folders under another path (a bind mount
// of the home shows them all again elsewhere).
bool isRemovable(const HeldItem& item, const std::string& ownBundlePath = {});

// Whether the item was left, whole or in part, only because the program was asked to end
// (Ending::request): no application holds it.
bool leftForEnding(const Failure& failure);

// Cleans the items by the category's action (and its extra command first). An item that was
// already gone counts as cleaned; any other error is a failure with that error's text. Once the
// program is asked to end, no command is run and every item not reached is left, with
// `endingReason`.
Outcome clean(const std::vector<ScanItem>& items, const CleanupCategory& category,
              const Services& services = {});

// Moves each item into `folder` (an existing folder): renamed when on the same file system,
// else copied and then removed where it was, but only when nothing in it changed while it was
// copied (else the original is kept and the copy stays). Nothing at the destination is ever
// replaced, a destination inside the item is refused (also when reached through a bind mount),
// and a copy that fails is taken away again.
Outcome move(const std::vector<ScanItem>& items, const std::string& folder,
             const Services& services = {});

} // namespace bramwick::Cleaner
