// Measures a generated tree of files with allocatedSize and with `du -s -B1`, in both orders,
// warm cache, and checks that both see the same bytes; then the same for one folder holding a
// quarter as many files side by side, as a thumbnail cache does.
//
//   bench_allocated_size [files] [folder]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ftw.h>
#include <random>
#include <string>
#include <sys/stat.h>

#include <fmt/format.h>

#include "engine/scanner.h"
#include "base/shell.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::int64_t folderBlocks = 0;

int addFolderBlocks(const char*, const struct stat* st, int type, FTW*) {
    if (type == FTW_D || type == FTW_DP)
        folderBlocks += static_cast<std::int64_t>(st->st_blocks) * 512;
    return 0;
}

void generate(const std::string& root, std::size_t files, std::size_t perFolder) {
    std::mt19937 random(42);
    std::uniform_int_distribution<int> sizes(0, 24'000);
    std::string data(24'000, 'b');
    const std::size_t folders = (files + perFolder - 1) / perFolder;
    std::size_t made = 0;
    for (std::size_t f = 0; f < folders; ++f) {
        std::string folder = fmt::format("{}/g{:02}/s{:03}", root, f % 25, f);
        fs::create_directories(folder);
        for (std::size_t i = 0; i < perFolder && made < files; ++i, ++made) {
            std::ofstream out(fmt::format("{}/f{:03}.dat", folder, i), std::ios::binary);
            out.write(data.data(), sizes(random));
        }
    }
}

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Times allocatedSize against du on one tree, and checks their totals.
bool compare(const std::string& root, std::size_t files) {
    auto ours = [&] {
        auto start = Clock::now();
        std::int64_t bytes = bramwick::Scanner::allocatedSize(root);
        return std::pair{bytes, seconds(Clock::now() - start)};
    };
    auto du = [&] {
        auto start = Clock::now();
        auto result = bramwick::Shell::run({"du", "-s", "-B1", root}, 600);
        double took = seconds(Clock::now() - start);
        return std::pair{std::strtoll(result.output.c_str(), nullptr, 10), took};
    };

    ours(); // warm the cache
    auto [duBytes1, duTime1] = du();
    auto [ourBytes1, ourTime1] = ours();
    auto [ourBytes2, ourTime2] = ours();
    auto [duBytes2, duTime2] = du();

    folderBlocks = 0;
    ::nftw(root.c_str(), addFolderBlocks, 64, FTW_PHYS | FTW_MOUNT);
    std::int64_t expected = ourBytes1 + folderBlocks;
    double duTime = (duTime1 + duTime2) / 2, ourTime = (ourTime1 + ourTime2) / 2;

    std::printf("files: %zu\n", files);
    std::printf("du -s -B1:     %.3f s, %.3f s  (%lld bytes)\n", duTime1, duTime2,
                static_cast<long long>(duBytes1));
    std::printf("allocatedSize: %.3f s, %.3f s  (%lld bytes + %lld in folders)\n", ourTime1,
                ourTime2, static_cast<long long>(ourBytes1), static_cast<long long>(folderBlocks));
    std::printf("ratio: allocatedSize is %.1fx faster than du\n", duTime / ourTime);
    bool agree = expected == duBytes1 && duBytes1 == duBytes2 && ourBytes1 == ourBytes2;
    std::printf("totals %s\n", agree ? "agree" : "DISAGREE");
    return agree;
}

} // namespace

int main(int argc, char** argv) {
    std::size_t files = argc > 1 ? std::stoul(argv[1]) : 200'000;
    std::string base =
        argc > 2 ? argv[2] : (fs::temp_directory_path() / "bramwick-bench-tree").string();
    std::string root = base + "/nested", flat = base + "/flat";
    ::setenv("BRAMWICK_HOME", base.c_str(), 0);

    if (!fs::exists(base + "/.complete-" + std::to_string(files))) {
        fs::remove_all(base);
        std::printf("generating %zu files under %s ...\n", files + files / 4, base.c_str());
        generate(root, files, 400);
        generate(flat, files / 4, files / 4);
        std::ofstream(base + "/.complete-" + std::to_string(files));
    }

    std::printf("== folders of 400 files\n");
    bool agree = compare(root, files);
    std::printf("== one folder of %zu files\n", files / 4);
    agree = compare(flat, files / 4) && agree;
    return agree ? 0 : 1;
}
