#include "engine/scanner.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

#include <tbb/parallel_for.h>

#include "base/paths.h"
#include "base/text.h"
#include "base/unique_fd.h"
#include "engine/applications.h"
#include "engine/catalog.h"
#include "engine/linux_locations.h"
#include "engine/project_folders.h"
#include "engine/scratchpads.h"
#include "engine/simulators.h"
#include "platform/files.h"
#include "platform/held_item.h"
#include "platform/trash.h"
#include "platform/tree_size.h"
#include "platform/walk_folders.h"

namespace bramwick::Scanner {

namespace {

// Whether the walk that measured `item` reaches `nested` (a path below it): every folder on the
// way, and `nested` itself when it is a folder, is a real folder on the item's file system. A
// claimed folder behind a link or another mount was never counted in the item, so nothing may
// be taken off for it.
bool walkReaches(const std::string& item, const std::string& nested) {
    UniqueFd fd(::open(item.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW));
    if (!fd) return false;
    struct stat self {};
    if (::fstat(fd.get(), &self) != 0) return false;
    std::string_view rest = std::string_view(nested).substr(item.size() + 1);
    bool reached = false;
    while (!rest.empty()) {
        auto slash = rest.find('/');
        std::string name(rest.substr(0, slash));
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (name.empty()) continue;
        struct stat st {};
        if (::fstatat(fd.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) break;
        bool last = rest.find_first_not_of('/') == std::string_view::npos;
        if (S_ISDIR(st.st_mode) &&
            !WalkFolders::entersFolder(fd.get(), name.c_str(), st, self.st_dev))
            break;
        if (last) {
            reached = true;
            break;
        }
        if (!S_ISDIR(st.st_mode)) break;
        fd.reset(::openat(fd.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW));
        if (!fd) return false;
    }
    return reached;
}

std::string expandedRoot(const std::string& root) {
    return Paths::withoutTrailingSlash(Catalog::expand(root));
}

// A root or listed path as the folders on disk it stands for: itself, or every folder a pattern
// ("~/.var/app/*/cache") fits now.
std::vector<std::string> expandedRoots(const std::string& root) {
    std::string folder = expandedRoot(root);
    if (!Files::isPattern(folder)) return {folder};
    return Files::matching(folder);
}

} // namespace

std::string lastComponent(const std::string& path) {
    return Paths::lastComponent(path);
}

std::int64_t allocatedSize(const std::string& path) {
    return TreeSize::allocated(path);
}

std::optional<Date> modified(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
    using namespace std::chrono;
    auto since = seconds(st.st_mtim.tv_sec) + nanoseconds(st.st_mtim.tv_nsec);
    return Date(duration_cast<Date::duration>(since));
}

FoundEntry foundEntry(const struct stat& entry, const struct stat* folder) {
    auto nanoseconds = [](const timespec& t) {
        return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
    };
    FoundEntry found;
    found.device = static_cast<std::uint64_t>(entry.st_dev);
    found.inode = static_cast<std::uint64_t>(entry.st_ino);
    if (folder) {
        found.folderDevice = static_cast<std::uint64_t>(folder->st_dev);
        found.folderInode = static_cast<std::uint64_t>(folder->st_ino);
    }
    found.size = static_cast<std::int64_t>(entry.st_size);
    found.modified = nanoseconds(entry.st_mtim);
    found.changed = nanoseconds(entry.st_ctim);
    return found;
}

std::optional<FoundEntry> foundAt(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
    struct stat folder {};
    bool known = ::stat(Paths::parent(path).c_str(), &folder) == 0;
    return foundEntry(st, known ? &folder : nullptr);
}

std::vector<ScanItem> measure(const std::vector<std::string>& paths, NameFunction name,
                              NoteFunction note) {
    std::vector<ScanItem> items(paths.size());
    if (paths.empty()) return items;
    // Every item is looked at before any is measured: one swapped in while the trees are walked
    // carries the identity of what was there first, so a clean never takes the newcomer for what
    // was measured. Each iteration fills its own slot, so the input order is kept without a lock.
    tbb::parallel_for(std::size_t{0}, paths.size(), [&](std::size_t i) {
        const std::string& path = paths[i];
        ScanItem item;
        item.id = path;
        item.url = path;
        item.found = foundAt(path);
        item.name = name ? name(path) : lastComponent(path);
        item.modified = modified(path);
        if (note) item.note = note(path);
        items[i] = std::move(item);
    });
    // One walk for all of them: the walkers move on to another tree as one runs out.
    const std::vector<std::int64_t> sizes = TreeSize::allocatedEach(paths);
    for (std::size_t i = 0; i < paths.size(); ++i)
        items[i].size = sizes[i];
    return items;
}

std::vector<std::string> children(const std::vector<std::string>& roots, const std::string& owner) {
    std::vector<std::string> result;
    for (const auto& root : roots) {
        if (LinuxLocations::isListedFile(root)) {
            // A log of its own, not a folder: the file itself, never what a link there leads to.
            std::string file = expandedRoot(root);
            struct stat st {};
            if (::lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
                Held::reachedWithoutDeepLinks(Paths::parent(file)))
                result.push_back(std::move(file));
            continue;
        }
        for (const auto& folder : expandedRoots(root)) {
            // A folder that leads elsewhere through a link deep in the home is not listed from:
            // what is there would be the user's own files under an application's name.
            if (!Held::reachedWithoutDeepLinks(folder)) continue;
            UniqueDir dir(::opendir(folder.c_str()));
            if (!dir) continue;
            std::vector<std::string> names;
            while (dirent* entry = ::readdir(dir.get())) {
                std::string_view n = entry->d_name;
                if (n == "." || n == ".." || n == ".DS_Store" || n == ".localized") continue;
                names.emplace_back(n);
            }
            dir.reset();
            std::sort(names.begin(), names.end());
            for (const auto& n : names) {
                std::string path = folder == "/" ? "/" + n : folder + "/" + n;
                const std::string* claimedBy = Catalog::claimant(path);
                if (claimedBy && *claimedBy != owner) continue;
                result.push_back(std::move(path));
            }
        }
    }
    return result;
}

std::vector<ScanItem> excludingNested(std::vector<ScanItem> items, const std::string& owner) {
    std::vector<std::string> others;
    for (auto& [path, id] : Catalog::claimedOnDisk())
        if (id != owner) others.push_back(std::move(path));
    std::sort(others.begin(), others.end());
    for (auto& item : items) {
        std::string prefix = item.url + "/";
        std::vector<std::string> nested;
        for (const auto& path : others) {
            if (!path.starts_with(prefix)) continue;
            // Only the outermost: a claimed path inside another claimed path is already counted.
            bool inside = std::any_of(nested.begin(), nested.end(), [&](const std::string& outer) {
                return path.starts_with(outer + "/");
            });
            if (!inside) nested.push_back(path);
        }
        if (nested.empty()) continue;
        std::int64_t sum = 0;
        for (const auto& path : nested)
            if (walkReaches(item.url, path)) sum += allocatedSize(path);
        item.size = std::max<std::int64_t>(0, item.size - sum);
    }
    return items;
}

std::vector<ScanItem> keepAndSort(std::vector<ScanItem> items, bool keepEmpty) {
    if (!keepEmpty)
        std::erase_if(items, [](const ScanItem& item) { return item.size <= 0 && !item.command; });
    std::stable_sort(items.begin(), items.end(),
                     [](const ScanItem& a, const ScanItem& b) { return a.size > b.size; });
    return items;
}

std::vector<ScanItem> items(const CleanupCategory& category) {
    const Source& source = category.source;
    std::vector<ScanItem> found;
    switch (source.kind) {
    case Source::Kind::paths: {
        std::vector<std::string> existing;
        for (const auto& listed : source.paths) {
            for (auto& path : expandedRoots(listed)) {
                struct stat st {};
                if (::stat(path.c_str(), &st) == 0 &&
                    Held::reachedWithoutDeepLinks(Paths::parent(path)))
                    existing.push_back(path); // a dangling link drops, as does one seen below
            }
        }
        found =
            measure(existing, [](const std::string& path) { return Text::homeShortened(path); });
        found = excludingNested(std::move(found), category.id);
        break;
    }
    case Source::Kind::contents: {
        // Under a root that a pattern stands for, a child's own name says little ("fontconfig"
        // in every application's cache): it is named by its path instead.
        std::unordered_set<std::string> patternRoots;
        for (const auto& root : source.paths)
            if (Files::isPattern(root))
                for (auto& folder : expandedRoots(root))
                    patternRoots.insert(std::move(folder));
        NameFunction name;
        if (!patternRoots.empty())
            name = [&patternRoots](const std::string& path) {
                return patternRoots.contains(Paths::parent(path)) ? Text::homeShortened(path)
                                                                  : lastComponent(path);
            };
        // The Trash of each drive, as the drives are mounted now; its items say which drive.
        std::vector<std::string> roots = source.paths;
        std::unordered_map<std::string, std::string> driveOf; // its files/ folder → the drive
        if (auto token = std::find(roots.begin(), roots.end(), LinuxLocations::driveTrashes);
            token != roots.end()) {
            roots.erase(token);
            for (const auto& trash : Trash::driveTrashes()) {
                roots.push_back(trash.path + "/files");
                driveOf.emplace(roots.back(), trash.topDirectory.value_or(""));
            }
        }
        NoteFunction note;
        if (!driveOf.empty())
            note = [&driveOf](const std::string& path) -> std::optional<std::string> {
                auto drive = driveOf.find(Paths::parent(path));
                if (drive == driveOf.end()) return std::nullopt;
                return "On the drive at " + Text::homeShortened(drive->second);
            };
        found = excludingNested(measure(children(roots, category.id), name, note), category.id);
        break;
    }
    case Source::Kind::projectArtifacts:
        found = projectArtifacts(source.paths);
        break;
    case Source::Kind::largeFiles:
        found = largeFiles(source.paths, source.minimumBytes);
        break;
    case Source::Kind::duplicateFiles:
    case Source::Kind::repeatedPictures:
        break; // found by the finders, above this layer: CategoryItems::items lists them
    case Source::Kind::claudeScratchpads:
        found = claudeScratchpads();
        break;
    case Source::Kind::claudeScratchpadBuilds:
        found = claudeScratchpadBuilds();
        break;
    case Source::Kind::applications:
        found = applications();
        break;
    case Source::Kind::simulatorDevices:
        found = simulatorDevices();
        break;
    case Source::Kind::simulatorRuntimes:
        found = simulatorRuntimes();
        break;
    }
    // Emptying the Trash takes every entry: an empty file, an empty folder or a link left in it
    // would still show in the desktop's Trash after it was said to be emptied.
    return keepAndSort(std::move(found), category.id == Catalog::trashId);
}

} // namespace bramwick::Scanner
