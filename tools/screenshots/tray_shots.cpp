#include "tray_shots.h"

#include <chrono>
#include <filesystem>

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPushButton>

#include "app/gui/confirm_card.h"
#include "app/gui/menu_bar_model.h"
#include "app/gui/menu_bar_panel.h"
#include "app/gui/scenes.h"
#include "app/gui/spark_glyph.h"
#include "engine/auto_clean.h"

namespace bramwick::Screenshots {

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

CleanupCategory category(const std::string& id, const std::string& name) {
    CleanupCategory made;
    made.id = id;
    made.name = name;
    made.risk = Risk::safe;
    made.action.kind = CleanAction::Kind::delete_;
    made.source.kind = Source::Kind::contents;
    return made;
}

// A store over made-up figures that answers at once: nothing on the disk is read or changed.
struct ShotStore {
    std::string folder;
    Settings settings;
    DiskFigures disk;
    Date now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    std::map<std::string, std::vector<ScanItem>> contents;

    ShotStore(const std::string& f, DiskFigures d)
        : folder(f), settings(f + "/settings.json"), disk(d) {}

    StoreServices services() {
        StoreServices s;
        auto inline_ = [](StoreWork::Job job) { job(); };
        s.userWork = inline_;
        s.backgroundWork = inline_;
        s.settings = &settings;
        s.now = [this] { return now; };
        s.catalog = [] {
            return std::vector{category("app-caches", "App caches"), category("logs", "Logs"),
                               category("npm", "npm")};
        };
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
        s.stop = [](const RunningItem&) { return Shell::Result{0, ""}; };
        s.sampleVitals = [](bool) { return VitalsReader::Reading{}; };
        s.runMaintenance = [](const MaintenanceTask&) { return Maintenance::Result{true, ""}; };
        s.diskFigures = [this] { return std::optional<DiskFigures>(disk); };
        s.fullDiskAccess = [] { return true; };
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
};

void settle() {
    for (int round = 0; round < 6; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

QString save(const QImage& image, const QString& folder, const QString& name) {
    image.save(QDir(folder).filePath(name));
    return name;
}

} // namespace

QStringList shootTray(const QString& folder, const QStringList& skins) {
    QStringList written;

    // The icon at each rating, and before the disk was read, at 1× and 2× on a light and a
    // dark tray.
    struct Rating {
        const char* name;
        std::optional<Store::Disk> disk;
    } ratings[] = {{"unknown", std::nullopt},
                   {"healthy", Store::Disk{1000 * GB, 400 * GB, 400 * GB}},
                   {"getting-full", Store::Disk{1000 * GB, 120 * GB, 120 * GB}},
                   {"almost-full", Store::Disk{1000 * GB, 30 * GB, 30 * GB}}};
    QImage strip(4 * 64, 2 * 48, QImage::Format_ARGB32_Premultiplied);
    strip.fill(Qt::white);
    {
        QPainter painter(&strip);
        painter.fillRect(QRect(0, 48, strip.width(), 48), QColor(0x26, 0x26, 0x2b));
        for (int i = 0; i < 4; ++i) {
            QColor colour = SparkGlyph::colour(MenuBar::iconColour(ratings[i].disk));
            QImage big = SparkGlyph::image(colour, 2);
            for (int row = 0; row < 2; ++row) {
                painter.drawImage(QPoint(i * 64 + 6, row * 48 + 15), SparkGlyph::image(colour, 1));
                painter.drawImage(QPoint(i * 64 + 26, row * 48 + 6), big);
            }
            save(SparkGlyph::image(colour, 2), folder,
                 QStringLiteral("tray-icon-%1.png").arg(ratings[i].name));
            written << QStringLiteral("tray-icon-%1.png").arg(ratings[i].name);
        }
    }
    written << save(strip, folder, QStringLiteral("tray-icons.png"));

    std::string scratch = (std::filesystem::temp_directory_path() / "bramwick-shots-XXXXXX");
    std::vector<char> pattern(scratch.begin(), scratch.end());
    pattern.push_back('\0');
    std::string base = ::mkdtemp(pattern.data()) ? std::string(pattern.data()) : scratch;

    for (const QString& skin : skins) {
        // The panel after a scan, with a report, things left running and an automatic clean.
        {
            ShotStore shots(base, DiskFigures{1000 * GB, 120 * GB, 120 * GB});
            shots.settings.set("skin", skin.toStdString());
            AutoClean::setLastRun(shots.now - std::chrono::hours(3), shots.settings);
            AutoClean::setLastFreed(1'800'000'000, shots.settings);
            shots.contents["app-caches"] = {item("com.vendor.editor", 2'400'000'000),
                                            item("com.vendor.browser", 900'000'000)};
            shots.contents["logs"] = {item("system.log", 310'000'000)};
            Scenes::Options options;
            options.trayAvailable = true;
            options.quit = [] {};
            options.now = [&shots] { return shots.now; };
            Scenes scenes(shots.services(), std::move(options));
            settle();
            scenes.start();
            settle();
            scenes.showPanel(std::nullopt);
            settle();
            MenuBarPanel* panel = scenes.panel();
            written << save(panel->grab().toImage(), folder,
                            QStringLiteral("panel-%1.png").arg(skin));
            panel->findChild<QPushButton*>("cleanAllSafe")->click();
            settle();
            written << save(panel->grab().toImage(), folder,
                            QStringLiteral("panel-confirm-%1.png").arg(skin));
            panel->findChild<QPushButton*>("confirmCleanClean")->click();
            settle();
            written << save(panel->grab().toImage(), folder,
                            QStringLiteral("panel-after-clean-%1.png").arg(skin));
            panel->hide();
        }
        // Before the first scan, on a nearly full disk.
        {
            ShotStore shots(base, DiskFigures{500 * GB, 4 * GB, 4 * GB});
            shots.settings.set("skin", skin.toStdString());
            shots.settings.set("skippedFullDiskAccess", false);
            Scenes::Options options;
            options.trayAvailable = true;
            options.quit = [] {};
            StoreServices services = shots.services();
            services.fullDiskAccess = [] { return false; };
            Scenes scenes(std::move(services), std::move(options));
            scenes.start();
            settle();
            scenes.showPanel(std::nullopt);
            settle();
            written << save(scenes.panel()->grab().toImage(), folder,
                            QStringLiteral("panel-first-scan-%1.png").arg(skin));
            scenes.panel()->hide();
        }
        // The confirmation card over a window, safe and dangerous.
        for (bool dangerous : {false, true}) {
            QWidget window;
            window.resize(560, 300);
            ConfirmCard card(
                dangerous ? QStringLiteral("Delete 14 items from Downloads for good?")
                          : QStringLiteral("Move 3 items to the Trash?"),
                dangerous ? QStringLiteral("They are removed at once and cannot be put back.")
                          : QStringLiteral("You can put them back from the Trash."),
                dangerous ? QStringLiteral("Delete") : QStringLiteral("Move to Trash"), dangerous,
                [] {}, [] {}, &window);
            card.adjustSize();
            card.move((window.width() - card.width()) / 2, (window.height() - card.height()) / 2);
            window.show();
            settle();
            written << save(window.grab().toImage(), folder,
                            QStringLiteral("confirm-card-%1-%2.png")
                                .arg(dangerous ? "dangerous" : "safe", skin));
        }
    }
    std::filesystem::remove_all(base);
    return written;
}

} // namespace bramwick::Screenshots
