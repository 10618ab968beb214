// Plans the uninstall of one application in a generated home whose shared Library folders hold
// many other applications' entries, and whose own leftovers hold many files; compares the time
// with `du -s -B1` over the same leftovers, and checks that both see the same bytes.
//
//   bench_uninstall_plan [other applications] [files in the leftovers] [folder]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <fmt/format.h>

#include "base/shell.h"
#include "finders/uninstaller.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

void touch(const std::string& path, std::size_t bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    std::string data(bytes, 'b');
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

void generate(const std::string& home, const std::string& system, std::size_t others,
              std::size_t files) {
    const std::string id = "com.example.atlas";
    std::string app = home + "/Applications/Atlas.app";
    touch(app + "/Contents/MacOS/atlas", 100'000);
    std::ofstream(app + "/Contents/Info.plist")
        << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleIdentifier</key>"
           "<string>" +
               id + "</string></dict></plist>";
    // Other applications' entries in every folder the search lists.
    for (std::size_t i = 0; i < others; ++i) {
        std::string other = fmt::format("com.vendor{}.app{}", i % 97, i);
        fs::create_directories(home + "/Library/Containers/" + other);
        fs::create_directories(home + "/Library/Group Containers/TEAM." + other);
        fs::create_directories(home + "/Library/Application Scripts/" + other);
        touch(home + "/Library/Preferences/ByHost/" + other + ".host.plist", 0);
        touch(home + "/Library/LaunchAgents/" + other + ".plist", 0);
        touch(system + "/Library/LaunchAgents/" + other + ".plist", 0);
        touch(system + "/Library/LaunchDaemons/" + other + ".plist", 0);
    }
    // The application's own leftovers: a large container, caches and support files.
    const std::size_t perFolder = 300;
    for (std::size_t i = 0; i < files; ++i) {
        std::string where = i % 4 == 0   ? "/Library/Caches/" + id
                            : i % 4 == 1 ? "/Library/Application Support/Atlas"
                                         : "/Library/Containers/" + id + "/Data";
        touch(fmt::format("{}{}/d{:03}/f{}.dat", home, where, i / perFolder, i), i % 9'000);
    }
    touch(home + "/Library/Preferences/" + id + ".plist", 3'000);
    touch(system + "/Library/LaunchDaemons/" + id + ".helper.plist", 1'000);
}

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

} // namespace

int main(int argc, char** argv) {
    std::size_t others = argc > 1 ? std::stoul(argv[1]) : 5'000;
    std::size_t files = argc > 2 ? std::stoul(argv[2]) : 200'000;
    std::string root =
        argc > 3 ? argv[3] : (fs::temp_directory_path() / "bramwick-bench-uninstall").string();
    std::string home = root + "/home";
    std::string system = root + "/system";
    ::setenv("BRAMWICK_HOME", home.c_str(), 0);

    std::string marker = fmt::format("{}/.complete-{}-{}", root, others, files);
    if (!fs::exists(marker)) {
        fs::remove_all(root);
        std::printf("generating %zu other applications and %zu leftover files under %s ...\n",
                    others, files, root.c_str());
        generate(home, system, others, files);
        std::ofstream{marker};
    }

    bramwick::ScanItem app;
    app.id = app.url = home + "/Applications/Atlas.app";
    app.name = "Atlas";
    bramwick::Uninstaller::Environment environment;
    environment.home = home;
    environment.systemRoot = system;

    auto ours = [&] {
        auto start = Clock::now();
        auto plan = bramwick::Uninstaller::plan(app, environment);
        return std::pair{plan, seconds(Clock::now() - start)};
    };
    ours(); // warm the cache
    auto [plan, first] = ours();
    auto [again, second] = ours();

    std::vector<std::string> du{"du", "-s", "-B1", "-c"};
    for (const auto& leftover : plan.leftovers)
        du.push_back(leftover.url);
    auto start = Clock::now();
    auto result = bramwick::Shell::run(du, 600);
    double duTime = seconds(Clock::now() - start);
    auto total = result.output.rfind('\n', result.output.size() - 2);
    long long duBytes = std::strtoll(
        result.output.c_str() + (total == std::string::npos ? 0 : total + 1), nullptr, 10);

    std::printf("%zu leftovers, %lld bytes (du counts %lld with its folders)\n",
                plan.leftovers.size(), static_cast<long long>(plan.leftoverBytes()), duBytes);
    std::printf("plan: %.3fs, %.3fs   du over the leftovers alone: %.3fs\n", first, second, duTime);
    return plan.leftovers.size() == 5 && again.leftovers.size() == 5 ? 0 : 1;
}
