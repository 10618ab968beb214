#include "engine/project_folders.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

#include <tbb/parallel_for_each.h>

#include "base/paths.h"
#include "base/text.h"
#include "base/unique_fd.h"
#include "engine/catalog.h"
#include "engine/packages.h"
#include "engine/scanner.h"
#include "platform/held_item.h"
#include "platform/walk_folders.h"

namespace bramwick::Scanner {

namespace {

struct PendingFolder {
    std::string path;
    int depth; // the root is 0, its children 1
    ino_t inode;
};

// Walks the tree under `root` in parallel. `visit(folderFd, folder, name, stat)` sees every
// entry (links included, never followed) and answers whether a folder entry is entered; it is
// called from several threads at once. With `foldersOnly` it sees only the entries that are, or
// may be, folders: an entry the listing names as anything else is passed over unread, which
// spares a walk through source trees one stat per file. Another mounted file system is never
// entered, and a folder swapped for something else between being seen and being opened is
// passed over.
template <typename Visit> void walk(const std::string& root, bool foldersOnly, Visit&& visit) {
    struct stat st {};
    if (::stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
    const dev_t device = st.st_dev;
    std::vector<PendingFolder> start{{root, 0, st.st_ino}};
    tbb::parallel_for_each(
        start.begin(), start.end(),
        [&](const PendingFolder& folder, tbb::feeder<PendingFolder>& feeder) {
            UniqueDir dir =
                WalkFolders::openSeen(folder.path, device, folder.inode, folder.depth == 0);
            if (!dir) return;
            int fd = ::dirfd(dir.get());
            while (dirent* entry = ::readdir(dir.get())) {
                const char* name = entry->d_name;
                if (WalkFolders::isSelfOrParent(name)) continue;
                if (foldersOnly && entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN) continue;
                struct stat child {};
                if (::fstatat(fd, name, &child, AT_SYMLINK_NOFOLLOW) != 0) continue;
                bool enter = visit(fd, folder, std::string_view(name), child);
                if (enter && WalkFolders::entersFolder(fd, name, child, device))
                    feeder.add({folder.path + "/" + name, folder.depth + 1, child.st_ino});
            }
        });
}

std::string rootPath(const std::string& root) {
    return Held::walkableFolder(Paths::withoutTrailingSlash(Catalog::expand(root)));
}

std::string childPath(const std::string& folder, std::string_view name) {
    return (folder == "/" ? std::string() : folder) + "/" + std::string(name);
}

std::string projectName(const std::string& path) {
    std::string name = Text::homeShortened(path);
    constexpr std::string_view projects = "~/Projects/";
    for (auto at = name.find(projects); at != std::string::npos; at = name.find(projects, at))
        name.erase(at, projects.size());
    return name;
}

} // namespace

const std::vector<ArtifactRule>& artifactRules() {
    static const std::vector<ArtifactRule> rules{
        {"node_modules", nullptr, "npm install"},
        {"Pods", "Podfile", "pod install"},
        {".dart_tool", nullptr, "flutter pub get"},
        {"build", "pubspec.yaml", "flutter build"},
        {"build", "Podfile", "rebuild in Xcode"},
        {"build", "build.gradle", "gradle build"},
        {".next", nullptr, "npm run build"},
        {".expo", nullptr, "npx expo start"},
        {".turbo", nullptr, "rebuilds automatically"},
        {"dist", "package.json", "npm run build"},
        {".build", "Package.swift", "swift build"},
        {"DerivedData", nullptr, "rebuild in Xcode"},
        {"target", "Cargo.toml", "cargo build"},
        {".gradle", "settings.gradle", "gradle build"},
    };
    return rules;
}

std::vector<ScanItem> projectArtifacts(const std::vector<std::string>& roots) {
    std::mutex mutex;
    std::unordered_map<std::string, std::string> hints; // path → restore hint
    std::vector<std::string> found;
    // A folder counts once however it is reached: two roots can be one folder (~/code a link to
    // ~/projects, ~/Projects and ~/projects on a file system that ignores case) or hold each
    // other, so both roots and finds are told apart by identity, not by how they are spelled.
    std::set<std::pair<dev_t, ino_t>> walkedRoots;
    std::set<std::pair<dev_t, ino_t>> foundFolders;
    for (const auto& root : roots) {
        std::string start = rootPath(root);
        struct stat rootStat {};
        if (start.empty() || ::stat(start.c_str(), &rootStat) != 0 ||
            !walkedRoots.emplace(rootStat.st_dev, rootStat.st_ino).second)
            continue;
        walk(start, true,
             [&](int folderFd, const PendingFolder& folder, std::string_view name,
                 const struct stat& st) {
                 if (!S_ISDIR(st.st_mode)) return false; // files and links are never matched
                 int depth = folder.depth + 1;
                 if (name == ".git" || depth >= projectDepthLimit) return false;
                 for (const auto& rule : artifactRules()) {
                     if (name != rule.folder) continue;
                     struct stat marker {};
                     // The marker is looked for beside the folder, as a file or a folder, links
                     // followed.
                     if (rule.marker && ::fstatat(folderFd, rule.marker, &marker, 0) != 0) continue;
                     std::string path = childPath(folder.path, name);
                     std::lock_guard lock(mutex);
                     if (foundFolders.emplace(st.st_dev, st.st_ino).second &&
                         hints.emplace(path, rule.restoreHint).second)
                         found.push_back(std::move(path));
                     return false; // nothing inside a build folder is looked at
                 }
                 return true;
             });
    }
    // The walk is parallel: a stable order keeps equal sizes in a predictable order.
    std::sort(found.begin(), found.end());
    return measure(found, projectName,
                   [&hints](const std::string& path) -> std::optional<std::string> {
                       auto it = hints.find(path);
                       if (it == hints.end()) return std::nullopt;
                       return "Restore with: " + it->second;
                   });
}

std::vector<ScanItem> largeFiles(const std::vector<std::string>& roots, std::int64_t minimumBytes) {
    std::mutex mutex;
    std::vector<ScanItem> items;
    std::unordered_set<std::string> seen;
    for (const auto& root : roots) {
        walk(rootPath(root), false,
             [&](int folderFd, const PendingFolder& folder, std::string_view name,
                 const struct stat& st) {
                 if (S_ISDIR(st.st_mode)) return !Packages::isPackageName(name);
                 if (!S_ISREG(st.st_mode)) return false;
                 std::int64_t size = static_cast<std::int64_t>(st.st_blocks) * 512;
                 if (size < minimumBytes) return false;
                 ScanItem item;
                 item.id = item.url = childPath(folder.path, name);
                 struct stat at {};
                 item.found = foundEntry(st, ::fstat(folderFd, &at) == 0 ? &at : nullptr);
                 item.name = Text::homeShortened(item.url);
                 item.size = size;
                 using namespace std::chrono;
                 item.modified = Date(duration_cast<Date::duration>(
                     seconds(st.st_mtim.tv_sec) + nanoseconds(st.st_mtim.tv_nsec)));
                 // Once for each place on the disk: two roots can reach one folder (~/Movies
                 // a link to ~/Videos). Hard links are other places, each listed.
                 std::string place =
                     childPath(Paths::resolved(folder.path).value_or(folder.path), name);
                 std::lock_guard lock(mutex);
                 if (seen.insert(std::move(place)).second) items.push_back(std::move(item));
                 return false;
             });
    }
    std::sort(items.begin(), items.end(),
              [](const ScanItem& a, const ScanItem& b) { return a.id < b.id; });
    return items;
}

} // namespace bramwick::Scanner
