// The program as a user runs it, whole processes with a warm cache, each figure beside a peer's
// and the ratio between them (medians of many runs taken in turn):
//   - start-up: `--scan zzzz` (no category matches) and `--help` on an empty home, beside jdupes
//     on an empty folder and `true`; the target is within 4x jdupes' time;
// Each time is also given as a multiple of the peer's ("0.35x gdu": 35 % of gdu's time).
//   - `--scan dot-cache` on a ~/.cache of 200,000 small files, beside gdu on the same folder;
//     the target is at most 0.33x gdu's time;
//   - `--duplicates` on 4,000 files of exactly 1 MiB that all differ, beside jdupes; the target
//     is less than jdupes' time;
//   - the desktop application on a private X server (Xvfb): the time from starting the process
//     to its main window's first painted frame, read back from the server.
// Another build of the program, given as a second program, is timed beside this one in every
// case (`make bench` leaves it out).
//
//   bench_whole_runs <bramwick program> <folder> [<another bramwick program>]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#ifdef BENCH_WITH_WINDOWS
#include <xcb/xcb.h>
#endif

#include "support.h"
#include "trees.h"

#ifdef BENCH_WITH_WINDOWS
#include "support/private_display.h"
#endif

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// The absolute path of a program on the search path, or empty.
std::string tool(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= folders.size();) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        std::string candidate = folders.substr(start, end - start) + "/" + name;
        if (candidate.starts_with("/") && ::access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

struct Command {
    std::string name;
    std::vector<std::string> argv;
    int status = 0; // the exit status that shows the run did its work
};

// Each command `repeats` times, in turn, after one run of each to warm the cache; the median
// wall time of each, or none for a command that ended with another status.
std::vector<std::optional<double>> timeInTurn(const std::vector<Command>& commands, int repeats,
                                              const std::string& scratch) {
    std::vector<std::vector<double>> times(commands.size());
    std::vector<bool> failed(commands.size(), false);
    for (int r = -1; r < repeats; ++r)
        for (std::size_t c = 0; c < commands.size(); ++c) {
            bench::Run run = bench::run(commands[c].argv, scratch + "/output.txt");
            if (run.status != commands[c].status) failed[c] = true;
            if (r >= 0) times[c].push_back(run.seconds);
        }
    std::vector<std::optional<double>> medians;
    for (std::size_t c = 0; c < commands.size(); ++c)
        medians.push_back(failed[c] ? std::nullopt : std::optional(bench::median(times[c])));
    return medians;
}

struct Outcome {
    bool met = true;     // every target
    bool failed = false; // a run did not end as it should
};

// One line a command: its median, and its time as a multiple of the peer's (the command at
// `peer`), against the target for this program.
void print(const std::vector<Command>& commands, const std::vector<std::optional<double>>& times,
           std::size_t peer, const char* unit, double target, const char* targetWords,
           Outcome& outcome) {
    for (std::size_t c = 0; c < commands.size(); ++c) {
        if (!times[c]) {
            std::printf("  %-34s FAILED (exit status not %d)\n", commands[c].name.c_str(),
                        commands[c].status);
            outcome.failed = true;
            continue;
        }
        double scale = std::string(unit) == "ms" ? 1000 : 1;
        std::printf("  %-34s %8.*f %s", commands[c].name.c_str(), scale > 1 ? 2 : 3,
                    *times[c] * scale, unit);
        if (c != peer && times[peer]) {
            double ratio = *times[c] / *times[peer];
            std::printf("  %5.2fx %s", ratio, commands[peer].name.c_str());
            if (commands[c].name.starts_with("bramwick") && target > 0) {
                bool ok = ratio <= target;
                outcome.met = outcome.met && ok;
                std::printf(" (target %s%s)", targetWords, ok ? "" : ", MISSED");
            }
        }
        std::printf("\n");
    }
}

void uptime() {
    std::ifstream load("/proc/loadavg");
    double one = 0, five = 0, fifteen = 0;
    load >> one >> five >> fifteen;
    std::printf("load average %.2f %.2f %.2f on %u processors\n", one, five, fifteen,
                std::thread::hardware_concurrency());
}

#ifdef BENCH_WITH_WINDOWS

// The program's main window on the server: a top-level window titled "Bramwick", mapped, of at
// least the main window's least size.
std::optional<xcb_window_t> mainWindow(xcb_connection_t* x, xcb_window_t root) {
    auto* tree = xcb_query_tree_reply(x, xcb_query_tree(x, root), nullptr);
    if (!tree) return std::nullopt;
    std::optional<xcb_window_t> found;
    xcb_window_t* children = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree) && !found; ++i) {
        auto* name = xcb_get_property_reply(
            x, xcb_get_property(x, 0, children[i], XCB_ATOM_WM_NAME, XCB_ATOM_ANY, 0, 64), nullptr);
        bool titled =
            name && std::string(static_cast<const char*>(xcb_get_property_value(name)),
                                static_cast<std::size_t>(xcb_get_property_value_length(name))) ==
                        "Bramwick";
        std::free(name);
        if (!titled) continue;
        auto* attributes =
            xcb_get_window_attributes_reply(x, xcb_get_window_attributes(x, children[i]), nullptr);
        auto* geometry = xcb_get_geometry_reply(x, xcb_get_geometry(x, children[i]), nullptr);
        if (attributes && geometry && attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
            geometry->width >= 1000 && geometry->height >= 620)
            found = children[i];
        std::free(attributes);
        std::free(geometry);
    }
    std::free(tree);
    return found;
}

// Whether the window shows a painted frame: more than a background, some text and a line.
bool painted(xcb_connection_t* x, xcb_window_t window) {
    auto* geometry = xcb_get_geometry_reply(x, xcb_get_geometry(x, window), nullptr);
    if (!geometry) return false;
    auto* image = xcb_get_image_reply(x,
                                      xcb_get_image(x, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0,
                                                    geometry->width, geometry->height, ~0u),
                                      nullptr);
    std::free(geometry);
    if (!image) return false;
    const auto* pixels = reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(image));
    std::size_t count = static_cast<std::size_t>(xcb_get_image_data_length(image)) / 4;
    std::set<std::uint32_t> colours;
    for (std::size_t k = 0; k < count && colours.size() < 3; k += 7)
        colours.insert(pixels[k] & 0xFFFFFF);
    std::free(image);
    return colours.size() >= 3;
}

// Milliseconds from starting the program to its first painted main window, or none when none
// showed within 20 s.
std::optional<double> firstFrame(const std::string& program, const std::string& display,
                                 const std::string& home, xcb_connection_t* x, xcb_window_t root) {
    auto start = Clock::now();
    auto child =
        bramwick::test::ChildProcess::start({program},
                                            {"DISPLAY=" + display, "BRAMWICK_HOME=" + home,
                                             "XDG_RUNTIME_DIR=" + home, "PATH=/usr/bin:/bin"},
                                            -1, bramwick::test::ChildProcess::Output::discarded);
    std::optional<double> took;
    std::optional<xcb_window_t> window;
    while (!took && Clock::now() - start < std::chrono::seconds(20)) {
        if (!window) window = mainWindow(x, root);
        if (window && painted(x, *window))
            took = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        else
            std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    child.stop();
    return took;
}

// The first painted window of each program, on one private X server, a few times in turn.
bool windowFrames(const std::vector<std::string>& programs, const std::vector<std::string>& labels,
                  const std::string& home) {
    if (!bramwick::test::PrivateDisplay::installed()) {
        std::printf("  left out: Xvfb is not installed\n");
        return true;
    }
    bramwick::test::PrivateDisplay server;
    xcb_connection_t* x = server.running() ? xcb_connect(server.name.c_str(), nullptr) : nullptr;
    if (!x || xcb_connection_has_error(x)) {
        std::printf("  left out: Xvfb did not start\n");
        if (x) xcb_disconnect(x);
        return false;
    }
    const std::string& display = server.name;
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    constexpr int repeats = 9;
    std::vector<std::vector<double>> times(programs.size());
    bool all = true;
    for (int r = -1; r < repeats; ++r) // the first round warms the font and icon caches
        for (std::size_t p = 0; p < programs.size(); ++p) {
            auto took = firstFrame(programs[p], display, home, x, root);
            all = all && took.has_value();
            if (took && r >= 0) times[p].push_back(*took);
        }
    xcb_disconnect(x);
    for (std::size_t p = 0; p < programs.size(); ++p) {
        double ms = bench::median(times[p]);
        std::printf("  %-34s %8.0f ms from the process start", labels[p].c_str(), ms);
        if (p > 0 && !times[0].empty())
            std::printf("  %5.2fx %s", ms / bench::median(times[0]), labels[0].c_str());
        std::printf("%s\n", times[p].size() == repeats ? "" : "  (some runs showed no window)");
    }
    return all;
}

#endif

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: bench_whole_runs <bramwick program> <folder> [<another program>]\n");
        return 2;
    }
    std::vector<std::string> programs{fs::absolute(argv[1]).string()};
    if (argc > 3) programs.push_back(fs::absolute(argv[3]).string());
    auto label = [&](std::size_t p, const std::string& what) {
        return (p == 0 ? std::string("bramwick ") : "other build ") + what;
    };
    std::string base = argv[2];
    fs::create_directories(base);
    const std::string jdupes = tool("jdupes"), gdu = tool("gdu"), truth = tool("true");
    uptime();
    Outcome outcome;

    std::string empty = base + "/empty", emptyHome = base + "/empty-home";
    fs::create_directories(empty);
    fs::create_directories(emptyHome);
    ::setenv("BRAMWICK_HOME", emptyHome.c_str(), 1);
    std::printf("== start-up on an empty home, median of 201 runs in turn\n");
    {
        std::vector<Command> commands;
        if (!jdupes.empty()) commands.push_back({"jdupes (empty folder)", {jdupes, "-r", empty}});
        for (std::size_t p = 0; p < programs.size(); ++p) {
            commands.push_back({label(p, "--scan zzzz"), {programs[p], "--scan", "zzzz"}, 1});
            commands.push_back({label(p, "--help"), {programs[p], "--help"}});
        }
        commands.push_back({"true", {truth}});
        auto times = timeInTurn(commands, 201, base);
        print(commands, times, 0, "ms", jdupes.empty() ? 0 : 4.0, "within 4x", outcome);
    }

    // A cache of many tools' small files, and gdu over the same folder.
    std::string cacheHome = base + "/cache-home";
    if (!fs::exists(base + "/.cache-complete")) {
        std::printf("generating 200,000 files under %s/.cache ...\n", cacheHome.c_str());
        std::fflush(stdout);
        bench::smallFilesTree(cacheHome + "/.cache", 200'000, 400);
        std::ofstream(base + "/.cache-complete");
    }
    ::setenv("BRAMWICK_HOME", cacheHome.c_str(), 1);
    // gdu reads its settings from the home: never the user's.
    ::setenv("HOME", cacheHome.c_str(), 1);
    std::printf("== --scan dot-cache on a ~/.cache of 200,000 files, warm cache, median of 15\n");
    if (gdu.empty()) {
        std::printf("  gdu: not installed\n");
    } else {
        std::vector<Command> commands{{"gdu", {gdu, "-n", "-p", "-s", cacheHome + "/.cache"}}};
        for (std::size_t p = 0; p < programs.size(); ++p)
            commands.push_back(
                {label(p, "--scan dot-cache"), {programs[p], "--scan", "dot-cache"}});
        auto times = timeInTurn(commands, 15, base);
        print(commands, times, 0, "s", 0.33, "at most 0.33x", outcome);
    }

    std::string sameHome = base + "/same-size-home";
    if (!fs::exists(base + "/.same-size-complete")) {
        std::printf("generating 4,000 files of 1 MiB under %s ...\n", sameHome.c_str());
        std::fflush(stdout);
        bench::sameSizeFiles(sameHome, 4'000);
        std::ofstream(base + "/.same-size-complete");
    }
    ::setenv("BRAMWICK_HOME", sameHome.c_str(), 1);
    std::printf("== --duplicates on 4,000 files of exactly 1 MiB that differ, warm cache, median "
                "of 15\n");
    if (jdupes.empty()) {
        std::printf("  jdupes: not installed\n");
    } else {
        std::vector<Command> commands{
            {"jdupes", {jdupes, "-r", "-q", "-A", "-X", "size+=:1000000"}}};
        for (const char* root :
             {"Downloads", "Desktop", "Documents", "Movies", "Pictures", "Music"})
            commands[0].argv.push_back(sameHome + "/" + root);
        for (std::size_t p = 0; p < programs.size(); ++p)
            commands.push_back({label(p, "--duplicates"), {programs[p], "--duplicates"}});
        auto times = timeInTurn(commands, 15, base);
        print(commands, times, 0, "s", 1.0, "less than 1x", outcome);
    }

#ifdef BENCH_WITH_WINDOWS
    std::printf("== the desktop application's first painted main window on a private X server, "
                "the ~/.cache of 200,000 files, median of 9\n");
    std::vector<std::string> labels;
    for (std::size_t p = 0; p < programs.size(); ++p)
        labels.push_back(label(p, "first painted window"));
    outcome.failed = !windowFrames(programs, labels, cacheHome) || outcome.failed;
#endif
    uptime();
    std::printf("%s%s\n", outcome.met ? "every target met" : "a target MISSED",
                outcome.failed ? "; a run FAILED" : "");
    return outcome.failed ? 1 : 0;
}
