// The main window while its list fills: the desktop application's own scenes with the main
// window shown (off-screen), the real store, engine and pools, on a generated home (that of
// generated_home.h). It prints the longest stall of the event loop during the whole first scan
// (a 1 ms timer measures how late each of its ticks comes) and the most processor time the loop
// itself spent between two ticks (what a busy machine does not inflate), then the cost of one
// list refresh once the scan has ended: with nothing changed, and with the arrangement switched
// each time (every row moved).
//
//   bench_list_refresh [files] [folder]
//
// Targets: no stall over 50 ms; a refresh under 5 ms.
//
// With BENCH_STALLS set, it also prints every stall over 20 ms: the loop's processor time and
// how long it waited for a processor meanwhile, the slowest events it delivered (receiver, event
// type, time) and the widgets it painted, by class, to tell what held the loop up.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>
#include <vector>

// Before Qt's headers, whose "emit" keyword the thread library uses as a name.
#include "generated_home.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QMetaEnum>
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

// The GUI thread's own processor time, and how long it waited for a processor while it could
// run (from the scheduler's figures): a late tick is work of its own, or a busy machine.
double threadCpuMs() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}
double runQueueWaitMs() {
    std::FILE* file = std::fopen("/proc/thread-self/schedstat", "r");
    if (!file) return 0;
    unsigned long long ran = 0, waited = 0;
    if (std::fscanf(file, "%llu %llu", &ran, &waited) != 2) waited = 0;
    std::fclose(file);
    return double(waited) / 1e6;
}

// Times each event the loop delivers (not those sent from inside another), and each paint of a
// widget by its class, keeping those of the current tick of the probe.
class TimedApplication : public QApplication {
  public:
    using QApplication::QApplication;

    struct Delivery {
        double ms = 0;
        double cpu = 0;
        std::string what;
    };
    bool timing = false;
    std::vector<Delivery> sinceTick;
    std::map<std::string, Delivery> paints; // by class, summed

    bool notify(QObject* receiver, QEvent* event) override {
        const bool paint = event->type() == QEvent::Paint;
        if (!timing || (depth_ > 0 && !paint)) {
            ++depth_;
            bool handled = QApplication::notify(receiver, event);
            --depth_;
            return handled;
        }
        // Taken now: the receiver may be gone once the event was handled (a deferred delete).
        const auto type = event->type();
        std::string receiverName = receiver->metaObject()->className();
        if (!paint) receiverName += " '" + receiver->objectName().toStdString() + "' ";
        ++depth_;
        const auto start = Clock::now();
        const double cpuStart = threadCpuMs();
        bool handled = QApplication::notify(receiver, event);
        const double cpu = threadCpuMs() - cpuStart;
        const double ms = milliseconds(Clock::now() - start);
        --depth_;
        if (paint) {
            auto& sum = paints[receiverName];
            sum.ms += ms;
            sum.cpu += cpu;
            sum.what = receiverName;
        } else if (ms >= 1) {
            const char* typeName = QMetaEnum::fromType<QEvent::Type>().valueToKey(int(type));
            sinceTick.push_back(
                {ms, cpu, receiverName + (typeName ? typeName : std::to_string(int(type)))});
        }
        return handled;
    }

    // The slowest deliveries and paints since the last tick, then forgets them.
    void printTick() {
        std::vector<Delivery> painted;
        for (auto& [name, sum] : paints)
            painted.push_back(sum);
        for (auto* list : {&sinceTick, &painted}) {
            std::sort(list->begin(), list->end(),
                      [](const auto& a, const auto& b) { return a.ms > b.ms; });
            for (std::size_t i = 0; i < std::min<std::size_t>(list->size(), 8); ++i)
                if ((*list)[i].ms >= 1)
                    std::printf("    %6.1f ms (%5.1f ms of processor) %s%s\n", (*list)[i].ms,
                                (*list)[i].cpu, list == &painted ? "painting " : "",
                                (*list)[i].what.c_str());
        }
    }
    void forgetTick() {
        sinceTick.clear();
        paints.clear();
    }

  private:
    int depth_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    std::size_t files = argc > 1 ? std::stoul(argv[1]) : 1'140'000;
    std::string root =
        argc > 2 ? argv[2]
                 : (std::filesystem::temp_directory_path() / "bramwick-bench-list-home").string();
    std::string home = bench::home::prepare(root, files);
    ::setenv("BRAMWICK_HOME", home.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

    TimedApplication application(argc, argv);
    const bool verbose = std::getenv("BENCH_STALLS") != nullptr;
    application.timing = verbose;
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
    double lastCpu = threadCpuMs();
    double lastWait = runQueueWaitMs();
    double worstStall = 0;
    // The loop's own work in the longest gap between two ticks, however busy the machine is.
    double worstProcessor = 0;
    // Once the first frame is on screen: the list filling, not the window opening.
    double worstAfterPaint = 0;
    bool painted = false;
    std::size_t ticks = 0;
    bool measuring = true;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        auto now = Clock::now();
        if (measuring) {
            const double stall = milliseconds(now - last) - 1;
            const double cpu = threadCpuMs();
            worstStall = std::max(worstStall, stall);
            worstProcessor = std::max(worstProcessor, cpu - lastCpu);
            if (painted) worstAfterPaint = std::max(worstAfterPaint, stall);
            if (verbose && stall > 20) {
                std::printf("  stall of %.1f ms at %.0f ms: %.1f ms of processor, %.1f ms "
                            "waiting for one\n",
                            stall, milliseconds(now - scanStart), cpu - lastCpu,
                            runQueueWaitMs() - lastWait);
                application.printTick();
            }
            ++ticks;
        }
        last = now;
        lastCpu = threadCpuMs();
        if (verbose) {
            lastWait = runQueueWaitMs();
            application.forgetTick();
        }
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
                    "the window had painted, at most %.1f ms of its own processor time between "
                    "two ticks; the slowest list refresh %.2f ms over %d refreshes (target: no "
                    "stall over 50 ms)\n",
                    store.categories().size(), items, scanSeconds, worstStall, ticks,
                    worstAfterPaint, worstProcessor, content->slowestRefresh(),
                    content->refreshes());
        // Let the last refresh of the scan land first.
        QTimer::singleShot(50, [content] {
            bramwick::Motion::setEnabled(false);
            std::vector<double> still, moved, movedAndLaidOut;
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
                movedAndLaidOut.push_back(milliseconds(Clock::now() - start));
            }
            auto a = figures(still);
            auto b = figures(moved);
            auto c = figures(movedAndLaidOut);
            std::printf("one list refresh, nothing changed: median %.3f ms, worst %.3f ms; with "
                        "the arrangement switched: median %.3f ms, worst %.3f ms (target under "
                        "5 ms), with the layout and paint that follow it: median %.3f ms, worst "
                        "%.3f ms\n",
                        a.median, a.worst, b.median, b.worst, c.median, c.worst);
            QCoreApplication::quit();
        });
    });
    const auto opening = Clock::now();
    const double openingCpu = threadCpuMs();
    scenes.start();
    if (verbose)
        std::printf(
            "  opening the window took %.1f ms (%.1f ms of processor) before the loop ran\n",
            milliseconds(Clock::now() - opening), threadCpuMs() - openingCpu);
    QObject::connect(scenes.mainWindow(), &bramwick::MainWindowFrame::firstPaint,
                     [&] { QTimer::singleShot(0, [&] { painted = true; }); });
    last = Clock::now();
    lastCpu = threadCpuMs();
    lastWait = runQueueWaitMs();
    probe.start();
    int status = QApplication::exec();
    std::fflush(stdout);
    std::_Exit(status);
}
