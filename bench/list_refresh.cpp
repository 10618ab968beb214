// The main window while its list fills: the desktop application's own scenes with the main
// window shown (off-screen), the real store, engine and pools, on a generated home (that of
// generated_home.h). It prints the longest stall of the event loop during the whole first scan
// (a 1 ms timer measures how late each of its ticks comes), then the cost of one list refresh
// once the scan has ended: with nothing changed, and with the arrangement switched each time
// (every row moved).
//
//   bench_list_refresh [files] [folder]
//
// Targets: no stall over 50 ms; a refresh under 5 ms.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// Before Qt's headers, whose "emit" keyword the thread library uses as a name.
#include "generated_home.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "app/gui/desktop_store.h"
#include "app/gui/scenes.h"
#include "appearance/button_style.h"
#include "appearance/motion.h"
#include "mainwindow/main_content.h"

namespace {

using Clock = std::chrono::steady_clock;

double milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Figures {
    double median = 0;
    double worst = 0;
};

Figures figures(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples.back()};
}

} // namespace

int main(int argc, char** argv) {
    std::size_t files = argc > 1 ? std::stoul(argv[1]) : 1'140'000;
    std::string root =
        argc > 2 ? argv[2]
                 : (std::filesystem::temp_directory_path() / "bramwick-bench-list-home").string();
    std::string home = bench::home::prepare(root, files);
    ::setenv("BRAMWICK_HOME", home.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    bramwick::installSkinStyle();
    bramwick::Scenes::Options options;
    options.openWindowAtLaunch = true;
    options.trayAvailable = true;
    options.quit = [] { QCoreApplication::quit(); };
    bramwick::Scenes scenes(bramwick::desktopStoreServices(), std::move(options));
    bramwick::Store& store = scenes.store();

    // How late each tick of a 1 ms timer comes while the scan runs.
    auto scanStart = Clock::now();
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(1);
    auto last = Clock::now();
    double worstStall = 0;
    // Once the first frame is on screen: the list filling, not the window opening.
    double worstAfterPaint = 0;
    bool painted = false;
    std::size_t ticks = 0;
    bool measuring = true;
    const bool verbose = std::getenv("BENCH_STALLS") != nullptr;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        auto now = Clock::now();
        if (measuring) {
            const double stall = milliseconds(now - last) - 1;
            worstStall = std::max(worstStall, stall);
            if (painted) worstAfterPaint = std::max(worstAfterPaint, stall);
            if (verbose && stall > 20)
                std::printf("  stall of %.1f ms at %.0f ms\n", stall,
                            milliseconds(now - scanStart));
            ++ticks;
        }
        last = now;
    });

    bool ended = false;
    QObject::connect(&store, &bramwick::Store::scanningAllChanged, [&] {
        if (store.scanningAll() || !store.lastScan() || ended) return;
        ended = true;
        measuring = false;
        const double scanSeconds = std::chrono::duration<double>(Clock::now() - scanStart).count();
        std::size_t items = 0;
        for (const auto& [id, state] : store.states())
            items += state.items.size();
        auto* content = scenes.mainWindow()->findChild<bramwick::MainContent*>();
        if (!content) {
            std::printf("no category list in the main window\n");
            QCoreApplication::exit(1);
            return;
        }
        std::printf("full scan of %zu categories (%zu items listed) in %.2f s with the window "
                    "shown: longest stall of the event loop %.1f ms over %zu ticks, %.1f ms once "
                    "the window had painted; the slowest list refresh %.2f ms over %d refreshes "
                    "(target: no stall over 50 ms)\n",
                    store.categories().size(), items, scanSeconds, worstStall, ticks,
                    worstAfterPaint, content->slowestRefresh(), content->refreshes());
        // Let the last refresh of the scan land first.
        QTimer::singleShot(50, [content] {
            bramwick::Motion::setEnabled(false);
            std::vector<double> still, moved;
            for (int i = 0; i < 300; ++i) {
                auto start = Clock::now();
                content->refreshNow();
                still.push_back(milliseconds(Clock::now() - start));
            }
            const bramwick::ListPlan::Arrangement cycle[] = {
                bramwick::ListPlan::Arrangement::group, bramwick::ListPlan::Arrangement::size,
                bramwick::ListPlan::Arrangement::level};
            for (int i = 0; i < 60; ++i) {
                content->setArrangement(cycle[i % 3]);
                auto start = Clock::now();
                content->refreshNow();
                moved.push_back(milliseconds(Clock::now() - start));
                QCoreApplication::processEvents(); // the layout's own work, outside the refresh
            }
            auto a = figures(still);
            auto b = figures(moved);
            std::printf("one list refresh, nothing changed: median %.3f ms, worst %.3f ms; with "
                        "the arrangement switched: median %.3f ms, worst %.3f ms (target under "
                        "5 ms)\n",
                        a.median, a.worst, b.median, b.worst);
            QCoreApplication::quit();
        });
    });
    scenes.start();
    QObject::connect(scenes.mainWindow(), &bramwick::MainWindowFrame::firstPaint,
                     [&] { QTimer::singleShot(0, [&] { painted = true; }); });
    last = Clock::now();
    probe.start();
    int status = QApplication::exec();
    std::fflush(stdout);
    std::_Exit(status);
}
