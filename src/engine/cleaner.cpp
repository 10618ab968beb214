#include "engine/cleaner.h"

#include <cerrno>
#include <cstdlib>
#include <exception>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>

#include "engine/catalog.h"
#include "base/edition.h"
#include "engine/scanner.h"
#include "base/text.h"
#include "platform/admin.h"
#include "platform/bundle.h"
#include "base/paths.h"
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
        if (Text::endsWith(Text::lowercased(path.substr(start, end - start)), ".photoslibrary"))
            return true;
        start = end + 1;
    }
    return false;
}

bool withinOrEqual(const std::string& path, const std::string& folder) {
    return path == folder || path.starts_with(folder == "/" ? folder : folder + "/");
}

// The checks of isRemovable that depend on the form of the path.
bool refused(const std::string& path, const std::vector<std::string>& bundles) {
    if (insidePhotoLibrary(path)) return true;
    std::string google = Catalog::expand("~/Library/Application Support/Google");
    if (withinOrEqual(path, google)) {
        bool updater = false;
        for (const char* allowed : updaterPaths)
            updater = updater || path == Catalog::expand(allowed);
        if (!updater) return true;
    }
    for (const auto& bundle : bundles)
        if (!bundle.empty() && withinOrEqual(bundle, path)) return true;
    return protectedPaths().contains(path);
}

bool isGone(int error) {
    return error == ENOENT || error == ENOTDIR;
}

std::optional<std::string> defaultTrash(const std::string& path) {
    return Trash::moveToTrash(path);
}
std::optional<std::string> defaultRemove(const std::string& path) {
    return SafeDelete::remove(path);
}

// Removing an item of a trash also takes its .trashinfo, so no record of it is left behind.
void forgetTrashInfo(const std::string& path) {
    auto info = Trash::infoFileFor(path);
    if (!info) return;
    struct stat st {};
    if (::lstat(info->c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(info->c_str());
}

// The administrator batch is a root "rm -rf", which goes on into a bind mount of its own drive:
// an item that is, or holds, a mount point is left out of it whole.
std::optional<std::string> mountedWithin(const std::string& path) {
    std::string real = physical(path).value_or(path);
    std::string shown = Text::homeShortened(path);
    auto mounts = SafeDelete::mountsWithin(real);
    if (!mounts)
        return fmt::format("Could not read which file systems are mounted, so {} was left alone",
                           shown);
    for (const auto& mount : *mounts)
        if (mount == real) return shown + " is a mounted file system and was left alone";
    if (mounts->empty()) return std::nullopt;
    return fmt::format("{} is another mounted file system, so {} was left alone",
                       Text::homeShortened(mounts->front()), shown);
}

std::string commandFailure(const Shell::Result& result, const std::vector<std::string>& command) {
    std::string output = Text::trimmed(result.output);
    if (!output.empty()) return output;
    std::string name = command.empty() ? std::string("The command") : command.front();
    if (result.status == -1) return name + " did not finish in time";
    return fmt::format("{} ended with status {}", name, result.status);
}

} // namespace

const std::unordered_set<std::string>& protectedPaths() {
    static const std::unordered_set<std::string> paths = [] {
        std::vector<std::string> listed{Edition::home()};
        for (const char* suffix : homeSuffixes)
            listed.push_back(Edition::home() + suffix);
        for (const char* path : systemPaths)
            listed.emplace_back(path);
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
    // A NUL would cut the path short for the system, which would then act on a folder above.
    if (path.empty() || path.front() != '/' || path.find('\0') != std::string::npos) return false;
    auto lexical = std::optional<std::string>(Paths::standardised(path));
    std::vector<std::string> bundles{ownBundlePath.empty() ? ownBundle() : ownBundlePath};
    if (auto real = Paths::resolved(bundles.front()); real && *real != bundles.front())
        bundles.push_back(*real);
    if (refused(*lexical, bundles)) return false;
    if (auto real = physical(*lexical); real && *real != *lexical && refused(*real, bundles))
        return false;
    return componentCount(*lexical) > 2;
}

std::string adminCommand(const std::vector<std::string>& paths) {
    // rm never follows a link inside what it removes; --one-file-system keeps it on the item's
    // own drive, and "--" keeps any path from reading as an option.
    std::string command = "/bin/rm -rf --one-file-system --";
    for (const auto& path : paths) {
        command += ' ';
        command += Admin::quote(path);
    }
    return command;
}

Outcome clean(const std::vector<ScanItem>& items, const CleanupCategory& category,
              const Services& services) {
    Outcome outcome;
    if (items.empty()) return outcome;
    const Shell::Runner& run = services.runner ? services.runner : Shell::Runner(Shell::run);
    auto trash = services.moveToTrash ? services.moveToTrash : defaultTrash;
    auto remove = services.remove ? services.remove : defaultRemove;

    if (category.alsoRun && !category.alsoRun->empty()) {
        // Only a help: whatever it does, the clean goes on.
        try {
            run(*category.alsoRun, extraCommandLimit);
        } catch (const std::exception&) {
        }
    }

    std::vector<ScanItem> adminItems;
    for (const auto& item : items) {
        auto fail = [&](std::string reason) {
            outcome.failures.push_back({item, std::move(reason)});
        };
        if (item.command) {
            try {
                auto result = run(*item.command, itemCommandLimit);
                if (result.status == 0)
                    outcome.cleaned.push_back(item);
                else
                    fail(commandFailure(result, *item.command));
            } catch (const std::exception& error) {
                fail(error.what());
            }
            continue;
        }
        if (!isRemovable(item.url, services.ownBundle)) {
            fail(protectedReason);
            continue;
        }
        // From here on only the path that was judged removable is used: the system would read
        // "link/.." as the folder above the link's target, and "link/" as the target itself.
        const std::string path = Paths::standardised(item.url);
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            if (isGone(errno))
                outcome.cleaned.push_back(item);
            else
                fail(fmt::format("Could not look at {}: {}", Text::homeShortened(path),
                                 errorText(errno)));
            continue;
        }
        switch (category.action.kind) {
        case CleanAction::Kind::delete_:
        case CleanAction::Kind::command:
            if (auto problem = remove(path)) {
                fail(*problem);
            } else {
                forgetTrashInfo(path);
                outcome.cleaned.push_back(item);
            }
            break;
        case CleanAction::Kind::trash:
            if (auto problem = trash(path))
                fail(*problem);
            else
                outcome.cleaned.push_back(item);
            break;
        case CleanAction::Kind::admin:
            if (auto problem = mountedWithin(path))
                fail(*problem);
            else
                adminItems.push_back(item);
            break;
        case CleanAction::Kind::reviewOnly:
            fail(reviewOnlyReason);
            break;
        }
    }

    if (adminItems.empty()) return outcome;
    std::vector<std::string> paths;
    for (const auto& item : adminItems)
        paths.push_back(Paths::standardised(item.url));
    std::optional<Shell::Result> result;
    std::string launchProblem;
    try {
        result = Admin::run(adminCommand(paths), adminLimit, run);
    } catch (const std::exception& error) {
        launchProblem = error.what();
    }
    for (std::size_t i = 0; i < adminItems.size(); ++i) {
        const ScanItem& item = adminItems[i];
        if (!result) {
            outcome.failures.push_back({item, launchProblem});
            continue;
        }
        // Judged by what is on disk now, never by the status alone.
        struct stat st {};
        if (::lstat(paths[i].c_str(), &st) != 0) {
            if (isGone(errno))
                outcome.cleaned.push_back(item);
            else
                outcome.failures.push_back(
                    {item,
                     fmt::format("Could not check whether it is gone: {}", errorText(errno))});
        } else if (result->status == 0) {
            outcome.failures.push_back({item, stillPresentReason});
        } else {
            std::string reason = Admin::failureReason(*result);
            if (reason.empty())
                reason =
                    fmt::format("The administrator command ended with status {}", result->status);
            outcome.failures.push_back({item, reason});
        }
    }
    return outcome;
}

Outcome move(const std::vector<ScanItem>& items, const std::string& rawFolder,
             const Services& services) {
    Outcome outcome;
    auto remove = services.remove ? services.remove : defaultRemove;
    std::string folder = Paths::withoutTrailingSlash(rawFolder);

    std::optional<std::string> folderProblem;
    struct stat folderStat {};
    if (::stat(folder.c_str(), &folderStat) != 0)
        folderProblem = fmt::format("Could not open {}: {}", folder, errorText(errno));
    else if (!S_ISDIR(folderStat.st_mode))
        folderProblem = fmt::format("{} is not a folder", folder);
    auto realFolder = Paths::resolved(folder);
    if (!folderProblem && !realFolder)
        folderProblem = fmt::format("Could not open {}: {}", folder, errorText(errno));

    for (const auto& item : items) {
        auto fail = [&](std::string reason) {
            outcome.failures.push_back({item, std::move(reason)});
        };
        if (!isRemovable(item.url, services.ownBundle)) {
            fail(protectedReason);
            continue;
        }
        const std::string path = Paths::standardised(item.url);
        std::string destination =
            (folder == "/" ? "" : folder) + "/" + Scanner::lastComponent(path);
        if (folderProblem) {
            fail(*folderProblem);
            continue;
        }
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            fail(fmt::format("Could not look at {}: {}", Text::homeShortened(path),
                             errorText(errno)));
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            // The destination folder or any folder above it being the item means moving the
            // item into itself: the copy would never end and the removal would take both.
            bool inside = false;
            for (std::string at = *realFolder;; at = Paths::parent(at)) {
                struct stat above {};
                if (::stat(at.c_str(), &above) == 0 && above.st_dev == st.st_dev &&
                    above.st_ino == st.st_ino) {
                    inside = true;
                    break;
                }
                if (at == "/") break;
            }
            if (inside) {
                fail(intoItselfReason);
                continue;
            }
        }
        struct stat existing {};
        if (::lstat(destination.c_str(), &existing) == 0) {
            fail(alreadyExistsReason + destination);
            continue;
        }
        if (errno != ENOENT) {
            fail(fmt::format("Could not look at {}: {}", destination, errorText(errno)));
            continue;
        }
        // On one file system a rename moves the item whole, in one step.
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) ==
            0) {
            outcome.cleaned.push_back(item);
            continue;
        }
        int error = errno;
        if (error == EEXIST) {
            fail(alreadyExistsReason + destination);
            continue;
        }
        if (error != EXDEV && error != EINVAL && error != ENOSYS && error != EOPNOTSUPP) {
            fail(fmt::format("Could not move {}: {}", Text::homeShortened(path), errorText(error)));
            continue;
        }
        if (auto problem = SafeCopy::copy(path, destination)) {
            fail(*problem);
            continue;
        }
        if (auto problem = remove(path)) {
            fail(fmt::format("Copied to {}, but the original could not be removed: {}", destination,
                             *problem));
            continue;
        }
        outcome.cleaned.push_back(item);
    }
    return outcome;
}

} // namespace bramwick::Cleaner
