// Shots of the sheets over a made-up store: work runs inline, nothing outside is touched.
#include <chrono>
#include <deque>
#include <map>
#include <memory>

#include <QCoreApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>

#include "base/edition.h"
#include "engine/catalog.h"
#include "sheets/details_sheet.h"
#include "sheets/history_sheet.h"
#include "sheets/item_table.h"
#include "sheets/maintenance_sheet.h"
#include "sheets/memory_users_sheet.h"
#include "sheets/sheet_frame.h"
#include "sheets/uninstall_sheet.h"
#include "sheets/unused_days.h"
#include "shots.h"
#include "store/store.h"

using namespace bramwick;

namespace {

constexpr std::int64_t MB = 1'000'000;
constexpr std::int64_t GB = 1'000'000'000;

Date day(int d, int hour = 10) {
    return std::chrono::sys_days(std::chrono::year(2026) / 12 / d) + std::chrono::hours(hour);
}

ScanItem file(const std::string& path, std::int64_t size, std::optional<Date> modified = {},
              std::optional<std::string> note = {}) {
    ScanItem made;
    made.id = path;
    made.url = path;
    made.name = path.substr(path.rfind('/') + 1);
    made.size = size;
    made.modified = modified;
    made.note = note;
    return made;
}

CleanupCategory category(const std::string& id, const std::string& name, Risk risk,
                         CleanAction::Kind action) {
    CleanupCategory made;
    made.id = id;
    made.name = name;
    made.risk = risk;
    made.action.kind = action;
    made.source.kind = Source::Kind::contents;
    made.symbol = "internaldrive";
    return made;
}

struct SheetShotStore {
    QTemporaryDir folder;
    Settings settings{folder.filePath("settings.json").toStdString()};
    Date now = day(10, 12);
    std::vector<CleanupCategory> catalog;
    std::map<std::string, std::vector<ScanItem>> contents;
    std::vector<ScanItem> applications;
    std::unique_ptr<Store> store;
    // Cleans only the first item given; the others fail as a file held by another program does.
    bool cleanFails = false;
    // The user pool's work waits here instead of running (a clean still under way).
    bool holdWork = false;
    std::deque<StoreWork::Job> held;

    StoreServices services() {
        StoreServices s;
        auto inline_ = [](StoreWork::Job job) { job(); };
        s.userWork = [this](StoreWork::Job job) {
            if (holdWork)
                held.push_back(std::move(job));
            else
                job();
        };
        s.backgroundWork = inline_;
        s.settings = &settings;
        s.now = [this] { return now; };
        s.catalog = [this] { return catalog; };
        s.items = [this](const CleanupCategory& c) { return contents[c.id]; };
        s.unusedApplications = [](const std::vector<ScanItem>& apps, std::int64_t) { return apps; };
        s.clean = [this](const std::vector<ScanItem>& items, const CleanupCategory& c) {
            Cleaner::Outcome outcome;
            outcome.cleaned = items;
            if (cleanFails && items.size() > 1) {
                outcome.cleaned = {items.front()};
                for (std::size_t i = 1; i < items.size(); ++i)
                    outcome.failures.push_back({items[i], i % 2
                                                              ? "Permission denied"
                                                              : "Still in use by another program"});
            }
            auto& left = contents[c.id];
            std::erase_if(left, [&](const ScanItem& i) {
                return std::find(outcome.cleaned.begin(), outcome.cleaned.end(), i) !=
                       outcome.cleaned.end();
            });
            return outcome;
        };
        s.move = [](const std::vector<ScanItem>& items, const std::string&) {
            Cleaner::Outcome outcome;
            outcome.cleaned = items;
            return outcome;
        };
        s.runningSnapshot = [] { return RunningSnapshot{}; };
        s.stop = [](const RunningItem&) { return Shell::Result{0, ""}; };
        s.sampleVitals = [](bool) { return VitalsReader::Reading{}; };
        s.runMaintenance = [](const MaintenanceTask&) { return Maintenance::Result{true, ""}; };
        s.diskFigures = [] {
            return std::optional<DiskFigures>(DiskFigures{500 * GB, 80 * GB, 80 * GB});
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
        return s;
    }

    static void settle() {
        for (int round = 0; round < 8; ++round) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }

    Store& start() {
        store = std::make_unique<Store>(services());
        settle();
        return *store;
    }
};

// A store after its first scan, with a few things cleaned over the last days.
SheetShotStore* withHistory() {
    auto* shots = shots::keptForTheRun(new SheetShotStore);
    shots->catalog = {
        category("app-caches", "App caches", Risk::safe, CleanAction::Kind::delete_),
        category("downloads", "Old downloads", Risk::caution, CleanAction::Kind::trash)};
    shots->contents["app-caches"] = {file("/home/me/.cache/thumbnails", 420 * MB),
                                     file("/home/me/.cache/pip", 1300 * MB)};
    shots->contents["downloads"] = {file("/home/me/Downloads/installer-2024.iso", 4200 * MB),
                                    file("/home/me/Downloads/talk-recording.mkv", 2 * GB)};
    auto& store = shots->start();
    shots->now = day(7);
    auto a = store.clean(shots->catalog[1], {shots->contents["downloads"][0]});
    shots->settle();
    shots->now = day(9);
    auto b = store.clean(shots->catalog[0], {shots->contents["app-caches"][0]});
    shots->settle();
    shots->now = day(10, 9);
    auto c = store.clean(shots->catalog[0], {shots->contents["app-caches"][0]});
    shots->settle();
    store.dismissReport();
    return shots;
}

} // namespace

BRAMWICK_SHOT(sheet_history_empty, 560, 440) {
    auto* shots = shots::keptForTheRun(new SheetShotStore);
    return new HistorySheet(shots->start());
}

BRAMWICK_SHOT(sheet_history, 560, 440) {
    return new HistorySheet(*withHistory()->store);
}

namespace {

// The catalog's category `id`, as the program lists it.
CleanupCategory fromCatalog(const std::string& id) {
    for (const auto& c : Catalog::all())
        if (c.id == id) return c;
    return Catalog::all().front();
}

// The catalog's Downloads Folder after a scan.
SheetShotStore* withDownloads() {
    auto* shots = shots::keptForTheRun(new SheetShotStore);
    auto downloads = fromCatalog("downloads");
    shots->catalog = {downloads};
    shots->contents["downloads"] = {
        file("/home/me/Downloads/installer-2024.iso", 4200 * MB, day(2)),
        file("/home/me/Downloads/talk-recording-final-final-v3-with-subtitles.mkv", 2 * GB, day(1)),
        file("/home/me/Downloads/photos-export.zip", 860 * MB, day(3),
             "Still being written: check first"),
        file("/home/me/Downloads/dataset.tar", 640 * MB, {}, "Older than a year"),
        file("/home/me/Downloads/slides.pdf", 12 * MB, day(5)),
        file("/home/me/Downloads/Quarterly report (final).docx", 3 * MB, day(6)),
        file("/home/me/Downloads/driver-setup.run", 95 * MB, day(4)),
        file("/home/me/Downloads/wallpapers.tar.gz", 310 * MB, day(8)),
    };
    auto& store = shots->start();
    auto scanning = store.scan(downloads);
    shots->settle();
    return shots;
}

UninstallPlan editorPlan() {
    UninstallPlan plan;
    plan.id = "shot";
    plan.app = file("/home/me/Applications/Editor.AppImage", 180 * MB);
    plan.app.name = "Editor";
    plan.bundleID = "org.example.Editor";
    plan.isRunning = true;
    plan.leftovers = {
        {"/home/me/.config/Editor", "", "Preferences", 2 * MB, AppLeftover::Ownership::user},
        {"/home/me/.cache/Editor", "", "Caches", 310 * MB, AppLeftover::Ownership::user},
        {"/home/me/.local/share/Editor", "", "Application data", 45 * MB,
         AppLeftover::Ownership::user},
        {"/usr/lib/editor/helper", "", "Privileged helper", 1 * MB, AppLeftover::Ownership::system},
    };
    plan.kept = {{"~/Documents/Editor", "Your documents stay where they are"}};
    return plan;
}

} // namespace

BRAMWICK_SHOT(sheet_details, 780, 560) {
    auto* shots = withDownloads();
    auto* sheet = new DetailsSheet(*shots->store, shots->catalog[0], false);
    sheet->table()->selectRow(0);
    sheet->table()->selectAllItems();
    sheet->table()->setSelection(
        {"/home/me/Downloads/installer-2024.iso", "/home/me/Downloads/dataset.tar"});
    return sheet;
}

// After a clean of which most failed: the banner lists five failures under its title, above the
// table, at the sheet's least size.
BRAMWICK_WINDOW_SHOT(sheet_details_failures, 780, 500) {
    auto* shots = withDownloads();
    shots->cleanFails = true;
    auto cleaning = shots->store->clean(shots->catalog[0], shots->contents["downloads"]);
    SheetShotStore::settle();
    // In the dialog the program opens it in, which sizes the sheet.
    return new SheetDialog(nullptr, new DetailsSheet(*shots->store, shots->catalog[0], false),
                           {780, 500});
}

// While a clean of the category runs: the sheet's working overlay with its spinner.
BRAMWICK_WINDOW_SHOT(sheet_details_working, 780, 500) {
    auto* shots = withDownloads();
    shots->holdWork = true;
    auto cleaning = shots->store->clean(shots->catalog[0], {shots->contents["downloads"][0]});
    SheetShotStore::settle();
    return new SheetDialog(nullptr, new DetailsSheet(*shots->store, shots->catalog[0], false),
                           {780, 500});
}

// The catalog's longest name, with an "&", its long info and its advice, never scanned.
BRAMWICK_WINDOW_SHOT(sheet_details_empty, 780, 500) {
    auto* shots = shots::keptForTheRun(new SheetShotStore);
    auto passwords = fromCatalog("chrome-profile");
    shots->catalog = {passwords};
    return new SheetDialog(nullptr, new DetailsSheet(shots->start(), passwords, false), {780, 500});
}

// A clean of items of a category that is a backup's to keep: the card in red over the sheet, as
// Clean Selected opens it.
BRAMWICK_WINDOW_SHOT(confirm_card_dangerous, 780, 500) {
    auto* shots = shots::keptForTheRun(new SheetShotStore);
    auto checkouts = fromCatalog("codex-checkouts");
    shots->catalog = {checkouts};
    shots->contents["codex-checkouts"] = {
        file("/home/me/.codex/checkouts/bramwick-2025-11", 2 * GB, day(2)),
        file("/home/me/.codex/checkouts/website-redesign", 640 * MB, day(4))};
    auto& store = shots->start();
    auto scanning = store.scan(checkouts);
    SheetShotStore::settle();
    auto* sheet = new DetailsSheet(store, checkouts, false);
    sheet->table()->selectAllItems();
    QTimer::singleShot(0, sheet,
                       [sheet] { sheet->findChild<QPushButton*>("cleanSelected")->click(); });
    return new SheetDialog(nullptr, sheet, {780, 500});
}

BRAMWICK_SHOT(sheet_uninstall, 620, 520) {
    auto* shots = shots::keptForTheRun(new SheetShotStore);
    return new UninstallSheet(shots->start().uninstalls(), editorPlan(), [] {});
}

namespace {

MaintenanceTask shotTask(const std::string& id, const std::string& name, const std::string& detail,
                         const std::string& cost, const std::string& symbol, bool password,
                         bool commands) {
    MaintenanceTask task;
    task.id = id;
    task.name = name;
    task.detail = detail;
    task.cost = cost;
    task.symbol = symbol;
    task.needsPassword = password;
    task.isAvailable = [] { return true; };
    task.commands = [commands] {
        return commands ? std::vector<std::vector<std::string>>{{"true"}}
                        : std::vector<std::vector<std::string>>{};
    };
    return task;
}

// Measures at once, inline, so the picture shows the measurements.
MaintenanceSource shotMaintenance() {
    MaintenanceSource source;
    source.tasks = [] {
        auto logs = shotTask("logs", "Rotate and trim the system logs",
                             "Keeps the journal within its limits.", "A few seconds.", "doc.text",
                             true, true);
        logs.measure = [] { return std::optional<std::string>("The journal holds 1.2 GB"); };
        auto dns = shotTask("dns", "Flush the name cache", "Forgets looked-up host names.",
                            "Instant; the next visits look names up again.", "network", true, true);
        auto info = shotTask("memory-purge", "Free memory", "What a purge would really return.", "",
                             "memorychip", false, false);
        info.measure = [] { return std::optional<std::string>("About 300 MB of cache"); };
        return std::vector{info, logs, dns};
    };
    source.retired = [] {
        return std::vector<Maintenance::Retired>{
            {"Repair disk permissions", "Nothing on this system needs it."},
            {"Free up RAM", "Spare memory holds cache on purpose; emptying it slows things."}};
    };
    source.work = [](std::function<void()> job) { job(); };
    return source;
}

MemoryProvider shotMemory() {
    MemoryProvider provider;
    provider.current = [](int) {
        return std::vector<MemoryUsers::Entry>{
            {"org.mozilla.firefox",
             "Firefox",
             2'400 * MB,
             0,
             {1, 2, 3, 4, 5, 6, 7},
             "org.mozilla.firefox"},
            {"org.example.Editor", "Editor", 910 * MB, 0, {8, 9}, "org.example.Editor"},
            {Edition::appId, "Bramwick", 120 * MB, 0, {10}, std::string(Edition::appId)},
            {"systemd-journald", "systemd-journald", 64 * MB, 0, {11}, std::nullopt},
        };
    };
    provider.show = [](const MemoryUsers::Entry&) { return true; };
    provider.quit = [](const MemoryUsers::Entry&) { return MemoryUsers::QuitResult::asked(); };
    provider.work = [](std::function<void()> job) { job(); };
    return provider;
}

} // namespace

BRAMWICK_SHOT(sheet_maintenance, 680, 720) {
    auto* shots = shots::keptForTheRun(new SheetShotStore);
    Store& store = shots->start();
    auto* sheet = new MaintenanceSheet(store.maintenance(), store, shotMaintenance());
    sheet->show(); // measured on show
    SheetShotStore::settle();
    return sheet;
}

BRAMWICK_SHOT(sheet_memory_users, 560, 520) {
    auto* shots = shots::keptForTheRun(new SheetShotStore);
    auto* sheet = new MemoryUsersSheet(shots->start().vitals(), shotMemory());
    sheet->show();
    SheetShotStore::settle();
    sheet->askToQuit(shotMemory().current(12)[1]);
    return sheet;
}

// The catalog's Unused Applications in its details sheet, the editor of its days open as a click
// on the number opens it.
BRAMWICK_WINDOW_SHOT(sheet_unused_days_editor, 780, 560) {
    auto* shots = shots::keptForTheRun(new SheetShotStore);
    auto apps = fromCatalog("applications");
    shots->catalog = {apps};
    ScanItem editor = file("/home/me/Applications/Editor.AppImage", 180 * MB, day(1));
    editor.name = "Editor";
    editor.lastUsed = day(1) - std::chrono::days(200);
    ScanItem game = file("/home/me/.local/share/flatpak/app/org.example.Game", 2 * GB);
    game.name = "Game";
    shots->contents["applications"] = {editor, game};
    auto& store = shots->start();
    store.setUnusedAppDays(180);
    auto scanning = store.scan(apps);
    SheetShotStore::settle();
    auto* sheet = new DetailsSheet(store, apps, false);
    auto* summary = sheet->findChild<UnusedDaysSummary*>();
    QTimer::singleShot(
        0, summary, [summary] { summary->findChild<QPushButton*>("unusedDaysNumber")->click(); });
    return new SheetDialog(nullptr, sheet, {780, 500});
}
