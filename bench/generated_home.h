// A generated home folder of many small files, shaped like a developer's: application caches,
// package caches, projects with dependency and build folders (in ~/Projects and, the Linux way,
// in ~/projects), a store of hard-linked packages, containers, applications with their
// leftovers, personal folders, thousands of files of equal sizes among them copies, and a few
// large files. Files of a megabyte and more are sparse, so the tree stays small on disk. The
// same seed gives the same tree on every machine.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <fmt/format.h>
#include <tbb/parallel_for.h>

#include "support.h"

namespace bench::home {

namespace fs = std::filesystem;
using bench::Random;

inline std::atomic<std::size_t> written{0};

inline void folder(const std::string& path) {
    std::error_code error;
    fs::create_directories(path, error);
}

// A small file of `bytes` bytes; the folder must exist.
inline void small(const std::string& path, std::size_t bytes) {
    static const std::string data(1 << 16, 'c');
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return;
    for (std::size_t left = bytes; left > 0;) {
        auto n = ::write(fd, data.data(), std::min(left, data.size()));
        if (n <= 0) break;
        left -= static_cast<std::size_t>(n);
    }
    ::close(fd);
    ++written;
}

// A sparse file of `size` bytes whose only written blocks hold bytes drawn from `seed`, at the
// start and, when `endSeed` is given, near the end: files of one size and seed are copies.
inline void sparse(const std::string& path, std::int64_t size, std::uint64_t seed,
                   std::uint64_t endSeed = 0) {
    folder(fs::path(path).parent_path());
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return;
    std::vector<std::uint64_t> block(512);
    Random random(seed);
    for (auto& w : block)
        w = random.next();
    (void)::pwrite(fd, block.data(), 4096, 0);
    if (endSeed) {
        Random end(endSeed);
        for (auto& w : block)
            w = end.next();
        (void)::pwrite(fd, block.data(), 4096, size - 8192);
    }
    (void)::ftruncate(fd, size);
    ::close(fd);
    ++written;
}

// A tree of `files` small files under `root`, `perFolder` to a folder, nested `depth` deep.
inline void tree(const std::string& root, std::size_t files, std::uint64_t seed,
                 std::size_t perFolder = 40, std::size_t depth = 3, const char* extension = "") {
    Random random(seed);
    std::string current;
    for (std::size_t i = 0; i < files; ++i) {
        if (i % perFolder == 0) {
            current = root;
            std::size_t f = i / perFolder;
            for (std::size_t d = 0; d < depth; ++d) {
                current += fmt::format("/{:02x}", f % 16);
                f /= 16;
            }
            folder(current);
        }
        small(fmt::format("{}/f{:05}{}", current, i, extension), random.below(6000));
    }
}

inline void plist(const std::string& path, const std::string& id, const std::string& executable) {
    folder(fs::path(path).parent_path());
    std::ofstream(path) << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                           "<key>CFBundleIdentifier</key><string>"
                        << id << "</string><key>CFBundleExecutable</key><string>" << executable
                        << "</string></dict></plist>";
    ++written;
}

// The whole home, made as independent jobs that run in parallel.
inline void generate(const std::string& home, std::size_t files) {
    auto share = [&](double part) { return static_cast<std::size_t>(part * files); };
    std::vector<std::function<void()>> jobs;
    const std::string library = home + "/Library";

    // Application caches, the package caches inside them, and command-line tool caches.
    for (std::size_t a = 0; a < 80; ++a)
        jobs.push_back([=] {
            tree(fmt::format("{}/Caches/com.vendor{}.app{}", library, a % 17, a), share(0.15) / 80,
                 a, 30, 2 + a % 3);
        });
    for (std::size_t k = 0; k < 8; ++k)
        jobs.push_back([=] {
            tree(fmt::format("{}/Caches/Yarn/v6/p{}", library, k), share(0.05) / 8, 100 + k, 60, 2);
        });
    jobs.push_back([=] { tree(library + "/Caches/CocoaPods/Pods", share(0.01), 110); });
    jobs.push_back([=] {
        folder(library + "/Caches/Homebrew/downloads");
        for (int k = 0; k < 40; ++k)
            sparse(fmt::format("{}/Caches/Homebrew/downloads/bottle{}.tar.gz", library, k),
                   20'000'000 + k * 1000, 9000 + static_cast<std::uint64_t>(k));
    });
    for (std::size_t k = 0; k < 16; ++k)
        jobs.push_back([=] {
            tree(fmt::format("{}/.npm/_cacache/content-v2/sha512/{:02x}", home, k * 16),
                 share(0.08) / 16, 200 + k, 8, 2);
        });
    jobs.push_back([=] { tree(home + "/.npm/_cacache/index-v5", share(0.02), 220, 8, 2); });
    for (const char* tool :
         {"pip/http", "go-build", "huggingface/hub", "mesa_shader_cache", "fontconfig"})
        jobs.push_back([=] {
            tree(home + "/.cache/" + tool, share(0.016), 300 + std::hash<std::string>{}(tool) % 100,
                 30, 2);
        });
    // Thumbnails, all in one folder.
    jobs.push_back([=] {
        tree(home + "/.cache/thumbnails/normal", share(0.03), 350, share(0.03) + 1, 0, ".png");
    });
    jobs.push_back([=] { tree(home + "/.gradle/caches/modules-2", share(0.02), 400, 25, 3); });
    jobs.push_back(
        [=] { tree(library + "/Logs/DiagnosticReports", share(0.01), 410, 200, 1, ".log"); });
    for (std::size_t k = 0; k < 6; ++k)
        jobs.push_back([=] {
            tree(fmt::format("{}/Developer/Xcode/DerivedData/App{}-abc/Build", library, k),
                 share(0.04) / 6, 420 + k, 30, 3);
        });

    // Application support, containers, and the applications they belong to.
    for (std::size_t a = 0; a < 40; ++a)
        jobs.push_back([=] {
            tree(fmt::format("{}/Application Support/com.vendor{}.app{}", library, a % 17, a),
                 share(0.05) / 40, 500 + a, 30, 2);
        });
    jobs.push_back(
        [=] { tree(library + "/Application Support/Google/Chrome/Default", share(0.01), 541); });
    jobs.push_back([=] {
        tree(library + "/Application Support/MobileSync/Backup/device1", share(0.01), 542, 20, 2);
    });
    for (std::size_t c = 0; c < 150; ++c)
        jobs.push_back([=] {
            tree(fmt::format("{}/Containers/com.vendor{}.app{}/Data/Library/Caches", library,
                             c % 17, c),
                 share(0.03) / 150, 600 + c, 30, 1);
        });
    for (std::size_t c = 0; c < 60; ++c)
        jobs.push_back([=] {
            tree(
                fmt::format("{}/Group Containers/TEAM{}.com.vendor{}.app{}", library, c, c % 17, c),
                share(0.01) / 60, 800 + c, 30, 1);
        });
    for (std::size_t a = 0; a < 120; ++a)
        jobs.push_back([=] {
            std::string app = fmt::format("{}/Applications/App{}.app", home, a);
            std::string id = fmt::format("com.vendor{}.app{}", a % 17, a);
            plist(app + "/Contents/Info.plist", id, "app");
            folder(app + "/Contents/MacOS");
            small(app + "/Contents/MacOS/app", 40'000);
            tree(app + "/Contents/Resources", 60, 900 + a, 30, 1);
            plist(app + "/Contents/Library/LoginItems/Helper.app/Contents/Info.plist",
                  id + ".helper", "helper");
            folder(fmt::format("{}/Preferences", library));
            small(fmt::format("{}/Preferences/{}.plist", library, id), 2000);
            folder(fmt::format("{}/Saved Application State/{}.savedState", library, id));
            small(
                fmt::format("{}/Saved Application State/{}.savedState/windows.plist", library, id),
                900);
        });

    // A store of packages, hard-linked into the projects' dependency folders as pnpm does.
    const std::size_t storeFiles = share(0.04);
    jobs.push_back([=] { tree(library + "/pnpm/store/v3/files", storeFiles, 950, 50, 2); });

    // Projects: sources, git objects, dependencies, build output.
    const std::size_t projects = 60;
    for (std::size_t p = 0; p < projects; ++p)
        jobs.push_back([=] {
            std::string project = fmt::format("{}/Projects/group{}/project{:02}", home, p % 6, p);
            tree(project + "/src", share(0.08) / projects, 1000 + p, 20, 3, ".ts");
            tree(project + "/.git/objects", share(0.02) / projects, 2000 + p, 30, 1);
            tree(project + "/node_modules", share(0.13) / projects, 3000 + p, 15, 3, ".js");
            folder(project);
            small(project + "/package.json", 300);
            const char* output = p % 4 == 0 ? "build" : "dist";
            if (p % 4 == 0) small(project + "/build.gradle", 300);
            if (p % 5 == 0) {
                small(project + "/Cargo.toml", 300);
                tree(project + "/target/debug", share(0.02) / projects, 4000 + p, 40, 2);
            }
            tree(project + "/" + output, share(0.01) / projects, 5000 + p, 40, 1);
        });

    // Projects kept the Linux way, in lower case: Node sites with their Next.js output, Rust
    // crates, Gradle apps with the project's own Gradle cache.
    for (std::size_t p = 0; p < 12; ++p)
        jobs.push_back([=] {
            std::string project = fmt::format("{}/projects/app{:02}", home, p);
            tree(project + "/src", share(0.01) / 12, 7100 + p, 20, 2);
            folder(project);
            switch (p % 3) {
            case 0:
                small(project + "/package.json", 300);
                tree(project + "/node_modules", share(0.02) / 12, 7200 + p, 15, 3, ".js");
                tree(project + "/.next", share(0.005) / 12 + 2, 7300 + p, 30, 1, ".js");
                break;
            case 1:
                small(project + "/Cargo.toml", 300);
                tree(project + "/target/debug", share(0.01) / 12, 7400 + p, 40, 2);
                break;
            default:
                small(project + "/build.gradle", 300);
                small(project + "/settings.gradle", 100);
                tree(project + "/build", share(0.005) / 12 + 2, 7500 + p, 40, 1);
                tree(project + "/.gradle", share(0.002) / 12 + 2, 7600 + p, 40, 1);
                break;
            }
        });

    // Personal folders: many small documents, a few dependency trees, pictures by name.
    const char* personal[] = {"Documents", "Desktop", "Downloads", "Pictures", "Music", "Movies"};
    for (std::size_t k = 0; k < 24; ++k)
        jobs.push_back([=] {
            std::string root = fmt::format("{}/{}/folder{}", home, personal[k % 6], k);
            tree(root, share(0.035) / 24, 6000 + k, 25, 3, k % 6 == 3 ? ".jpg" : ".txt");
        });
    jobs.push_back(
        [=] { tree(home + "/Documents/code/web/node_modules", share(0.01), 6100, 15, 3); });
    jobs.push_back([=] { tree(home + "/.local/share/Trash/files", share(0.005), 6200, 40, 2); });

    // Files of a megabyte and more in the personal folders: many share a size, some are copies,
    // some match another's start and differ at the end; and a few large files.
    jobs.push_back([=] {
        Random random(7000);
        const std::size_t originals = std::max<std::size_t>(10, files / 700);
        std::vector<std::int64_t> sizes(originals / 5);
        for (auto& s : sizes)
            s = 1'000'000 + static_cast<std::int64_t>(random.below(7'000'000));
        for (std::size_t k = 0; k < originals; ++k) {
            std::int64_t size = sizes[random.below(sizes.size())];
            std::string where = fmt::format("{}/{}/media{}", home, personal[k % 6], k % 13);
            sparse(fmt::format("{}/file{}.bin", where, k), size, 70'000 + k);
            if (k % 2 == 0) // a copy elsewhere
                sparse(fmt::format("{}/{}/copies/file{}.bin", home, personal[(k + 1) % 6], k), size,
                       70'000 + k);
            if (k % 7 == 0) // the same start, another end
                sparse(fmt::format("{}/{}/twins/file{}.bin", home, personal[(k + 2) % 6], k), size,
                       70'000 + k, 1 + k);
        }
        for (int k = 0; k < 2; ++k) { // a large pair of copies, read whole
            sparse(fmt::format("{}/Movies/film{}.mov", home, k), 800'000'000 + k, 80'000 + k);
            sparse(fmt::format("{}/Downloads/film{}.mov", home, k), 800'000'000 + k, 80'000 + k);
        }
        for (int k = 0; k < 4; ++k) { // large by the blocks they hold
            std::string path =
                fmt::format("{}/{}/large{}.iso", home, k % 2 ? "Downloads" : "Movies", k);
            int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd >= 0) {
                ::posix_fallocate(fd, 0, 220'000'000 + k);
                ::close(fd);
                ++written;
            }
        }
    });

    tbb::parallel_for(
        std::size_t{0}, jobs.size(), [&](std::size_t j) { jobs[j](); }, tbb::simple_partitioner());

    // Hard links from the store into the projects, after both exist.
    std::vector<std::string> store;
    for (auto& entry : fs::recursive_directory_iterator(library + "/pnpm/store/v3/files"))
        if (entry.is_regular_file()) store.push_back(entry.path());
    std::sort(store.begin(), store.end());
    tbb::parallel_for(std::size_t{0}, projects / 2, [&](std::size_t p) {
        std::string target =
            fmt::format("{}/Projects/group{}/project{:02}/node_modules/.pnpm", home, p % 6, p);
        Random random(9000 + p);
        for (std::size_t i = 0; i < store.size() / 6; ++i) {
            std::string dir = fmt::format("{}/pkg{:03}", target, i / 40);
            if (i % 40 == 0) folder(dir);
            std::string path = fmt::format("{}/f{}", dir, i);
            if (::link(store[random.below(store.size())].c_str(), path.c_str()) == 0) ++written;
        }
    });
}

// The home under `root`/home, generated once for each size and kept for later runs (a marker
// says it is complete); returns the home's path.
inline std::string prepare(const std::string& root, std::size_t files) {
    std::string home = root + "/home";
    std::string marker = root + "/.complete-" + std::to_string(files);
    if (!fs::exists(marker)) {
        fs::remove_all(root);
        std::printf("generating a home of about %zu files under %s ...\n", files, home.c_str());
        std::fflush(stdout);
        auto start = std::chrono::steady_clock::now();
        generate(home, files);
        std::printf(
            "  %zu files in %.1f s\n", written.load(),
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        // Gigabytes just written are still going to the disk for a while; what is timed next
        // should not share the machine with that.
        ::sync();
        std::ofstream{marker};
    }
    return home;
}

} // namespace bench::home
