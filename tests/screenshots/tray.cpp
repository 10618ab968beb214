// Shots of the tray extra: the icon at each disk rating, the panel in its states, and the
// confirmation card, over a store of made-up figures that answers at once (nothing on the disk
// is read or changed; its settings live in a temporary folder).
#include <chrono>
#include <map>

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include "app/gui/menu_bar_model.h"
#include "app/gui/spark_glyph.h"
#include "app/gui/tray_panel.h"
#include "app/gui/updater.h"
#include "appearance/window_dressing.h"
#include "engine/auto_clean.h"
#include "engine/catalog.h"
#include "shots.h"

using namespace bramwick;

namespace {

constexpr std::int64_t GB = 1'000'000'000;

ScanItem item(const std::string& name, std::int64_t size) {
    ScanItem made;
    made.id = "/shots/" + name;
    made.url = made.id;
    made.name = name;
    made.size = size;
    return made;
}

// One made-up store with its updater; it lives as long as the program (the shot's widget does).
struct ShotStore {
    QTemporaryDir folder;
    Settings settings{folder.filePath("settings.json").toStdString()};
    DiskFigures disk;
    bool access = true;
    Date now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    std::map<std::string, std::vector<ScanItem>> contents;
    std::unique_ptr<Store> store;
    std::unique_ptr<Updater> updater;

    StoreServices services() {
        StoreServices s;
        auto inline_ = [](StoreWork::Job job) { job(); };
        s.userWork = inline_;
        s.backgroundWork = inline_;
        s.settings = &settings;
        s.now = [this] { return now; };
        s.catalog = [] { return Catalog::all(); };
        s.items = [this](const CleanupCategory& c) { return contents[c.id]; };
        s.unusedApplications = [](const std::vector<ScanItem>& apps, std::int64_t) { return apps; };
        s.clean = [this](const std::vector<ScanItem>& items, const CleanupCategory& c) {
            Cleaner::Outcome outcome;
            outcome.cleaned = items;
            contents[c.id].clear();
            return outcome;
        };
        s.move = [](const std::vector<ScanItem>&, const std::string&) {
            return Cleaner::Outcome{};
        };
        s.runningSnapshot = [] {
            RunningSnapshot snapshot;
            snapshot.items.resize(2);
            snapshot.scanned = true;
            return snapshot;
        };
        s.stop = [](const RunningItem&) {
            return Shell::Result{1, "Unable to shut down device in current state: Booted. The "
                                    "simulator service did not answer in time, so the device "
                                    "was left running. Quit the simulator app and try again, "
                                    "or restart the simulator service."};
        };
        s.sampleVitals = [](bool) { return VitalsReader::Reading{}; };
        s.runMaintenance = [](const MaintenanceTask&) { return Maintenance::Result{true, ""}; };
        s.diskFigures = [this] { return std::optional<DiskFigures>(disk); };
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

    void start() {
        store = std::make_unique<Store>(services());
        updater = std::make_unique<Updater>(
            settings, std::make_unique<PackageManagerUpdates>(
                          settings, [](const QString&, const QString&, std::function<void()>) {}));
        settle();
    }

    static void settle() {
        for (int round = 0; round < 8; ++round) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }
};

// A store after its first scan: a disk over 85 % full, caches and logs to clean, two things
// left running and an automatic clean three hours ago.
ShotStore* scanned() {
    auto* shots = shots::keptForTheRun(new ShotStore);
    shots->disk = {1000 * GB, 120 * GB, 120 * GB};
    shots->contents["app-caches"] = {item("com.vendor.editor", 2'400'000'000),
                                     item("com.vendor.browser", 900'000'000)};
    shots->contents["user-logs"] = {item("system.log", 310'000'000)};
    AutoClean::setLastRun(shots->now - std::chrono::hours(3), shots->settings);
    AutoClean::setLastFreed(1'800'000'000, shots->settings);
    shots->start();
    return shots;
}

// The panel as a widget of the shot's window, in the shot's skin.
TrayPanel* panelOf(ShotStore* shots, Skin skin) {
    TrayPanel::Actions actions;
    actions.openMainWindow = [] {};
    actions.openSettings = [] {};
    actions.quit = [] {};
    actions.now = [shots] { return shots->now; };
    auto* panel = new TrayPanel(*shots->store, *shots->updater, std::move(actions));
    panel->setWindowFlags(Qt::Widget);
    SkinScene::attach(panel)->apply(skin);
    panel->refresh();
    return panel;
}

QWidget* centred(QWidget* inner) {
    auto* box = new QWidget;
    auto* layout = new QHBoxLayout(box);
    layout->addStretch();
    layout->addWidget(inner, 0, Qt::AlignTop);
    layout->addStretch();
    return box;
}

} // namespace

BRAMWICK_SHOT(tray_icons, 256, 96) {
    // Before the disk was read, healthy, getting full, almost full; 1× and 2×, on a light and
    // a dark tray.
    const std::optional<Store::Disk> disks[] = {
        std::nullopt, Store::Disk{1000 * GB, 400 * GB, 400 * GB},
        Store::Disk{1000 * GB, 120 * GB, 120 * GB}, Store::Disk{1000 * GB, 30 * GB, 30 * GB}};
    QImage strip(256, 96, QImage::Format_ARGB32_Premultiplied);
    strip.fill(Qt::white);
    QPainter painter(&strip);
    painter.fillRect(QRect(0, 48, 256, 48), QColor(0x26, 0x26, 0x2b));
    for (int i = 0; i < 4; ++i) {
        QColor colour = toQColor(MenuBar::iconColour(disks[i]));
        for (int row = 0; row < 2; ++row) {
            painter.drawImage(QPoint(i * 64 + 6, row * 48 + 15), SparkGlyph::image(colour, 1));
            painter.drawImage(QPoint(i * 64 + 26, row * 48 + 6), SparkGlyph::image(colour, 2));
        }
    }
    painter.end();
    auto* label = new QLabel;
    label->setPixmap(QPixmap::fromImage(strip));
    return label;
}

BRAMWICK_SHOT(tray_panel, 360, 420) {
    return centred(panelOf(scanned(), skin));
}

BRAMWICK_SHOT(tray_panel_confirm, 360, 470) {
    TrayPanel* panel = panelOf(scanned(), skin);
    panel->findChild<QPushButton*>("cleanAllSafe")->click();
    return centred(panel);
}

BRAMWICK_SHOT(tray_panel_after_clean, 360, 460) {
    ShotStore* shots = scanned();
    TrayPanel* panel = panelOf(shots, skin);
    panel->findChild<QPushButton*>("cleanAllSafe")->click();
    panel->findChild<QPushButton*>("confirmCleanClean")->click();
    ShotStore::settle();
    panel->refresh();
    return centred(panel);
}

// A report whose title takes two lines: a stop that failed, of a simulator with a long name.
// The panel is its own window here, as the tray shows it.
BRAMWICK_WINDOW_SHOT(tray_panel_long_report, 320, 480) {
    ShotStore* shots = scanned();
    RunningItem simulator{"sim-A1",
                          RunningItem::Simulator{"A1"},
                          "Phone 15 Pro Max Simulator (iOS 18.2)",
                          "Booted",
                          12,
                          900'000'000};
    auto stopping = shots->store->vitals().stop(simulator);
    ShotStore::settle();
    TrayPanel::Actions actions;
    actions.openMainWindow = [] {};
    actions.openSettings = [] {};
    actions.quit = [] {};
    actions.now = [shots] { return shots->now; };
    return new TrayPanel(*shots->store, *shots->updater, std::move(actions));
}

BRAMWICK_SHOT(tray_panel_first_scan, 360, 380) {
    // Before any scan, on a disk with 4 GB free, without access to the files.
    auto* shots = shots::keptForTheRun(new ShotStore);
    shots->disk = {500 * GB, 4 * GB, 4 * GB};
    shots->access = false;
    shots->start();
    return centred(panelOf(shots, skin));
}
