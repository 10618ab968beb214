// Shots of the main window's category list over the real catalog and made-up sizes: by level,
// by group, by size, filtered to one level, and with one row being cleaned and another being
// measured; and the whole main window over it. Nothing on the disk is read or changed; the
// settings live in a temporary folder.
#include <map>

#include <QCoreApplication>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

#include "engine/catalog.h"
#include "engine/settings_keys.h"
#include "mainwindow/list_widgets.h"
#include "mainwindow/main_content.h"
#include "mainwindow/window_top.h"
#include "shots.h"

using namespace bramwick;

namespace {

constexpr std::int64_t MB = 1'000'000;

ScanItem item(const std::string& name, std::int64_t size) {
    ScanItem made;
    made.id = "/shots/" + name;
    made.url = made.id;
    made.name = name;
    made.size = size;
    return made;
}

// A store of the catalog whose first scan found the sizes below (in a small home, only the npm
// cache holds something); jobs run at once unless `hold` is set, when they wait (a row stays
// cleaning or measuring).
struct ListStore {
    QTemporaryDir folder;
    Settings settings{folder.filePath("settings.json").toStdString()};
    std::map<std::string, std::vector<ScanItem>> contents;
    std::vector<StoreWork::Job> held;
    bool hold = false;
    int samples = 0;
    std::unique_ptr<Store> store;

    explicit ListStore(bool smallHome = false) {
        if (smallHome) {
            contents["npm"] = {item("npm", 3 * MB)};
            start();
            return;
        }
        const std::pair<const char*, std::int64_t> sizes[] = {{"app-caches", 2400 * MB},
                                                              {"npm", 610 * MB},
                                                              {"logs", 84 * MB},
                                                              {"derived-data", 9100 * MB},
                                                              {"gradle", 1250 * MB},
                                                              {"trash", 320 * MB},
                                                              {"project-artifacts", 5300 * MB},
                                                              {"simulators", 14200 * MB},
                                                              {"xcode-archives", 3800 * MB},
                                                              {"ios-backups", 21000 * MB},
                                                              {"large-files", 7600 * MB},
                                                              {"downloads", 2900 * MB},
                                                              {"homebrew", 450 * MB},
                                                              {"photos-library", 48000 * MB},
                                                              {"application-support", 6100 * MB}};
        for (const auto& [id, size] : sizes)
            contents[id] = {item(std::string(id) + "-a", size * 2 / 3),
                            item(std::string(id) + "-b", size / 3)};
        // One category holds something in every catalog category that has no size above.
        for (const auto& c : Catalog::all())
            if (!contents.count(c.id) && c.id.size() % 3 == 0)
                contents[c.id] = {item(c.id, std::int64_t(c.id.size()) * 7 * MB)};
        start();
    }

    void start() {
        settings.set("unusedAppDays", 100);
        store = std::make_unique<Store>(services());
        settle();
    }

    StoreServices services() {
        StoreServices s;
        auto run = [this](StoreWork::Job job) {
            if (hold)
                held.push_back(std::move(job));
            else
                job();
        };
        s.userWork = run;
        s.backgroundWork = run;
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
        s.runningSnapshot = [] { return shots::buildRunning(); };
        s.stop = [](const RunningItem&) { return Shell::Result{0, ""}; };
        s.sampleVitals = [this](bool) { return shots::buildVitals(samples++); };
        s.runMaintenance = [](const MaintenanceTask&) { return Maintenance::Result{true, ""}; };
        s.diskFigures = [] {
            return std::optional<DiskFigures>(DiskFigures{1'000'000 * MB, 180'000 * MB, 0});
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

    const CleanupCategory& category(const std::string& id) const {
        for (const auto& c : store->categories())
            if (c.id == id) return c;
        return store->categories().front();
    }
};

// The list in a shot: the store lives as long as the program, as the shot's widget may.
QWidget* list(ListPlan::Arrangement arrangement, const std::string& filter = "",
              bool working = false) {
    auto* shots = shots::keptForTheRun(new ListStore);
    shots->settings.set(SettingsKeys::arrangement, std::string(ListPlan::rawValue(arrangement)));
    shots->settings.set(SettingsKeys::levelFilter, filter);
    // One moved category, to show its badge.
    shots->store->move({"gradle"}, Level::warning);
    if (working) {
        shots->hold = true;
        auto cleaning = shots->store->clean(shots->category("app-caches"),
                                            shots->store->state("app-caches")->items);
        auto scanning = shots->store->scan(shots->store->categories()[1]);
        ListStore::settle();
    }
    auto* content = new MainContent(*shots->store, shots->settings);
    ListStore::settle();
    return content;
}

} // namespace

BRAMWICK_SHOT(list_by_level, 1000, 1500) {
    return list(ListPlan::Arrangement::level);
}

BRAMWICK_SHOT(list_by_group, 1000, 1500) {
    return list(ListPlan::Arrangement::group);
}

BRAMWICK_SHOT(list_by_size, 1200, 1200) {
    return list(ListPlan::Arrangement::size);
}

BRAMWICK_SHOT(list_filtered, 1000, 900) {
    return list(ListPlan::Arrangement::level, "Yellow Warning");
}

BRAMWICK_SHOT(list_row_cleaning, 1000, 560) {
    return list(ListPlan::Arrangement::level, "", true);
}

BRAMWICK_SHOT(list_nothing_to_show, 1000, 420) {
    return list(ListPlan::Arrangement::level, "Review");
}

namespace {

// The main window as the program opens it (made and dressed in the stored skin by itself), over
// `shots` after half a minute of vitals: toolbar, disk header, running-now section at the list's
// head.
QWidget* mainWindow(ListStore* shots) {
    for (int i = 0; i < 30; ++i) {
        auto sampling = shots->store->vitals().sample();
        ListStore::settle();
    }
    auto window = makeMainWindow(*shots->store, shots->settings, {});
    ListStore::settle();
    return window.release();
}

} // namespace

// Over the list by level, as the README shows it.
BRAMWICK_WINDOW_SHOT(main_window, 1000, 760) {
    return mainWindow(shots::keptForTheRun(new ListStore));
}

// In a home where almost every category is empty, at the window's least size: every chip shows
// its total, most rows their disabled buttons.
BRAMWICK_WINDOW_SHOT(main_window_small_home, 1000, 620) {
    return mainWindow(shots::keptForTheRun(new ListStore(true)));
}

namespace {

// The main window with the info popover of `id`'s row open, as a click on its "i" opens it; the
// row scrolled to the window's bottom edge when `atBottom`.
QWidget* withInfo(const std::string& id, bool atBottom) {
    auto* window = static_cast<MainWindowFrame*>(mainWindow(shots::keptForTheRun(new ListStore)));
    auto* content = static_cast<MainContent*>(window->content());
    content->refreshNow();
    CategoryRow* row = content->list()->row(id);
    QTimer::singleShot(0, row, [window, content, row, atBottom] {
        QScrollArea* scroll = content->list()->scrollArea();
        if (atBottom) {
            // The window stands on the screen's bottom edge, the row on the window's.
            window->move(0, window->screen()->availableGeometry().bottom() + 1 - window->height());
            scroll->ensureWidgetVisible(row, 0, 0);
        } else
            scroll->verticalScrollBar()->setValue(row->mapTo(scroll->widget(), QPoint()).y() - 8);
        QTimer::singleShot(0, row, [row] { row->infoButton()->click(); });
    });
    return window;
}

} // namespace

// The longest infos of the catalog and those the window once cut, in their real popovers.
BRAMWICK_WINDOW_SHOT(info_command_line_tools, 1000, 760) {
    return withInfo("dot-cache", false);
}
BRAMWICK_WINDOW_SHOT(info_application_support, 1000, 760) {
    return withInfo("app-support", false);
}
BRAMWICK_WINDOW_SHOT(info_unused_applications, 1000, 760) {
    return withInfo("applications", false);
}
// Near the window's bottom edge: it opens above the button.
BRAMWICK_WINDOW_SHOT(info_duplicate_pictures_at_bottom, 1000, 760) {
    return withInfo("repeated-pictures", true);
}

// A row's Clean of a category whose name holds an "&": the card over the window, as the window
// presents it.
BRAMWICK_WINDOW_SHOT(confirm_card, 1000, 620) {
    auto* window = static_cast<MainWindowFrame*>(mainWindow(shots::keptForTheRun(new ListStore)));
    auto* content = static_cast<MainContent*>(window->content());
    content->refreshNow();
    QTimer::singleShot(0, content, [content] {
        content->refreshNow();
        if (CategoryRow* row = content->list()->row("user-logs")) row->actionButton()->click();
    });
    return window;
}
