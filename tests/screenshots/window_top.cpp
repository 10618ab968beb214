// Shots of the main window's top: the disk ring at several fills, the disk header with its
// meters, the scanning hero mid-scan, the running-now section, the banners, the access setup
// and the whole top in its window. Over a store of made-up figures whose work waits in a queue
// until the shot lets it run, so a scan can be pictured half done.
#include <chrono>
#include <cmath>
#include <deque>
#include <map>

#include <QCoreApplication>
#include <QGridLayout>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include "engine/catalog.h"
#include "mainwindow/disk_ring.h"
#include "mainwindow/window_top.h"
#include "shots.h"

using namespace bramwick;

namespace bramwick::shots {

VitalsReader::Reading buildVitals(int sample) {
    const double t = sample;
    VitalsReader::Reading r;
    r.cpuMeasured = sample > 0; // as the sampler's first reading, with nothing to compare
    r.cpuBusy = 0.45 + 0.3 * std::sin(t / 3.0) * std::exp(-t / 40.0);
    r.loadPerCore = sample == 0 ? 1.3 : 0.74;
    r.pressure = Vitals::Pressure::warning;
    r.swapUsed = 1'300'000'000;
    r.swapRate = t < 20 ? std::int64_t(2'000'000 * (1 + std::cos(t / 2.0))) : 0;
    r.compressorBytes = 1'100'000'000;
    r.compressedBytes = 3'400'000'000;
    r.topCPU = Vitals::Process{"compiler", 186, 0};
    r.topMemory = Vitals::Process{"browser", 0, 2'600'000'000};
    return r;
}

RunningSnapshot buildRunning() {
    RunningSnapshot snapshot;
    snapshot.scanned = true;
    snapshot.swapUsed = 1'300'000'000;
    snapshot.items = {{"sim-A1", RunningItem::Simulator{"A1"}, "Phone 15 Simulator",
                       "Booted 2 hours ago", 41.5, 2'100'000'000},
                      {"watch-812", RunningItem::Watcher{{812}, {}}, "log stream",
                       "Left by a build tool", 3.2, 48'000'000}};
    return snapshot;
}

} // namespace bramwick::shots

namespace {

constexpr std::int64_t GB = 1'000'000'000;

ScanItem item(const std::string& name, std::int64_t size) {
    ScanItem made;
    made.id = made.url = "/home/user/" + name;
    made.name = name;
    made.size = size;
    return made;
}

struct TopStore {
    QTemporaryDir folder;
    Settings settings{folder.filePath("settings.json").toStdString()};
    DiskFigures disk{1000 * GB, 312 * GB, 312 * GB};
    bool diskRead = true; // false: the disk's figures cannot be read yet
    bool access = true;
    bool stopFails = false;
    std::deque<StoreWork::Job> jobs;
    std::map<std::string, std::vector<ScanItem>> contents;
    RunningSnapshot snapshot;
    int samples = 0;
    std::unique_ptr<Store> store;

    TopStore() {
        contents["app-caches"] = {item("editor", 2'400'000'000), item("browser", 900'000'000)};
        contents["user-logs"] = {item("system.log", 310'000'000)};
        contents["npm"] = {item("npm", 1'250'000'000)};
        snapshot = shots::buildRunning();
    }

    StoreServices services() {
        StoreServices s;
        auto queued = [this](StoreWork::Job job) { jobs.push_back(std::move(job)); };
        s.userWork = queued;
        s.backgroundWork = queued;
        s.settings = &settings;
        s.now = [] {
            return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
        };
        s.catalog = [] { return Catalog::all(); };
        s.items = [this](const CleanupCategory& c) { return contents[c.id]; };
        s.unusedApplications = [](const std::vector<ScanItem>& apps, std::int64_t) { return apps; };
        s.clean = [](const std::vector<ScanItem>& items, const CleanupCategory&) {
            return Cleaner::Outcome{items, {}};
        };
        s.move = [](const std::vector<ScanItem>&, const std::string&) {
            return Cleaner::Outcome{};
        };
        s.runningSnapshot = [this] { return snapshot; };
        s.stop = [this](const RunningItem&) {
            return stopFails ? Shell::Result{1, "Operation not permitted"} : Shell::Result{0, ""};
        };
        s.sampleVitals = [this](bool) { return shots::buildVitals(samples++); };
        s.runMaintenance = [](const MaintenanceTask&) { return Maintenance::Result{true, ""}; };
        s.diskFigures = [this] {
            return diskRead ? std::optional<DiskFigures>(disk) : std::nullopt;
        };
        s.fullDiskAccess = [this] { return access; };
        s.reveal = [](const std::vector<std::string>&) {};
        s.openApp = [](const std::string&) { return true; };
        s.openFullDiskAccessSettings = [] {};
        s.relaunch = [] {};
        s.quitApplication = [] {};
        s.chooseFolders = [](Level, std::function<void(std::vector<std::string>)> done) {
            done({});
        };
        s.alert = [](const std::string&, const std::string&) {};
        return s;
    }

    static void settle() {
        for (int round = 0; round < 8; ++round) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }

    // Runs queued work, `count` jobs or all of it.
    void run(int count = -1) {
        while (!jobs.empty() && count-- != 0) {
            auto job = std::move(jobs.front());
            jobs.pop_front();
            job();
            settle();
        }
    }

    // Made and scanned, with half a minute of vitals (or `samples` of them).
    Store& start(bool scan = true, int samples = 30) {
        store = std::make_unique<Store>(services());
        settle();
        if (scan) run();
        for (int i = 0; i < samples; ++i) {
            auto sampling = store->vitals().sample();
            run();
        }
        return *store;
    }
};

QWidget* column(std::initializer_list<QWidget*> blocks) {
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 12, 0, 12);
    layout->setSpacing(0);
    for (QWidget* block : blocks)
        layout->addWidget(block);
    layout->addStretch(1);
    return box;
}

} // namespace

BRAMWICK_SHOT(disk_ring, 620, 170) {
    auto* box = new QWidget;
    auto* grid = new QHBoxLayout(box);
    for (std::int64_t available : {750, 250, 130, 40, 0}) {
        auto* ring = new DiskRing(84, box);
        ring->setDisk({1000 * GB, available * GB, available * GB});
        grid->addWidget(ring);
    }
    return box;
}

BRAMWICK_SHOT(disk_header, 1000, 150) {
    auto* shots = shots::keptForTheRun(new TopStore);
    Store& store = shots->start();
    return column({new DiskHeader(store, {})});
}

// Right after the first sample, on a machine whose load is over one a core: the CPU meter has no
// busy share to show yet, so it shows no state.
BRAMWICK_SHOT(disk_header_first_sample, 1000, 150) {
    auto* shots = shots::keptForTheRun(new TopStore);
    Store& store = shots->start(true, 1);
    return column({new DiskHeader(store, {})});
}

// Before the disk's figures have been read: the tile's spinner in their place.
BRAMWICK_SHOT(disk_header_waiting, 1000, 150) {
    auto* shots = shots::keptForTheRun(new TopStore);
    shots->diskRead = false;
    Store& store = shots->start();
    return column({new DiskHeader(store, {})});
}

BRAMWICK_SHOT(disk_header_scanning, 1000, 150) {
    auto* shots = shots::keptForTheRun(new TopStore);
    shots->disk = {500 * GB, 4 * GB, 4 * GB};
    Store& store = shots->start();
    store.scanAll();
    shots->run(2);
    return column({new DiskHeader(store, {})});
}

BRAMWICK_SHOT(scanning_hero, 1000, 170) {
    auto* shots = shots::keptForTheRun(new TopStore);
    Store& store = shots->start(false);
    if (!store.scanningAll()) store.scanAll();
    shots->run(24); // some of the catalog measured
    if (!store.scanningAll()) store.scanAll();
    // The card itself: its row hides it in classic, which never shows it in the window.
    auto* row = new QWidget;
    auto* layout = new QVBoxLayout(row);
    layout->setContentsMargins(16, 12, 16, 8);
    layout->addWidget(new ScanningHero(store));
    layout->addStretch(1);
    return row;
}

BRAMWICK_SHOT(running_now, 1000, 220) {
    auto* shots = shots::keptForTheRun(new TopStore);
    StoreVitals& vitals = shots->start().vitals();
    vitals.refreshRunning();
    shots->run();
    vitals.stop(vitals.running().items[1]); // left waiting: its row shows the spinner
    return column({new RunningNowSection(vitals)});
}

BRAMWICK_SHOT(banners, 1000, 200) {
    auto* ok = shots::keptForTheRun(new TopStore);
    Store& done = ok->start();
    const auto& listed = done.vitals().running().items;
    done.vitals().stop(listed.empty() ? ok->snapshot.items[1] : listed[1]);
    ok->run();
    auto* failing = shots::keptForTheRun(new TopStore);
    Store& failed = failing->start();
    failing->stopFails = true;
    failed.vitals().stop(failing->snapshot.items[0]);
    failing->run();
    auto* noAccess = shots::keptForTheRun(new TopStore);
    noAccess->access = false;
    Store& locked = noAccess->start(false);
    return column({new ReportBanner(done), new ReportBanner(failed),
                   new FullDiskAccessBanner(locked, [] {})});
}

BRAMWICK_SHOT(access_setup, 720, 520) {
    auto* shots = shots::keptForTheRun(new TopStore);
    shots->access = false;
    Store& store = shots->start(false);
    auto* setup = new FullDiskAccessSetup(store, {});
    setup->findChild<QPushButton*>("openSystemSettings")->click();
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(setup, 0, Qt::AlignCenter);
    return box;
}

BRAMWICK_SHOT(main_window_top, 1100, 640) {
    auto* shots = shots::keptForTheRun(new TopStore);
    Store& store = shots->start();
    StoreVitals& vitals = store.vitals();
    vitals.stop(vitals.running().items.empty() ? shots->snapshot.items[1]
                                               : vitals.running().items[1]);
    shots->run();
    vitals.refreshRunning();
    shots->run();
    // The window's top over the stand-in for the list, as the main window lays them out.
    auto* window = new QWidget;
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(new WindowTop(store, shots->settings, window));
    layout->addStretch(1);
    return window;
}
