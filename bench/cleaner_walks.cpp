// The cleanup engine's own walks on a generated tree of projects, warm cache, each beside the
// standard tool that does the same work, with a check that both find the same:
//   - project build folders against `find` pruning build folders and .git,
//   - large files against `find -size`,
//   - deleting a build folder of many small files against `rm -rf`.
//
//   bench_cleaner_walks [projects] [folder]
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <sys/stat.h>

#include <fmt/format.h>

#include "base/shell.h"
#include "engine/project_folders.h"
#include "platform/safe_delete.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

void file(const std::string& path, std::size_t bytes) {
    static const std::string data(1 << 20, 'p');
    std::ofstream out(path, std::ios::binary);
    for (std::size_t left = bytes; left > 0;) {
        std::size_t n = std::min(left, data.size());
        out.write(data.data(), static_cast<std::streamsize>(n));
        left -= n;
    }
}

// A dependency folder of `count` small files in nested packages.
void dependencies(const std::string& folder, std::size_t count, std::mt19937& random) {
    std::uniform_int_distribution<int> sizes(100, 6000);
    for (std::size_t i = 0; i < count; ++i) {
        std::string package = fmt::format("{}/pkg{:03}/lib/sub{}", folder, i / 40, i % 4);
        fs::create_directories(package);
        file(fmt::format("{}/f{:04}.js", package, i), static_cast<std::size_t>(sizes(random)));
    }
}

void generate(const std::string& root, std::size_t projects) {
    std::mt19937 random(7);
    for (std::size_t p = 0; p < projects; ++p) {
        std::string project = fmt::format("{}/Projects/group{:02}/project{:03}", root, p % 10, p);
        for (int d = 0; d < 30; ++d) {
            std::string source = fmt::format("{}/src/module{}/part{}", project, d % 6, d);
            fs::create_directories(source);
            for (int f = 0; f < 10; ++f)
                file(fmt::format("{}/file{}.ts", source, f), 2000);
        }
        fs::create_directories(project + "/.git/objects/ab");
        for (int f = 0; f < 200; ++f)
            file(fmt::format("{}/.git/objects/ab/{:038}", project, f), 500);
        file(project + "/package.json", 200);
        dependencies(project + "/node_modules", 1500, random);
        fs::create_directories(project + "/dist");
        file(project + "/dist/bundle.js", 300'000);
        if (p % 5 == 0) file(project + "/recording.mov", 12'000'000);
    }
}

std::set<std::string> lines(const std::string& text) {
    std::set<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) out.insert(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

template <typename F> std::pair<double, decltype(std::declval<F>()())> timed(F&& f) {
    auto start = Clock::now();
    auto value = f();
    return {seconds(Clock::now() - start), std::move(value)};
}

} // namespace

int main(int argc, char** argv) {
    std::size_t projects = argc > 1 ? std::stoul(argv[1]) : 60;
    std::string root =
        argc > 2 ? argv[2] : (fs::temp_directory_path() / "bramwick-bench-projects").string();
    ::setenv("BRAMWICK_HOME", root.c_str(), 0);
    std::string marker = root + "/.complete-" + std::to_string(projects);
    if (!fs::exists(marker)) {
        fs::remove_all(root);
        std::printf("generating %zu projects under %s ...\n", projects, root.c_str());
        generate(root, projects);
        std::ofstream{marker};
    }
    std::string tree = root + "/Projects";
    bool agree = true;

    bramwick::Scanner::projectArtifacts({tree}); // warm the cache
    auto [ourProjects, found] = timed([&] { return bramwick::Scanner::projectArtifacts({tree}); });
    auto [findProjects, listed] = timed([&] {
        return bramwick::Shell::run({"find", tree, "-name", ".git", "-prune", "-o", "-type", "d",
                                     "(", "-name", "node_modules", "-o", "-name", "dist", ")",
                                     "-prune", "-print"},
                                    600)
            .output;
    });
    std::set<std::string> ours;
    for (const auto& item : found)
        ours.insert(item.url);
    agree = agree && ours == lines(listed);
    std::printf("project build folders: %zu found, ours %.3f s (walk and measure), find %.3f s "
                "(walk only)%s\n",
                ours.size(), ourProjects, findProjects, ours == lines(listed) ? "" : "  MISMATCH");

    const std::int64_t minimum = 10'000'000;
    auto [ourLarge, large] = timed([&] { return bramwick::Scanner::largeFiles({tree}, minimum); });
    auto [findLarge, bigOnes] = timed([&] {
        return bramwick::Shell::run(
                   {"find", tree, "-type", "f", "-size", fmt::format("+{}c", minimum - 1)}, 600)
            .output;
    });
    std::set<std::string> ourLargeSet;
    for (const auto& item : large)
        ourLargeSet.insert(item.url);
    agree = agree && ourLargeSet == lines(bigOnes);
    std::printf("large files: %zu found, ours %.3f s, find %.3f s, ratio %.2f%s\n",
                ourLargeSet.size(), ourLarge, findLarge, ourLarge / findLarge,
                ourLargeSet == lines(bigOnes) ? "" : "  MISMATCH");

    // Deleting: two identical copies of one project's dependencies, one each.
    std::string mine = root + "/delete-ours", theirs = root + "/delete-rm";
    std::mt19937 a(1), b(1);
    dependencies(mine, 20'000, a);
    dependencies(theirs, 20'000, b);
    bramwick::Shell::run({"sync"}, 600);
    auto [ourDelete, problem] = timed([&] { return bramwick::SafeDelete::remove(mine); });
    auto [rmDelete, rm] = timed([&] {
        return bramwick::Shell::run({"rm", "-rf", theirs}, 600).status;
    });
    agree = agree && !problem && rm == 0 && !fs::exists(mine) && !fs::exists(theirs);
    std::printf("deleting 20000 files: ours %.3f s, rm -rf %.3f s, ratio %.2f%s\n", ourDelete,
                rmDelete, ourDelete / rmDelete, problem ? ("  " + *problem).c_str() : "");
    return agree ? 0 : 1;
}
