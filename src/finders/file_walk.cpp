#include "finders/file_walk.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

#include <tbb/collaborative_call_once.h>
#include <tbb/enumerable_thread_specific.h>
#include <tbb/parallel_for_each.h>
#include <tbb/parallel_sort.h>

#include "base/paths.h"
#include "base/unique_fd.h"
#include "engine/catalog.h"
#include "engine/packages.h"
#include "engine/scanner.h"
#include "platform/held_item.h"
#include "platform/walk_folders.h"

namespace bramwick::FileWalk {

namespace {

struct IdentityHash {
    std::size_t operator()(const Identity& id) const noexcept {
        return std::hash<std::uint64_t>{}(id.device * 0x9E3779B97F4A7C15ULL ^ id.inode);
    }
};

// A folder still to be listed, with what its parent saw of it: a folder swapped for something
// else in between (a link, another mount) is passed over.
struct PendingFolder {
    std::string path;
    Identity identity;
    std::size_t root;
    bool isRoot = false;
};

struct Found {
    std::size_t root;
    File file;
};

Identity identityOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

Date modifiedOf(const struct stat& st) {
    using namespace std::chrono;
    auto since = seconds(st.st_mtim.tv_sec) + nanoseconds(st.st_mtim.tv_nsec);
    return Date(duration_cast<Date::duration>(since));
}

class Walk {
  public:
    Walk(std::int64_t minimumBytes, const std::function<bool(std::string_view)>& acceptName)
        : minimum_(minimumBytes), acceptName_(acceptName) {}

    void run(std::vector<PendingFolder> roots) {
        tbb::parallel_for_each(
            roots.begin(), roots.end(),
            [this](const PendingFolder& folder, tbb::feeder<PendingFolder>& feeder) {
                list(folder, feeder);
            });
    }

    std::vector<Found> results() {
        std::vector<Found> all;
        for (auto& part : found_) {
            all.insert(all.end(), std::make_move_iterator(part.begin()),
                       std::make_move_iterator(part.end()));
            part.clear();
        }
        return all;
    }

  private:
    void list(const PendingFolder& folder, tbb::feeder<PendingFolder>& feeder) {
        UniqueDir dir =
            WalkFolders::openSeen(folder.path, static_cast<dev_t>(folder.identity.device),
                                  static_cast<ino_t>(folder.identity.inode), folder.isRoot);
        if (!dir) return;
        int fd = ::dirfd(dir.get());
        struct stat self {};
        const bool knownSelf = ::fstat(fd, &self) == 0;
        auto& found = found_.local();
        while (dirent* entry = ::readdir(dir.get())) {
            std::string_view name = entry->d_name;
            if (name.empty() || name[0] == '.') continue; // hidden, and "." and ".."
            if (isSkippedName(name) || entry->d_type == DT_LNK) continue;
            bool maybeFile = entry->d_type == DT_REG || entry->d_type == DT_UNKNOWN;
            // Names are tested before anything is read; folders are entered whatever their name.
            if (entry->d_type == DT_REG && acceptName_ && !acceptName_(name)) continue;
            if (!maybeFile && entry->d_type != DT_DIR) continue;
            struct stat st {};
            if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            std::string path = (folder.path == "/" ? "" : folder.path) + "/" + std::string(name);
            if (S_ISDIR(st.st_mode)) {
                // Packages stay closed; another file system below a root is not ours to sort.
                if (WalkFolders::entersFolder(fd, entry->d_name, st,
                                              static_cast<dev_t>(folder.identity.device)) &&
                    !Packages::isPackageName(name))
                    feeder.add({std::move(path), identityOf(st), folder.root, false});
                continue;
            }
            if (!S_ISREG(st.st_mode) || st.st_size < minimum_) continue;
            if (entry->d_type == DT_UNKNOWN && acceptName_ && !acceptName_(name)) continue;
            found.push_back(
                {folder.root,
                 {std::move(path), static_cast<std::int64_t>(st.st_size), modifiedOf(st),
                  identityOf(st), static_cast<std::uint64_t>(st.st_nlink),
                  Scanner::foundEntry(st, knownSelf ? &self : nullptr)}});
        }
    }

    std::int64_t minimum_;
    const std::function<bool(std::string_view)>& acceptName_;
    tbb::enumerable_thread_specific<std::vector<Found>> found_;
};

// The files under the roots as one walk finds them, in root order, then path order, with every
// name of a file (the later names are dropped by the caller).
std::vector<Found> walked(const std::vector<std::string>& roots, std::int64_t minimumBytes,
                          const std::function<bool(std::string_view)>& acceptName) {
    std::vector<PendingFolder> start;
    for (std::size_t r = 0; r < roots.size(); ++r) {
        std::string path =
            Held::walkableFolder(Paths::withoutTrailingSlash(Catalog::expand(roots[r])));
        struct stat st {};
        // The root itself may be a link (a Documents folder kept on another disk); it is followed,
        // and its paths keep the form the caller gave, so they still read as below the home
        // (unless only where the link leads could they be cleaned).
        if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
        start.push_back({path, identityOf(st), r, true});
    }
    Walk walk(minimumBytes, acceptName);
    walk.run(std::move(start));
    std::vector<Found> found = walk.results();
    tbb::parallel_sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        if (a.root != b.root) return a.root < b.root;
        return a.file.path < b.file.path;
    });
    return found;
}

// The walks a SharedWalks shares, one for each list of roots. Callers that come while it is
// being walked take part in the walk (a plain wait could hold the very thread it needs).
struct Shared {
    std::int64_t floor;
    std::mutex mutex;
    struct Entry {
        tbb::collaborative_once_flag once;
        std::vector<Found> found;
    };
    std::map<std::vector<std::string>, std::unique_ptr<Entry>> walks;

    const std::vector<Found>& walk(const std::vector<std::string>& roots) {
        Entry* entry;
        {
            std::lock_guard lock(mutex);
            auto& slot = walks[roots];
            if (!slot) slot = std::make_unique<Entry>();
            entry = slot.get();
        }
        tbb::collaborative_call_once(entry->once, [&] { entry->found = walked(roots, floor, {}); });
        return entry->found;
    }
};

std::atomic<Shared*> shared{nullptr};

} // namespace

SharedWalks::SharedWalks(std::int64_t floorBytes) {
    shared.store(new Shared{floorBytes, {}, {}});
}

SharedWalks::~SharedWalks() {
    delete shared.exchange(nullptr);
}

bool isSkippedName(std::string_view name) {
    static constexpr std::array<std::string_view, 8> names{
        "node_modules",  "Pods",        "Carthage", "vendor",
        "site-packages", "__pycache__", "venv",     "DerivedData"};
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::vector<File> regularFiles(const std::vector<std::string>& roots, std::int64_t minimumBytes,
                               const std::function<bool(std::string_view)>& acceptName) {
    // Only the first name of a file is taken, among the names this walk would have taken.
    std::vector<File> files;
    std::unordered_set<Identity, IdentityHash> seen;
    if (Shared* sharing = shared.load(); sharing && minimumBytes >= sharing->floor) {
        for (const Found& f : sharing->walk(roots))
            if (f.file.size >= minimumBytes &&
                (!acceptName || acceptName(Paths::lastComponent(f.file.path))) &&
                seen.insert(f.file.identity).second)
                files.push_back(f.file);
        return files;
    }
    std::vector<Found> found = walked(roots, minimumBytes, acceptName);
    files.reserve(found.size());
    seen.reserve(found.size());
    for (auto& f : found)
        if (seen.insert(f.file.identity).second) files.push_back(std::move(f.file));
    return files;
}

std::size_t depth(std::string_view path) {
    return static_cast<std::size_t>(std::count(path.begin(), path.end(), '/'));
}

bool olderThenShallower(const std::string& pathA, const std::optional<Date>& modifiedA,
                        const std::string& pathB, const std::optional<Date>& modifiedB) {
    if (modifiedA != modifiedB) {
        if (!modifiedA) return false;
        if (!modifiedB) return true;
        return *modifiedA < *modifiedB;
    }
    std::size_t da = depth(pathA), db = depth(pathB);
    if (da != db) return da < db;
    return pathA < pathB;
}

int openRegular(const std::string& path, std::optional<Identity> identity, std::int64_t* size) {
    UniqueFd fd = WalkFolders::openAtAnyDepth(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (!fd) return -1;
    struct stat st {};
    bool same = ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) &&
                (!identity || *identity == Identity{} || identityOf(st) == *identity);
    if (!same) return -1;
    if (size) *size = static_cast<std::int64_t>(st.st_size);
    return fd.release();
}

} // namespace bramwick::FileWalk
