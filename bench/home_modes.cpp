// Runs the command-line modes that walk the whole home folder (--report, --scan of the largest
// categories, --duplicates, --leftovers) on one generated home of many small files, and prints
// for each its time, processor time, peak memory and the home's files over its time (a mode
// that walks only part of the home walks fewer of them; the home is the one of
// generated_home.h).
//
//   bench_home_modes <bramwick program> [files] [folder]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <fmt/format.h>
#include <tbb/parallel_for.h>

#include "generated_home.h"
#include "support.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_home_modes <bramwick program> [files] [folder]\n");
        return 2;
    }
    std::string bramwick = fs::absolute(argv[1]);
    std::size_t files = argc > 2 ? std::stoul(argv[2]) : 200'000;
    std::string root =
        argc > 3 ? argv[3] : (fs::temp_directory_path() / "bramwick-bench-home").string();
    std::string home = bench::home::prepare(root, files);
    ::setenv("BRAMWICK_HOME", home.c_str(), 1);
    std::size_t count = 0;
    for (auto it = fs::recursive_directory_iterator(home); it != fs::recursive_directory_iterator();
         ++it)
        if (!it->is_directory()) ++count;
    std::printf("home: %zu files, warm cache, peak memory as the kernel reports it\n", count);

    const std::vector<std::vector<std::string>> modes{
        {"--report"},      {"--scan", "app-caches"},  {"--scan", "project-artifacts"},
        {"--scan", "npm"}, {"--scan", "app-support"}, {"--duplicates"},
        {"--leftovers"},
    };
    std::string output = root + "/output.txt";
    bench::run({bramwick, "--report"}, output); // warms the cache
    bool allPassed = true;
    for (const auto& mode : modes) {
        std::vector<std::string> command{bramwick};
        command.insert(command.end(), mode.begin(), mode.end());
        bench::Run r = bench::run(command, output);
        auto lines = static_cast<std::size_t>(std::count(r.output.begin(), r.output.end(), '\n'));
        std::string name = mode.front() + (mode.size() > 1 ? " " + mode[1] : "");
        std::printf("%-28s %7.2f s  cpu %7.2f s  peak %6.0f MB  %9.0f home files/s  %zu lines%s\n",
                    name.c_str(), r.seconds, r.cpu, r.peakKb / 1024.0,
                    static_cast<double>(count) / r.seconds, lines, r.status == 0 ? "" : "  FAILED");
        allPassed = allPassed && r.status == 0;
    }
    return allPassed ? 0 : 1;
}
