// Shots of the settings window's three tabs and of the "Scheduled clean" sheet, over a store of
// made-up figures (its settings live in a temporary folder; nothing on the disk is read).
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "appearance/window_dressing.h"
#include "engine/auto_clean.h"
#include "engine/catalog.h"
#include "settings/schedule_sheet.h"
#include "settings/settings_pages.h"
#include "settings/settings_window.h"
#include "shots.h"

using namespace bramwick;

namespace {

ScanItem item(const std::string& name, std::int64_t size) {
    ScanItem made;
    made.id = "/shots/" + name;
    made.url = made.id;
    made.name = name;
    made.size = size;
    return made;
}

// One store per shot, alive as long as the program (the shot's widget is).
struct SettingsShotStore {
    QTemporaryDir folder;
    Settings settings{folder.filePath("bramwick/settings.json").toStdString()};
    std::map<std::string, std::vector<ScanItem>> contents;
    std::unique_ptr<Store> store;

    explicit SettingsShotStore(Skin skin) {
        settings.set("skin", Skins::rawValue(skin).toStdString());
        AutoClean::setSchedule(AutoClean::Schedule::daily, settings);
        AutoClean::setLastRun(std::chrono::floor<std::chrono::seconds>(
                                  std::chrono::system_clock::now() - std::chrono::hours(20)),
                              settings);
        AutoClean::setLastFreed(1'800'000'000, settings);
        AutoClean::setExcluded({"npm"}, settings);
        contents["app-caches"] = {item("com.vendor.editor", 2'400'000'000)};
        contents["user-logs"] = {item("system.log", 310'000'000)};
        contents["yarn"] = {item("yarn", 820'000'000)};

        StoreServices s;
        auto inline_ = [](StoreWork::Job job) { job(); };
        s.userWork = inline_;
        s.backgroundWork = inline_;
        s.settings = &settings;
        s.now = [] { return std::chrono::system_clock::now(); };
        s.catalog = [] { return Catalog::all(); };
        s.items = [this](const CleanupCategory& c) { return contents[c.id]; };
        s.unusedApplications = [](const std::vector<ScanItem>& apps, std::int64_t) { return apps; };
        s.clean = [](const std::vector<ScanItem>&, const CleanupCategory&) {
            return Cleaner::Outcome{};
        };
        s.move = [](const std::vector<ScanItem>&, const std::string&) {
            return Cleaner::Outcome{};
        };
        s.runningSnapshot = [] { return RunningSnapshot{}; };
        s.stop = [](const RunningItem&) { return Shell::Result{0, ""}; };
        s.sampleVitals = [](bool) { return VitalsReader::Reading{}; };
        s.runMaintenance = [](const MaintenanceTask&) { return Maintenance::Result{true, ""}; };
        s.diskFigures = [] {
            return std::optional<DiskFigures>(
                DiskFigures{1'000'000'000'000, 200'000'000'000, 200'000'000'000});
        };
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
        store = std::make_unique<Store>(s);
        auto scanning = store->scanAll();
        Q_UNUSED(scanning);
        for (int round = 0; round < 8; ++round) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }
};

// From here on every save fails, as on a full disk: a file takes the place of the settings'
// folder, which was read while it was there.
void failSaves(SettingsShotStore& shots) {
    QDir folder(shots.folder.path());
    folder.rename(QStringLiteral("bramwick"), QStringLiteral("kept"));
    QFile blocker(folder.filePath(QStringLiteral("bramwick")));
    blocker.open(QIODevice::WriteOnly);
}

SettingsPages* settingsTab(Skin skin, const char* tag, SettingsShotStore* shots = nullptr) {
    if (!shots) shots = shots::keptForTheRun(new SettingsShotStore(skin));
    shots->settings.set("settingsTab", std::string(tag));
    SettingsPages::Hooks hooks;
    hooks.login.status = [] { return LoginItems::Status::requiresApproval; };
    hooks.login.registerApp = [] { return std::optional<std::string>(); };
    hooks.login.openFolder = [](const std::string&) { return true; };
    auto* pages = new SettingsPages(*shots->store, shots->settings, hooks);
    pages->loginItem().set(true); // waits for approval: the message and its button show
    return pages;
}

} // namespace

namespace {

// The settings window as the program opens it on tab `tag`: sized by itself to the page shown.
QWidget* settingsWindow(Skin skin, const char* tag) {
    auto* shots = shots::keptForTheRun(new SettingsShotStore(skin));
    shots->settings.set("settingsTab", std::string(tag));
    SettingsPages::Hooks hooks;
    hooks.login.status = [] { return LoginItems::Status::requiresApproval; };
    hooks.login.registerApp = [] { return std::optional<std::string>(); };
    hooks.login.openFolder = [](const std::string&) { return true; };
    auto* window = new SettingsWindow(*shots->store, shots->settings, hooks);
    window->pages().loginItem().set(true); // waits for approval: the message and its button show
    return window;
}

} // namespace

BRAMWICK_WINDOW_SHOT(settings_general, 460, 420) {
    return settingsWindow(skin, "general");
}
BRAMWICK_WINDOW_SHOT(settings_cleaning, 460, 600) {
    return settingsWindow(skin, "cleaning");
}
BRAMWICK_WINDOW_SHOT(settings_appearance, 460, 400) {
    return settingsWindow(skin, "appearance");
}

BRAMWICK_SHOT(settings_unsaved, 460, 640) {
    auto* shots = shots::keptForTheRun(new SettingsShotStore(skin));
    auto* pages = settingsTab(skin, "cleaning", shots);
    failSaves(*shots);
    pages->findChild<QCheckBox*>(QStringLiteral("cleanOnLowSpace"))->click();
    return pages;
}

namespace {

ScheduleSheet* scheduleSheet(SettingsShotStore* shots, Skin skin) {
    auto* sheet = new ScheduleSheet(*shots->store, shots->settings, {});
    sheet->setWindowFlags(Qt::Widget);
    dressWindow(sheet, skin);
    return sheet;
}

} // namespace

BRAMWICK_SHOT(schedule_sheet, 480, 560) {
    return scheduleSheet(shots::keptForTheRun(new SettingsShotStore(skin)), skin);
}

BRAMWICK_SHOT(schedule_sheet_unsaved, 480, 600) {
    auto* shots = shots::keptForTheRun(new SettingsShotStore(skin));
    auto* sheet = scheduleSheet(shots, skin);
    failSaves(*shots);
    sheet->findChild<QCheckBox*>(QStringLiteral("sheetOnLowSpace"))->click();
    return sheet;
}
