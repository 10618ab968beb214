// Trees that several benchmarks generate: many small files, as caches hold them, and many files
// of one size that differ, as a folder of camera raws holds them. The same tree on every machine.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include <fmt/format.h>
#include <tbb/parallel_for.h>

#include "support.h"

namespace bench {

// `files` files of up to 24,000 bytes under `root`, `perFolder` to a folder, the folders in 25
// groups (g00 to g24), as the caches of many tools hold them.
inline void smallFilesTree(const std::string& root, std::size_t files, std::size_t perFolder) {
    std::mt19937 random(42);
    std::uniform_int_distribution<int> sizes(0, 24'000);
    std::string data(24'000, 'b');
    const std::size_t folders = (files + perFolder - 1) / perFolder;
    std::size_t made = 0;
    for (std::size_t f = 0; f < folders; ++f) {
        std::string folder = fmt::format("{}/g{:02}/s{:03}", root, f % 25, f);
        std::filesystem::create_directories(folder);
        for (std::size_t i = 0; i < perFolder && made < files; ++i, ++made) {
            std::ofstream out(fmt::format("{}/f{:03}.dat", folder, i), std::ios::binary);
            out.write(data.data(), sizes(random));
        }
    }
}

// `count` files of exactly 1 MiB under the six personal folders of `home` that all differ
// within their first bytes: a duplicate finder must read the start of each. Only the first
// 64 KiB of each file hold bytes; the rest is a hole, so the tree stays small on disk.
inline void sameSizeFiles(const std::string& home, std::size_t count) {
    static const char* roots[] = {"Downloads", "Desktop",  "Documents",
                                  "Movies",    "Pictures", "Music"};
    tbb::parallel_for(std::size_t{0}, count, [&](std::size_t k) {
        std::string folder = home + "/" + roots[k % 6] + fmt::format("/batch{}", k % 40);
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        std::string path = folder + fmt::format("/frame{:05}.raw", k);
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) return;
        Random random(100'000 + k);
        std::vector<std::uint64_t> block(65'536 / 8);
        for (auto& w : block)
            w = random.next();
        if (::write(fd, block.data(), 65'536) != 65'536 || ::ftruncate(fd, 1 << 20) != 0)
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
        ::close(fd);
    });
}

} // namespace bench
