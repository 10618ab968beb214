#include "platform/tree_size.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unordered_set>
#include <vector>

#include <tbb/global_control.h>
#include <tbb/info.h>
#include <tbb/parallel_for.h>
#include <tbb/parallel_for_each.h>
#include <tbb/parallel_reduce.h>
#include <tbb/task_arena.h>

#include "base/unique_fd.h"
#include "platform/walk_folders.h"

namespace bramwick::TreeSize {

namespace {

std::int64_t allocated(const struct stat& st) {
    return static_cast<std::int64_t>(st.st_blocks) * 512;
}

struct FileIdentity {
    dev_t device;
    ino_t inode;
    bool operator==(const FileIdentity&) const = default;
};

struct FileIdentityHash {
    std::size_t operator()(const FileIdentity& id) const noexcept {
        return std::hash<std::uint64_t>{}(static_cast<std::uint64_t>(id.device) *
                                              0x9E3779B97F4A7C15ULL ^
                                          static_cast<std::uint64_t>(id.inode));
    }
};

// A folder still to be listed, with the inode it had when its parent was listed: a folder that
// was swapped for something else (a link, another mount) in between is passed over. `root` is
// the tree it belongs to, among those measured together.
struct PendingFolder {
    std::string path;
    ino_t inode;
    std::size_t root = 0;
};

// Where tree walks run. A walk over a tree that is not in the page cache spends its time
// waiting for the disk, one metadata read per walker at a time, so it has several walkers per
// processor: enough reads stay outstanding while they block. On a cached tree nothing blocks and
// the extra walkers only take turns. Walks started at the same time share them.
int walkerCount() {
    static const int count = std::max(16, 4 * tbb::info::default_concurrency());
    return count;
}

tbb::task_arena& walkers() {
    static const int count = walkerCount();
    // Lets the thread pool grow past one thread per processor for this arena only: every other
    // parallel loop still runs with one thread per processor.
    static tbb::global_control allowed(tbb::global_control::max_allowed_parallelism,
                                       static_cast<std::size_t>(count));
    // Never destroyed: the process ends without waiting for every walker thread to end first,
    // and a walk still running then keeps its arena.
    static tbb::task_arena& arena = *new tbb::task_arena(count);
    return arena;
}

// Several trees measured in one walk, each on its own file system and with its own count of hard
// links: what one tree's walk has left the walkers take up from another's.
class TreeMeasure {
  public:
    // The folder trees, each with the file system it stays on.
    struct Root {
        std::string path;
        dev_t device;
        ino_t inode;
    };

    explicit TreeMeasure(const std::vector<Root>& roots)
        : devices_(roots.size()), totals_(roots.size()) {
        for (std::size_t r = 0; r < roots.size(); ++r)
            devices_[r] = roots[r].device;
    }

    void walk(const std::vector<Root>& roots) {
        std::vector<PendingFolder> start;
        for (std::size_t r = 0; r < roots.size(); ++r)
            start.push_back({roots[r].path, roots[r].inode, r});
        walkers().execute([&] {
            tbb::parallel_for_each(
                start.begin(), start.end(),
                [this](const PendingFolder& folder, tbb::feeder<PendingFolder>& feeder) {
                    list(folder, feeder);
                });
        });
    }

    std::int64_t total(std::size_t root) const { return totals_[root].load(); }

  private:
    // A folder's first entries are measured as they are listed; the rest of a folder this
    // large (a thumbnail or mail cache can hold hundreds of thousands of files) are measured
    // in parallel once it is listed, so one folder does not keep the walk on one thread.
    static constexpr std::size_t listedInline = 4096;

    void list(const PendingFolder& folder, tbb::feeder<PendingFolder>& feeder) {
        const dev_t device = devices_[folder.root];
        UniqueDir dir = WalkFolders::openSeen(folder.path, device, folder.inode);
        if (!dir) return;
        int fd = ::dirfd(dir.get());
        std::int64_t sum = 0;
        std::size_t listed = 0;
        std::string later; // the names past the first few thousand, each ended by a NUL
        std::vector<std::size_t> starts;
        while (dirent* entry = ::readdir(dir.get())) {
            const char* name = entry->d_name;
            if (WalkFolders::isSelfOrParent(name)) continue;
            if (entry->d_type == DT_LNK) continue; // a link counts nothing
            if (++listed <= listedInline) {
                sum += measureEntry(fd, folder, name,
                                    [&](PendingFolder&& sub) { feeder.add(std::move(sub)); });
                continue;
            }
            starts.push_back(later.size());
            later.append(name).push_back('\0');
        }
        std::vector<PendingFolder> subfolders;
        if (!starts.empty()) {
            std::mutex subfoldersMutex;
            sum += tbb::parallel_reduce(
                tbb::blocked_range<std::size_t>(0, starts.size(), 1024), std::int64_t{0},
                [&](const tbb::blocked_range<std::size_t>& range, std::int64_t part) {
                    std::vector<PendingFolder> found;
                    for (std::size_t i = range.begin(); i != range.end(); ++i)
                        part += measureEntry(
                            fd, folder, later.data() + starts[i],
                            [&](PendingFolder&& sub) { found.push_back(std::move(sub)); });
                    if (!found.empty()) {
                        std::lock_guard lock(subfoldersMutex);
                        subfolders.insert(subfolders.end(), std::make_move_iterator(found.begin()),
                                          std::make_move_iterator(found.end()));
                    }
                    return part;
                },
                std::plus<>());
        }
        dir.reset(); // closed before the subfolders are handed on, so open folders stay few
        for (auto& subfolder : subfolders)
            feeder.add(std::move(subfolder));
        totals_[folder.root] += sum;
    }

    // The bytes of one entry of the open folder; a folder to walk into is handed to `enter`.
    template <typename Enter>
    std::int64_t measureEntry(int fd, const PendingFolder& folder, const char* name,
                              Enter&& enter) {
        struct stat st {};
        if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return 0;
        if (S_ISDIR(st.st_mode)) {
            if (WalkFolders::entersFolder(fd, name, st, devices_[folder.root]))
                enter(PendingFolder{folder.path + "/" + name, st.st_ino, folder.root});
            return 0;
        }
        if (S_ISLNK(st.st_mode)) return 0;
        if (st.st_nlink > 1 && !firstSighting(folder.root, {st.st_dev, st.st_ino})) return 0;
        return allocated(st);
    }

    // A file's other names count nothing in the same tree; in another tree they count again, as
    // that tree measured alone would count them.
    bool firstSighting(std::size_t root, FileIdentity id) {
        std::lock_guard lock(linksMutex_);
        return links_.insert({root, id}).second;
    }

    struct Sighting {
        std::size_t root;
        FileIdentity id;
        bool operator==(const Sighting&) const = default;
    };
    struct SightingHash {
        std::size_t operator()(const Sighting& s) const noexcept {
            return FileIdentityHash{}(s.id) ^ (s.root * 0x9E3779B97F4A7C15ULL);
        }
    };

    std::vector<dev_t> devices_;
    std::vector<std::atomic<std::int64_t>> totals_;
    std::mutex linksMutex_;
    std::unordered_set<Sighting, SightingHash> links_;
};

} // namespace

void startWalkers() {
    const int count = walkerCount();
    std::atomic<int> arrived{0};
    // One deadline for all: where fewer threads can be had, the waits end together.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    walkers().execute([&] {
        tbb::parallel_for(
            0, count,
            [&](int) {
                // Each waits for the others, so that every one runs on a thread of its own; and
                // each allocates, so that its thread's share of the allocator is made too.
                delete[] new char[64];
                arrived.fetch_add(1);
                while (arrived.load() < count && std::chrono::steady_clock::now() < until)
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
            },
            tbb::simple_partitioner());
    });
}

std::int64_t allocated(const std::string& path) {
    return allocatedEach({path}).front();
}

std::vector<std::int64_t> allocatedEach(const std::vector<std::string>& paths) {
    std::vector<std::int64_t> sizes(paths.size(), 0);
    std::vector<TreeMeasure::Root> folders;
    std::vector<std::size_t> folderOf; // the path of each folder tree
    for (std::size_t i = 0; i < paths.size(); ++i) {
        struct stat st {};
        if (::lstat(paths[i].c_str(), &st) != 0 || S_ISLNK(st.st_mode)) continue;
        if (!S_ISDIR(st.st_mode)) {
            sizes[i] = allocated(st);
            continue;
        }
        folders.push_back({paths[i], st.st_dev, st.st_ino});
        folderOf.push_back(i);
    }
    if (folders.empty()) return sizes;
    TreeMeasure measure(folders);
    measure.walk(folders);
    for (std::size_t f = 0; f < folders.size(); ++f)
        sizes[folderOf[f]] = measure.total(f);
    return sizes;
}

} // namespace bramwick::TreeSize
