// The desktop application on a generated home (that of generated_home.h), in one of two runs:
//
//   bench_window_run window [files] [folder]
//     the time from the start of the process to the first painted main window (the first scan
//     of every category is held until that frame is drawn, and starts after it), then how long
//     that full scan took and the resident memory once it has ended;
//   bench_window_run tray [files] [folder] [seconds]
//     tray only, no window open: once the first scan has ended, the processor time the program
//     takes over `seconds` (60 by default) while it sits idle with its timers.
//
// The windows are drawn by the off-screen platform, so no display is needed; the store has the
// real engine, settings and pools, and the program's own scenes.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

// Before Qt's headers, whose "emit" keyword the thread library uses as a name.
#include "generated_home.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "app/gui/desktop_store.h"
#include "app/gui/scenes.h"
#include "appearance/button_style.h"

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds since the kernel started this process (to its 10 ms clock tick).
double sinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22; ++i)
        fields >> field; // field 22: the start time in clock ticks since boot
    double started = std::stod(field) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    return (static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9 - started) *
           1000;
}

long statusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::string(key).size()));
    return 0;
}

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    auto mainStart = Clock::now();
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode != "window" && mode != "tray") {
        std::fprintf(stderr, "usage: bench_window_run window|tray [files] [folder] [seconds]\n");
        return 2;
    }
    std::size_t files = argc > 2 ? std::stoul(argv[2]) : 235'000;
    std::string root =
        argc > 3 ? argv[3]
                 : (std::filesystem::temp_directory_path() / "bramwick-bench-home").string();
    int seconds = argc > 4 ? std::stoi(argv[4]) : 60;
    const char* ready = std::getenv("BENCH_HOME_READY");
    std::string home = ready ? std::string(ready) : bench::home::prepare(root, files);
    if (!ready) {
        // The measured run is a fresh process of its own, started once the home is there.
        std::fflush(stdout);
        ::setenv("BENCH_HOME_READY", home.c_str(), 1);
        std::vector<std::string> again(argv, argv + argc);
        bench::Run run = bench::run(again, root + "/window-run.txt");
        std::fputs(run.output.c_str(), stdout);
        return run.status;
    }
    ::setenv("BRAMWICK_HOME", home.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    bramwick::installSkinStyle();
    bramwick::Scenes::Options options;
    options.openWindowAtLaunch = mode == "window";
    options.trayAvailable = true; // the tray run keeps no window, as with a tray on a desktop
    options.quit = [] { QCoreApplication::quit(); };
    bramwick::Scenes scenes(bramwick::desktopStoreServices(), std::move(options));
    bramwick::Store& store = scenes.store();
    bool scanEnded = false;
    double scanSeconds = 0, firstFrameSeconds = 0;
    QObject::connect(&store, &bramwick::Store::scanningAllChanged, [&] {
        if (store.scanningAll() || !store.lastScan() || scanEnded) return;
        scanEnded = true;
        scanSeconds = std::chrono::duration<double>(Clock::now() - mainStart).count();
        if (mode == "window") {
            std::printf("the first full scan ended %.2f s after main began (%.2f s after the first "
                        "frame); resident memory then %.1f MB (peak %.1f MB; target under 150 "
                        "MB)\n",
                        scanSeconds, scanSeconds - firstFrameSeconds,
                        static_cast<double>(statusKb("VmRSS:")) / 1024,
                        static_cast<double>(statusKb("VmHWM:")) / 1024);
            QCoreApplication::quit();
            return;
        }
        double before = cpuSeconds();
        auto idleStart = Clock::now();
        QTimer::singleShot(seconds * 1000, [before, idleStart, seconds] {
            double used = cpuSeconds() - before;
            double wall = std::chrono::duration<double>(Clock::now() - idleStart).count();
            std::printf("tray only for %d s after the first scan: %.3f s of processor time, %.3f "
                        "%% of one core (target under 0.5 %%)\n",
                        seconds, used, 100 * used / wall);
            QCoreApplication::quit();
        });
    });
    scenes.start();
    if (mode == "window") {
        bramwick::MainWindowFrame* window = scenes.mainWindow();
        QObject::connect(window, &bramwick::MainWindowFrame::firstPaint, [&] {
            double fromMain =
                std::chrono::duration<double, std::milli>(Clock::now() - mainStart).count();
            firstFrameSeconds = fromMain / 1000;
            // The first scan waits for this frame: it has not begun yet, unless a second passed
            // without a frame and it began anyway.
            std::printf("first painted main window: %.0f ms from the process start (%.0f ms "
                        "from main; target under 400 ms), the first scan %s\n",
                        sinceProcessStart(), fromMain,
                        store.lastScan()      ? "already over"
                        : store.scanningAll() ? "already running"
                                              : "starting after it");
            std::fflush(stdout);
        });
    }
    int status = QApplication::exec();
    std::fflush(stdout);
    std::_Exit(status);
}
