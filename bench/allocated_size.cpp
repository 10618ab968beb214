// Measures a generated tree of files with allocatedSize, `du -s -B1` and gdu (when installed),
// each a process of its own, with a warm cache and then with a cold one, and checks that all see
// the same bytes; then the same for one folder holding a quarter as many files side by side, as a
// thumbnail cache does. The cold runs drop the page cache before every run, which only root may:
// otherwise they are left out, and the output says so.
//
//   bench_allocated_size [files] [folder]
//   bench_allocated_size --measure <folder>     (prints allocatedSize of the folder and the
//                                                seconds the walk took)
//   bench_allocated_size --bare <folder>        (the same for the least walk that can measure
//                                                it, for comparison)
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <ftw.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <fmt/format.h>

#include "platform/tree_size.h"
#include "support.h"
#include "trees.h"

namespace fs = std::filesystem;

namespace {

std::int64_t folderBlocks = 0, folderCount = 0;

int addFolderBlocks(const char*, const struct stat* st, int type, FTW*) {
    if (type == FTW_D || type == FTW_DP) {
        folderBlocks += static_cast<std::int64_t>(st->st_blocks) * 512;
        ++folderCount;
    }
    return 0;
}

bool installed(const std::string& tool) {
    return bench::run({"sh", "-c", "command -v " + tool}, "/dev/null").status == 0;
}

// The least work that measures a tree: one thread per processor, each listing a folder and asking
// for every entry's size, with nothing else (no links, mounts or changes looked for). The kernel's
// share of it is what every walk pays, so it shows how near allocatedSize comes to the floor.
std::int64_t bareWalk(const std::string& root) {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> folders{root};
    int listing = 0; // folders taken and not yet listed: while any are, more may come
    std::int64_t total = 0;
    auto walker = [&] {
        std::int64_t sum = 0;
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return !folders.empty() || listing == 0; });
            if (folders.empty()) break;
            std::string folder = std::move(folders.back());
            folders.pop_back();
            ++listing;
            lock.unlock();
            std::vector<std::string> found;
            if (DIR* dir = ::opendir(folder.c_str())) {
                while (dirent* entry = ::readdir(dir)) {
                    const char* name = entry->d_name;
                    if (name[0] == '.' && (!name[1] || (name[1] == '.' && !name[2]))) continue;
                    struct stat st {};
                    if (::fstatat(::dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
                    if (S_ISDIR(st.st_mode))
                        found.push_back(folder + "/" + name);
                    else if (!S_ISLNK(st.st_mode))
                        sum += static_cast<std::int64_t>(st.st_blocks) * 512;
                }
                ::closedir(dir);
            }
            lock.lock();
            --listing;
            for (auto& sub : found)
                folders.push_back(std::move(sub));
            changed.notify_all();
        }
        total += sum;
    };
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < std::max(1u, std::thread::hardware_concurrency()); ++i)
        threads.emplace_back(walker);
    for (auto& thread : threads)
        thread.join();
    return total;
}

struct Tool {
    std::string name;
    std::vector<std::string> command;
    std::int64_t extra = 0; // what it adds to allocatedSize's files for the folders
};

// Empties the page cache, so that the next walk reads every folder and inode from the disk.
// Only root may; false when it cannot.
bool dropCaches() {
    ::sync();
    std::ofstream control("/proc/sys/vm/drop_caches");
    control << "3\n";
    control.flush();
    return static_cast<bool>(control);
}

// Times allocatedSize (in a process of its own, as the others are) against du and gdu on one
// tree, warm and then cold, medians of a few runs in turn, and checks their totals.
bool compare(const std::string& self, const std::string& root, std::size_t files, bool cold,
             bool withBare) {
    folderBlocks = 0;
    folderCount = 0;
    ::nftw(root.c_str(), addFolderBlocks, 64, FTW_PHYS | FTW_MOUNT);
    std::vector<Tool> tools{{"allocatedSize", {self, "--measure", root}, 0},
                            {"du -s -B1", {"du", "-s", "-B1", root}, folderBlocks}};
    // gdu counts every folder as one 4 KiB block, whatever the folder holds.
    if (installed("gdu"))
        tools.push_back(
            {"gdu", {"gdu", "-n", "-p", "-s", "--no-prefix", root}, folderCount * 4096});
    // Last, and left out of the ratios: it is not a peer but the floor. It lists a folder on one
    // thread, so it is only a floor where folders are many and small.
    const std::size_t peers = tools.size();
    if (withBare) tools.push_back({"bare walk", {self, "--bare", root}, 0});
    // Warm runs take a fraction of a second and vary from run to run with what else the machine
    // does, so they are repeated more often than the cold ones, which each drop the cache.
    constexpr int warmRepeats = 9, coldRepeats = 3;
    bool agree = true;
    std::int64_t ours = 0;
    double walkTime = 0;
    std::printf("files: %zu, folders: %lld\n", files, static_cast<long long>(folderCount));
    for (bool dropped : {false, true}) {
        if (dropped && !cold) continue;
        std::vector<std::vector<bench::Run>> runs(tools.size());
        if (!dropped)
            for (const auto& tool : tools) // warms the cache
                bench::run(tool.command, "/dev/null");
        const int repeats = dropped ? coldRepeats : warmRepeats;
        for (int r = 0; r < repeats; ++r)
            for (std::size_t t = 0; t < tools.size(); ++t) {
                std::size_t k = (t + static_cast<std::size_t>(r)) % tools.size(); // in turn
                if (dropped) dropCaches();
                runs[k].push_back(bench::run(tools[k].command, "/tmp/bramwick-bench-size.txt"));
            }
        std::printf("%s, median of %d:\n",
                    dropped ? "cold cache (dropped before every run)" : "warm cache", repeats);
        std::vector<double> times(tools.size());
        ours = std::strtoll(runs[0][0].output.c_str(), nullptr, 10);
        for (std::size_t t = 0; t < tools.size(); ++t) {
            std::vector<double> seconds, cpu, peak, walk;
            for (const auto& run : runs[t]) {
                seconds.push_back(run.seconds);
                if (t == 0)
                    walk.push_back(std::strtod(run.output.c_str() + run.output.find(' '), nullptr));
                cpu.push_back(run.cpu);
                peak.push_back(static_cast<double>(run.peakKb));
                std::int64_t bytes = std::strtoll(run.output.c_str(), nullptr, 10);
                agree = agree && run.status == 0 && bytes == ours + tools[t].extra;
            }
            times[t] = bench::median(seconds);
            std::printf("  %-14s %7.3f s  (cpu %.3f s, peak %.0f MB)", tools[t].name.c_str(),
                        times[t], bench::median(cpu), bench::median(peak) / 1024);
            if (t == 0) {
                walkTime = bench::median(walk);
                std::printf("  of which the walk %.3f s, the rest starting the program", walkTime);
            }
            std::printf("\n");
        }
        for (auto [what, ourTime] : {std::pair{"program", times[0]}, std::pair{"walk", walkTime}}) {
            std::printf("  ratio, %s against the whole of the others:", what);
            for (std::size_t t = 1; t < peers; ++t)
                std::printf("%s %.1fx faster than %s", t > 1 ? "," : "", times[t] / ourTime,
                            tools[t].name.c_str());
            std::printf("\n");
        }
        if (withBare)
            std::printf("  allocatedSize takes %.2fx the time of the bare walk, which only lists "
                        "and asks for sizes\n",
                        times[0] / times[peers]);
    }
    std::printf("totals %s (%lld bytes in files, %lld more in folders)\n",
                agree ? "agree" : "DISAGREE", static_cast<long long>(ours),
                static_cast<long long>(folderBlocks));
    return agree;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--measure") {
        auto start = std::chrono::steady_clock::now();
        std::int64_t bytes = bramwick::TreeSize::allocated(argv[2]);
        double took =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%lld %.6f\n", static_cast<long long>(bytes), took);
        return 0;
    }
    if (argc == 3 && std::string(argv[1]) == "--bare") {
        std::printf("%lld\n", static_cast<long long>(bareWalk(argv[2])));
        return 0;
    }
    std::size_t files = argc > 1 ? std::stoul(argv[1]) : 200'000;
    std::string base =
        argc > 2 ? argv[2] : (fs::temp_directory_path() / "bramwick-bench-tree").string();
    std::string root = base + "/nested", flat = base + "/flat";
    ::setenv("BRAMWICK_HOME", base.c_str(), 0);
    ::setenv("HOME", base.c_str(), 1); // gdu reads its settings from the home: never the user's
    std::string self = fs::canonical("/proc/self/exe");

    if (!fs::exists(base + "/.complete-" + std::to_string(files))) {
        fs::remove_all(base);
        std::printf("generating %zu files under %s ...\n", files + files / 4, base.c_str());
        bench::smallFilesTree(root, files, 400);
        bench::smallFilesTree(flat, files / 4, files / 4);
        std::ofstream(base + "/.complete-" + std::to_string(files));
    }
    bool cold = dropCaches();
    if (!cold)
        std::printf("cold runs left out: dropping the page cache needs root "
                    "(writing /proc/sys/vm/drop_caches)\n");

    std::printf("== folders of 400 files\n");
    bool agree = compare(self, root, files, cold, true);
    std::printf("== one folder of %zu files\n", files / 4);
    agree = compare(self, flat, files / 4, cold, false) && agree;
    return agree ? 0 : 1;
}
