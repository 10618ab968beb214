#include "engine/cleaner.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <exception>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>

#include "base/edition.h"
#include "base/ending.h"
#include "base/paths.h"
#include "base/text.h"
#include "engine/admin_removal.h"
#include "engine/catalog.h"
#include "engine/linux_locations.h"
#include "engine/scanner.h"
#include "platform/admin.h"
#include "platform/bundle.h"
#include "platform/safe_copy.h"
#include "platform/safe_delete.h"
#include "platform/trash.h"

namespace bramwick::Cleaner {

namespace {

using SafeDelete::errorText;

constexpr double extraCommandLimit = 120;
constexpr double itemCommandLimit = 300;
constexpr double adminLimit = 300;

const char* const homeSuffixes[] = {
    "/Library", "/Library/Caches", "/Library/Containers", "/Library/Group Containers",
    "/Library/Application Support", "/Library/Developer", "/Documents", "/Desktop", "/Downloads",
    "/Pictures", "/Movies", "/Music", "/Projects", "/.Trash",
    // This platform's own standard folders.
    "/.local", "/.local/share", "/.local/share/Trash", "/.local/share/Trash/files", "/.config",
    "/.cache", "/Videos", "/Templates", "/Public"};

const char* const systemPaths[] = {
    "/", "/Users", "/Applications", "/Library", "/System", "/private", "/private/var",
    "/private/tmp", "/private/var/folders", "/private/var/log", "/Library/Logs", "/Library/Caches",
    "/opt", "/opt/homebrew", "/usr",
    // This platform's own system folders.
    "/home", "/usr/local", "/var/tmp", "/var/log", "/var/cache", "/var/lib"};

const char* const updaterPaths[] = {
    "~/Library/Application Support/Google/GoogleUpdater/crx_cache",
    "~/Library/Application Support/Google/GoogleUpdater/updater.log.old",
    "~/Library/Application Support/Google/GoogleUpdater/updater_history.jsonl.old"};

std::size_t componentCount(const std::string& standardisedPath) {
    if (standardisedPath == "/") return 1;
    std::size_t count = 1; // the root
    for (char c : standardisedPath)
        if (c == '/') ++count;
    return count;
}

// The path with its parent folder's links resolved: where the entry really is.
std::optional<std::string> physical(const std::string& standardisedPath) {
    if (standardisedPath == "/") return standardisedPath;
    auto parent = Paths::resolved(Paths::parent(standardisedPath));
    if (!parent) return std::nullopt;
    std::string name = Scanner::lastComponent(standardisedPath);
    return *parent == "/" ? "/" + name : *parent + "/" + name;
}

bool insidePhotoLibrary(const std::string& path) {
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (Text::endsWith(Text::asciiLowercased(path.substr(start, end - start)),
                           ".photoslibrary"))
            return true;
        start = end + 1;
    }
    return false;
}

// The checks of isRemovable that depend on the form of the path.
bool refused(const std::string& path, const std::vector<std::string>& bundles) {
    if (insidePhotoLibrary(path)) return true;
    std::string google = Catalog::expand("~/Library/Application Support/Google");
    if (Paths::within(path, google)) {
        bool updater = false;
        for (const char* allowed : updaterPaths)
            updater = updater || path == Catalog::expand(allowed);
        if (!updater) return true;
    }
    // A browser profile, what lies in it, and a folder that holds one (a Flatpak browser's data
    // folder) would take the saved passwords along.
    static const std::vector<std::string> profiles = LinuxLocations::browserProfiles();
    for (const auto& profile : profiles) {
        if (Paths::within(path, profile)) return true;
        struct stat st {};
        if (Paths::within(profile, path) && ::lstat(profile.c_str(), &st) == 0) return true;
    }
    for (const auto& bundle : bundles)
        if (!bundle.empty() && Paths::within(bundle, path)) return true;
    return protectedPaths().contains(path);
}

bool isGone(int error) {
    return error == ENOENT || error == ENOTDIR;
}

std::vector<std::string> bundlesFor(const std::string& ownBundlePath) {
    std::vector<std::string> bundles{ownBundlePath.empty() ? ownBundle() : ownBundlePath};
    if (auto real = Paths::resolved(bundles.front()); real && *real != bundles.front())
        bundles.push_back(*real);
    return bundles;
}

// The protected folders by identity, as they are now (a folder made since the program started
// has a new identity, so this is looked up for every clean or move, never kept).
class ProtectedIdentities {
  public:
    ProtectedIdentities() {
        for (const auto& path : protectedPaths()) {
            struct stat st {};
            if (::stat(path.c_str(), &st) == 0) set_.emplace(st.st_dev, st.st_ino);
        }
    }
    bool contains(Identity id) const { return set_.contains({id.device, id.inode}); }

  private:
    std::set<std::pair<dev_t, ino_t>> set_;
};

// The judgement of one clean or move, made once for all its items.
class Judge {
  public:
    explicit Judge(const std::string& ownBundlePath) : bundles_(bundlesFor(ownBundlePath)) {}

    bool byPath(const std::string& path) const {
        if (path.empty() || path.front() != '/' || path.find('\0') != std::string::npos)
            return false;
        std::string lexical = Paths::standardised(path);
        if (refused(lexical, bundles_)) return false;
        if (auto real = physical(lexical); real && *real != lexical && refused(*real, bundles_))
            return false;
        return componentCount(lexical) > 2;
    }
    bool byIdentity(Identity id) const { return !protected_.contains(id); }
    bool held(const HeldItem& item) const {
        return byPath(item.path) && !refused(item.path, bundles_) && byIdentity(item.identity());
    }

  private:
    std::vector<std::string> bundles_;
    ProtectedIdentities protected_;
};

std::optional<std::string> defaultTrash(const HeldItem& item) {
    return Trash::moveToTrash(item);
}
std::optional<std::string> defaultRemove(const HeldItem& item) {
    return SafeDelete::remove(item);
}
SafeCopy::Result defaultCopy(const HeldItem& source, int folder, const std::string& name,
                             const std::string& path) {
    return SafeCopy::copy(source, folder, name, path);
}
Shell::Result defaultAdministrator(const std::string& list, double timeout) {
    return Admin::runRemoval(list, timeout);
}

std::string commandFailure(const Shell::Result& result, const std::vector<std::string>& command) {
    std::string output = Text::trimmed(result.output);
    if (!output.empty()) return output;
    std::string name = command.empty() ? std::string("The command") : command.front();
    if (result.status == -1) return name + " did not finish in time";
    return fmt::format("{} ended with status {}", name, result.status);
}

std::string changedSinceChosen(const std::string& path) {
    return Text::homeShortened(path) + " changed after it was chosen, so it was left alone";
}

// Whether the held entry is the object the scan found, in the folder it found it in.
bool isAsFound(const HeldItem& held, const FoundEntry& found) {
    if (held.seen.st_dev != static_cast<dev_t>(found.device) ||
        held.seen.st_ino != static_cast<ino_t>(found.inode))
        return false;
    return (found.folderDevice == 0 && found.folderInode == 0) ||
           (held.folderIdentity.device == static_cast<dev_t>(found.folderDevice) &&
            held.folderIdentity.inode == static_cast<ino_t>(found.folderInode));
}

// Whether a link stands now on the way to `folder` (absolute) below the home, or below the root
// for a folder outside the home: a home that is itself reached through a link (/home linked to
// /var/home) does not count.
bool linkOnTheWay(const std::string& folder) {
    const std::string& home = Edition::home();
    std::size_t cut = Paths::within(folder, home) ? home.size() : 0;
    while (cut < folder.size()) {
        cut = std::min(folder.find('/', cut + 1), folder.size());
        struct stat st {};
        if (::lstat(folder.substr(0, cut).c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return true;
    }
    return false;
}

// Whether an item that is gone is gone from where the scan found it. Another folder may stand
// at its folder's place by now (a project cloned again without its node_modules): the item is
// gone all the same. But a folder swapped for a link since then may simply not hold that name,
// while the item is still where it was: with a link on the way, only the folder the scan found
// it in may say it is gone.
bool goneFromItsFolder(const std::string& path, const FoundEntry& found) {
    if (found.folderDevice == 0 && found.folderInode == 0) return true;
    auto parent = Held::followedFolder(Paths::parent(path));
    if (!parent) return isGone(errno);
    UniqueFd folder = Held::openFolder(*parent);
    struct stat st {};
    if (!folder || ::fstat(folder.get(), &st) != 0) return isGone(errno);
    if (st.st_dev == static_cast<dev_t>(found.folderDevice) &&
        st.st_ino == static_cast<ino_t>(found.folderInode))
        return true;
    return !linkOnTheWay(Paths::parent(path));
}

// Whether a file is exactly as found: the same object, its size and times unchanged.
bool exactlyAsFound(const struct stat& now, const FoundEntry& found) {
    // Compared as the scan recorded it; the folder is another question (isAsFound).
    FoundEntry seen = Scanner::foundEntry(now, nullptr);
    seen.folderDevice = found.folderDevice;
    seen.folderInode = found.folderInode;
    return seen == found;
}

// Why a redundant copy must stay: it, or the copy it duplicates, is no longer as found (the
// kept copy edited or removed, or this one edited into new work), so it may be the last copy
// of something. None when both are exactly as found.
std::optional<std::string> stillNeeded(const ScanItem& item, const HeldItem& held) {
    const KeptCopy& kept = *item.keeps;
    const std::string keeper = Text::homeShortened(kept.path);
    if (!item.found || !exactlyAsFound(held.seen, *item.found))
        return Text::homeShortened(held.path) + " changed since it was found, so it was kept";
    auto holding = Held::hold(kept.path);
    if (auto* error = std::get_if<int>(&holding)) {
        if (isGone(*error))
            return fmt::format("The copy it duplicates, {}, is gone, so this one was kept", keeper);
        return fmt::format(
            "Could not look at the copy it duplicates, {} ({}), so this one was kept", keeper,
            errorText(*error));
    }
    if (!exactlyAsFound(std::get<HeldItem>(holding).seen, kept.found))
        return fmt::format("The copy it duplicates, {}, changed since it was found, so this one "
                           "was kept",
                           keeper);
    return std::nullopt;
}

// What became of an item that was held and judged.
enum class Judged { held, settled };

// Holds the item and judges it as held. On `settled` the item is in the outcome already
// (refused, failed, or gone before anything was done, which counts as cleaned when `goneIsClean`).
Judged judge(const ScanItem& item, const Judge& judgement, Outcome& outcome, bool goneIsClean,
             std::optional<HeldItem>& held) {
    auto fail = [&](std::string reason) { outcome.failures.push_back({item, std::move(reason)}); };
    if (!judgement.byPath(item.url)) {
        fail(protectedReason);
        return Judged::settled;
    }
    // From here on only the path that was judged removable is used: the system would read
    // "link/.." as the folder above the link's target, and "link/" as the target itself.
    const std::string path = Paths::standardised(item.url);
    auto holding = Held::hold(path);
    if (auto* error = std::get_if<int>(&holding)) {
        if (goneIsClean && isGone(*error) && item.found && !goneFromItsFolder(path, *item.found))
            fail(changedSinceChosen(path));
        else if (goneIsClean && isGone(*error))
            outcome.cleaned.push_back(item);
        else
            fail(fmt::format("Could not look at {}: {}", Text::homeShortened(path),
                             errorText(*error)));
        return Judged::settled;
    }
    held = std::move(std::get<HeldItem>(holding));
    if (!judgement.held(*held)) {
        fail(protectedReason);
        return Judged::settled;
    }
    // Judged as it is now, but acted on only if it is what the user was shown.
    if (item.found && !isAsFound(*held, *item.found)) {
        fail(changedSinceChosen(held->path));
        return Judged::settled;
    }
    return Judged::held;
}

// Cleaning

// Only a help: whatever it does, the clean goes on; a command that could not be run at all is
// told in the outcome.
void runExtraCommand(const CleanupCategory& category, const Shell::Runner& run, Outcome& outcome) {
    if (!category.alsoRun || category.alsoRun->empty()) return;
    try {
        run(*category.alsoRun, extraCommandLimit);
    } catch (const std::exception& error) {
        outcome.extraCommandProblem =
            "Couldn't run " + category.alsoRun->front() + ": " + error.what();
    }
}

void runItemCommand(const ScanItem& item, const Shell::Runner& run, Outcome& outcome) {
    try {
        auto result = run(*item.command, itemCommandLimit);
        if (result.status == 0)
            outcome.cleaned.push_back(item);
        else
            outcome.failures.push_back({item, commandFailure(result, *item.command)});
    } catch (const std::exception& error) {
        outcome.failures.push_back({item, error.what()});
    }
}

void removeHeld(const ScanItem& item, const HeldItem& held, const Removal& remove,
                Outcome& outcome) {
    if (auto problem = remove(held)) {
        outcome.failures.push_back({item, *problem});
        return;
    }
    // Removing an item of a trash also takes its record, so none is left behind.
    Trash::forgetInfo(held);
    outcome.cleaned.push_back(item);
}

// A file a running program keeps writing to, emptied where it is (see LinuxLocations): only the
// very file that was judged, and what is freed is what it held then, whatever the scan measured.
void emptyHeld(const ScanItem& item, const HeldItem& held, Outcome& outcome) {
    auto fail = [&](int error) {
        outcome.failures.push_back(
            {item, fmt::format("Could not empty {}: {}", Text::homeShortened(held.path),
                               errorText(error))});
    };
    UniqueFd file(::openat(held.folder.get(), held.name.c_str(),
                           O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file) {
        if (isGone(errno))
            outcome.cleaned.push_back(item);
        else
            fail(errno);
        return;
    }
    struct stat st {};
    if (::fstat(file.get(), &st) != 0) return fail(errno);
    if (identityOf(st) != held.identity() || !S_ISREG(st.st_mode)) {
        outcome.failures.push_back({item, changedSinceChosen(held.path)});
        return;
    }
    if (::ftruncate(file.get(), 0) != 0) return fail(errno);
    ScanItem emptied = item;
    emptied.size = static_cast<std::int64_t>(st.st_blocks) * 512;
    outcome.cleaned.push_back(std::move(emptied));
}

void trashHeld(const ScanItem& item, const HeldItem& held, const Removal& trash, Outcome& outcome) {
    if (auto problem = trash(held))
        outcome.failures.push_back({item, *problem});
    else
        outcome.cleaned.push_back(item);
}

// An item of the administrator batch: what was judged, not held open until the batch runs (a
// batch of thousands would hold thousands of folders open). The root side holds each again.
struct AdminItem {
    ScanItem item;
    AdminRemoval::Entry entry;
};

// Settles each batch item by what is at its place now, never by the status alone.
void settleAdminItems(std::vector<AdminItem>& batch, const std::optional<Shell::Result>& result,
                      const std::string& launchProblem, Outcome& outcome) {
    auto reasons =
        result ? AdminRemoval::reasons(result->output) : std::map<std::size_t, std::string>{};
    for (std::size_t i = 0; i < batch.size(); ++i) {
        const ScanItem& item = batch[i].item;
        const AdminRemoval::Entry& entry = batch[i].entry;
        if (!result) {
            outcome.failures.push_back({item, launchProblem});
            continue;
        }
        // The removal ran when it answered for its items; it says why it left any of them.
        const bool ran = result->status == 0 || !reasons.empty();
        auto failure = [&] {
            std::string reason = Admin::failureReason(*result);
            if (reason.empty())
                reason =
                    fmt::format("The administrator command ended with status {}", result->status);
            return reason;
        };
        auto now = Held::hold(entry.path);
        const int* error = std::get_if<int>(&now);
        if (auto found = reasons.find(i); found != reasons.end()) {
            outcome.failures.push_back({item, found->second});
        } else if (error && isGone(*error)) {
            outcome.cleaned.push_back(item);
        } else if (error) {
            outcome.failures.push_back(
                {item, fmt::format("Could not check whether it is gone: {}", errorText(*error))});
        } else if (const HeldItem& there = std::get<HeldItem>(now);
                   there.identity() != entry.identity || there.folderIdentity != entry.folder) {
            // Something else holds its name now: gone through the removal, else moved away.
            if (ran)
                outcome.cleaned.push_back(item);
            else
                outcome.failures.push_back({item, failure()});
        } else if (result->status == 0) {
            outcome.failures.push_back({item, stillPresentReason});
        } else {
            outcome.failures.push_back({item, failure()});
        }
    }
}

// One password prompt for the whole batch; the root side checks every item again.
void runAdministratorBatch(std::vector<AdminItem>& batch, const Administrator& administrator,
                           Outcome& outcome) {
    if (batch.empty()) return;
    std::vector<AdminRemoval::Entry> entries;
    for (const auto& admin : batch)
        entries.push_back(admin.entry);
    std::optional<Shell::Result> result;
    std::string launchProblem;
    try {
        result = administrator(AdminRemoval::encode(entries), adminLimit);
    } catch (const std::exception& error) {
        launchProblem = error.what();
    }
    settleAdminItems(batch, result, launchProblem, outcome);
}

// Moving

struct Destination {
    UniqueFd folder;
    Identity identity;
    std::string path; // as the user gave it, for messages
};

std::variant<Destination, std::string> openDestination(const std::string& rawFolder) {
    Destination destination;
    destination.path = Paths::withoutTrailingSlash(rawFolder);
    struct stat st {};
    if (::stat(destination.path.c_str(), &st) != 0)
        return fmt::format("Could not open {}: {}", destination.path, errorText(errno));
    if (!S_ISDIR(st.st_mode)) return fmt::format("{} is not a folder", destination.path);
    destination.folder = Held::openChosenFolder(destination.path);
    if (!destination.folder || ::fstat(destination.folder.get(), &st) != 0)
        return fmt::format("Could not open {}: {}", destination.path, errorText(errno));
    destination.identity = identityOf(st);
    return destination;
}

// Whether the destination folder is the held folder or lies inside it: walked up through ".."
// from the open destination, so by identity and not by path text.
bool destinationInside(const HeldItem& held, const Destination& destination) {
    if (!S_ISDIR(held.seen.st_mode)) return false;
    UniqueFd at(::fcntl(destination.folder.get(), F_DUPFD_CLOEXEC, 0));
    for (int depth = 0; at && depth < 4096; ++depth) {
        struct stat st {};
        if (::fstat(at.get(), &st) != 0) return false;
        if (identityOf(st) == held.identity()) return true;
        UniqueFd up(::openat(at.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
        struct stat above {};
        if (!up || ::fstat(up.get(), &above) != 0 || identityOf(above) == identityOf(st))
            return false; // the root
        at = std::move(up);
    }
    return false;
}

// A rename moved something: if it was not the judged object (swapped in meanwhile), it is put
// back. True when what arrived is the judged object.
bool arrivedIsJudged(const HeldItem& held, const Destination& destination) {
    struct stat arrived {};
    if (::fstatat(destination.folder.get(), held.name.c_str(), &arrived, AT_SYMLINK_NOFOLLOW) ==
            0 &&
        identityOf(arrived) == held.identity())
        return true;
    ::renameat2(destination.folder.get(), held.name.c_str(), held.folder.get(), held.name.c_str(),
                RENAME_NOREPLACE);
    return false;
}

enum class Renamed { moved, acrossDrives, failed };

// On one file system a rename moves the item whole, in one step.
Renamed renameInto(const ScanItem& item, const HeldItem& held, const Destination& destination,
                   const std::string& target, Outcome& outcome) {
    auto fail = [&](std::string reason) { outcome.failures.push_back({item, std::move(reason)}); };
    if (!Held::stillThere(held)) {
        fail(changedReason);
        return Renamed::failed;
    }
    if (::renameat2(held.folder.get(), held.name.c_str(), destination.folder.get(),
                    held.name.c_str(), RENAME_NOREPLACE) == 0) {
        if (arrivedIsJudged(held, destination)) {
            outcome.cleaned.push_back(item);
            return Renamed::moved;
        }
        fail(changedReason);
        return Renamed::failed;
    }
    int error = errno;
    if (error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP)
        return Renamed::acrossDrives;
    if (error == EEXIST)
        fail(alreadyExistsReason + target);
    else
        fail(
            fmt::format("Could not move {}: {}", Text::homeShortened(held.path), errorText(error)));
    return Renamed::failed;
}

// To another drive: copied, checked against what the copy saw, and only then removed.
void copyAcross(const ScanItem& item, const HeldItem& held, const Destination& destination,
                const std::string& target, const Services& services, Outcome& outcome) {
    auto fail = [&](std::string reason) { outcome.failures.push_back({item, std::move(reason)}); };
    const Copier& copy = services.copy ? services.copy : Copier(defaultCopy);
    const Removal& remove = services.remove ? services.remove : Removal(defaultRemove);
    auto copied = copy(held, destination.folder.get(), held.name, target);
    if (copied.intoItself) return fail(intoItselfReason);
    if (copied.problem) return fail(*copied.problem);
    if (!SafeCopy::unchangedSince(held, copied.seen))
        return fail(fmt::format("Copied to {}, but the original changed while it was being "
                                "copied and was kept",
                                target));
    if (auto problem = remove(held))
        return fail(fmt::format("Copied to {}, but the original could not be removed: {}", target,
                                *problem));
    if (copied.notKept) outcome.notKept.push_back(*copied.notKept);
    outcome.cleaned.push_back(item);
}

void moveOne(const ScanItem& item, const Judge& judgement, const Destination& destination,
             const Services& services, Outcome& outcome) {
    std::optional<HeldItem> held;
    if (judge(item, judgement, outcome, false, held) == Judged::settled) return;
    std::string target = (destination.path == "/" ? "" : destination.path) + "/" + held->name;
    // The destination being the item or inside it means moving the item into itself: the copy
    // would never end and the removal would take both.
    if (destinationInside(*held, destination)) {
        outcome.failures.push_back({item, intoItselfReason});
        return;
    }
    // A rename would take a mount inside along, out of the item's place, and the copy across
    // drives leaves it out: either way the move would not be of the item alone.
    if (S_ISDIR(held->seen.st_mode))
        if (auto problem = SafeDelete::mountedWithin(held->path)) {
            outcome.failures.push_back({item, *problem});
            return;
        }
    struct stat existing {};
    if (::fstatat(destination.folder.get(), held->name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) ==
        0) {
        outcome.failures.push_back({item, alreadyExistsReason + target});
        return;
    }
    if (errno != ENOENT) {
        outcome.failures.push_back(
            {item, fmt::format("Could not look at {}: {}", target, errorText(errno))});
        return;
    }
    if (renameInto(item, *held, destination, target, outcome) == Renamed::acrossDrives)
        copyAcross(item, *held, destination, target, services, outcome);
}

} // namespace

const std::unordered_set<std::string>& protectedPaths() {
    static const std::unordered_set<std::string> paths = [] {
        std::vector<std::string> listed{Edition::home()};
        for (const char* suffix : homeSuffixes)
            listed.push_back(Edition::home() + suffix);
        for (const char* path : systemPaths)
            listed.emplace_back(path);
        for (auto& folder : LinuxLocations::sharedFolders())
            listed.push_back(std::move(folder));
        listed.push_back(Trash::homeTrash());
        listed.push_back(Trash::homeTrash() + "/files");
        std::unordered_set<std::string> set;
        auto protect = [&](std::string path) {
            // A folder that holds a protected folder would take it along, so it is protected
            // too: with a home outside /home, every folder above the home.
            while (set.insert(path).second && path != "/")
                path = Paths::parent(path);
        };
        for (const auto& path : listed) {
            protect(Paths::standardised(path));
            // The same folder reached through links (a home under a linked /home) is as protected.
            if (auto real = Paths::resolved(path)) protect(*real);
        }
        return set;
    }();
    return paths;
}

const std::string& ownBundle() {
    static const std::string path = [] {
        std::string executable;
        char buffer[4096];
        ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
        if (n > 0) executable.assign(buffer, static_cast<std::size_t>(n));
        constexpr std::string_view replaced = " (deleted)";
        if (executable.ends_with(replaced)) executable.resize(executable.size() - replaced.size());
        if (auto bundle = Bundles::containing(executable, true)) return *bundle;
        return executable;
    }();
    return path;
}

bool isRemovable(const std::string& path, const std::string& ownBundlePath) {
    Judge judgement(ownBundlePath);
    if (!judgement.byPath(path)) return false;
    // A NUL was refused above. The entry itself, not followed: a protected folder seen again
    // through a bind mount has the same identity.
    struct stat st {};
    if (::lstat(Paths::standardised(path).c_str(), &st) == 0 &&
        !judgement.byIdentity(identityOf(st)))
        return false;
    return true;
}

bool isRemovable(const HeldItem& item, const std::string& ownBundlePath) {
    return Judge(ownBundlePath).held(item);
}

bool leftForEnding(const Failure& failure) {
    return failure.reason == endingReason || failure.reason == SafeDelete::endingReason;
}

Outcome clean(const std::vector<ScanItem>& items, const CleanupCategory& category,
              const Services& services) {
    Outcome outcome;
    if (items.empty()) return outcome;
    const Shell::Runner& run = services.runner ? services.runner : Shell::Runner(Shell::run);
    const Removal& trash = services.moveToTrash ? services.moveToTrash : Removal(defaultTrash);
    const Removal& remove = services.remove ? services.remove : Removal(defaultRemove);
    const Administrator& administrator =
        services.administrator ? services.administrator : Administrator(defaultAdministrator);
    // Asked to end already: the command could outlast the few seconds the program has left.
    if (!Ending::requested()) runExtraCommand(category, run, outcome);

    const Judge judgement(services.ownBundle);
    std::vector<AdminItem> batch;
    for (const auto& item : items) {
        // Asked to end: what is left stays, and what went so far is what the clean reports.
        if (Ending::requested()) {
            outcome.failures.push_back({item, endingReason});
            continue;
        }
        if (item.command) {
            runItemCommand(item, run, outcome);
            continue;
        }
        std::optional<HeldItem> held;
        if (judge(item, judgement, outcome, true, held) == Judged::settled) continue;
        if (item.keeps && category.action.kind != CleanAction::Kind::reviewOnly)
            if (auto reason = stillNeeded(item, *held)) {
                outcome.failures.push_back({item, *reason});
                continue;
            }
        switch (category.action.kind) {
        case CleanAction::Kind::delete_:
        case CleanAction::Kind::command:
            if (S_ISREG(held->seen.st_mode) &&
                LinuxLocations::isEmptiedInPlace(Paths::standardised(item.url)))
                emptyHeld(item, *held, outcome);
            else
                removeHeld(item, *held, remove, outcome);
            break;
        case CleanAction::Kind::trash:
            trashHeld(item, *held, trash, outcome);
            break;
        case CleanAction::Kind::admin:
            if (auto problem = SafeDelete::mountedWithin(held->path))
                outcome.failures.push_back({item, *problem});
            else
                batch.push_back({item, AdminRemoval::entryFor(*held)});
            break;
        case CleanAction::Kind::reviewOnly:
            outcome.failures.push_back({item, reviewOnlyReason});
            break;
        }
    }
    if (Ending::requested())
        for (const auto& admin : batch)
            outcome.failures.push_back({admin.item, endingReason});
    else
        runAdministratorBatch(batch, administrator, outcome);
    return outcome;
}

Outcome move(const std::vector<ScanItem>& items, const std::string& folder,
             const Services& services) {
    Outcome outcome;
    auto destination = openDestination(folder);
    const Judge judgement(services.ownBundle);
    for (const auto& item : items) {
        if (Ending::requested()) {
            outcome.failures.push_back({item, endingMoveReason});
            continue;
        }
        if (auto* problem = std::get_if<std::string>(&destination)) {
            // Refused items say so before the folder's own problem.
            if (!judgement.byPath(item.url))
                outcome.failures.push_back({item, protectedReason});
            else
                outcome.failures.push_back({item, *problem});
            continue;
        }
        moveOne(item, judgement, std::get<Destination>(destination), services, outcome);
    }
    return outcome;
}

} // namespace bramwick::Cleaner
