// The details sheet on a category of 100,000 items, offscreen. First as a user meets it: the
// program's own main window over the store, Details clicked on the category's row, and the time
// until the sheet has painted its rows; the first open in the process (target under 50 ms), then
// the second. Then the sheet alone, made and drawn into a picture: its first paint, a sort by
// size (and paint) and select all (and paint), targets under 200 ms, 150 ms and 50 ms, each the
// best of five runs, so that a neighbour's build on the shared machine does not count as the
// sheet's time.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QImage>
#include <QTemporaryDir>

#include "app/gui/scenes.h"
#include "appearance/button_style.h"
#include "appearance/motion.h"
#include "appearance/window_dressing.h"
#include "sheets/details_sheet.h"
#include "sheets/item_table.h"
#include "sheets/sheet_frame.h"
#include "store/store.h"
#include "store/store_services.h"
#include "support.h"

using namespace bramwick;

namespace {

constexpr std::size_t itemCount = 100'000;

std::vector<ScanItem> manyItems() {
    bench::Random random(20);
    std::vector<ScanItem> items;
    items.reserve(itemCount);
    const auto now = std::chrono::system_clock::now();
    for (std::size_t i = 0; i < itemCount; ++i) {
        ScanItem item;
        item.name = "file-" + std::to_string(random.next() % 1'000'000'000) + ".bin";
        item.id = item.url = "/home/bench/Downloads/" + std::to_string(i) + "/" + item.name;
        item.size = static_cast<std::int64_t>(random.below(5'000'000'000));
        item.modified = now - std::chrono::hours(random.below(20'000));
        if (i % 7 == 0) item.note = "Older than a year";
        items.push_back(std::move(item));
    }
    return items;
}

double milliseconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// Notes when the item table of a details sheet first paints its rows.
class FirstRows : public QObject {
  public:
    bool painted = false;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !painted)
            if (auto* widget = qobject_cast<QWidget*>(watched))
                if (auto* table = qobject_cast<ItemTable*>(widget->parentWidget()))
                    painted = widget == table->viewport() &&
                              table->itemModel()->rowCount() == static_cast<int>(itemCount);
        return false;
    }
};

// Clicks Details on the category's row of the main window and waits for the sheet's rows to be
// painted; the milliseconds it took, or a negative number when they never were.
double openFromTheWindow(MainWindowFrame& window) {
    auto* details = window.findChild<QAbstractButton*>("details");
    if (!details) return -1;
    FirstRows watch;
    qApp->installEventFilter(&watch);
    QElapsedTimer timer;
    timer.start();
    details->click();
    while (!watch.painted && timer.elapsed() < 10'000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    qApp->removeEventFilter(&watch);
    if (!watch.painted) return -1;
    for (auto* sheet : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<SheetDialog*>(sheet)) dialog->close();
    QCoreApplication::processEvents();
    return ms;
}

void report(const char* what, double ms, double target) {
    std::printf("%-40s %8.1f ms (target < %.0f ms)%s\n", what, ms, target,
                ms < target ? "" : "  SLOW");
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("BRAMWICK_HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    installSkinStyle();

    CleanupCategory category;
    category.id = "downloads";
    category.name = "Old downloads";
    category.risk = Risk::danger;
    category.action.kind = CleanAction::Kind::trash;
    category.source.kind = Source::Kind::contents;
    const auto items = manyItems();

    Settings settings(home.filePath("settings.json").toStdString());
    StoreServices services;
    services.userWork = [](StoreWork::Job job) { job(); };
    services.backgroundWork = services.userWork;
    services.settings = &settings;
    services.now = [] { return std::chrono::system_clock::now(); };
    services.catalog = [&] { return std::vector{category}; };
    services.items = [&](const CleanupCategory&) { return items; };
    services.unusedApplications = [](const std::vector<ScanItem>& apps, std::int64_t) {
        return apps;
    };
    services.runningSnapshot = [] { return RunningSnapshot{}; };
    services.diskFigures = [] { return std::optional<DiskFigures>(); };
    services.fullDiskAccess = [] { return false; };
    {
        // The program's scenes over the real services, with this category alone.
        StoreServices window = StoreServices::standard();
        window.catalog = services.catalog;
        window.items = services.items;
        window.fullDiskAccess = [] { return true; };
        window.runningSnapshot = services.runningSnapshot;
        Scenes::Options options;
        options.openWindowAtLaunch = true;
        options.trayAvailable = true;
        options.quit = [] {};
        Scenes scenes(std::move(window), std::move(options));
        scenes.start();
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 20'000 &&
               !(scenes.store().state("downloads") &&
                 scenes.store().state("downloads")->items.size() == itemCount &&
                 !scenes.store().scanningAll()))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents();
        double first = openFromTheWindow(*scenes.mainWindow());
        double second = openFromTheWindow(*scenes.mainWindow());
        if (first < 0 || second < 0) {
            std::fprintf(stderr, "the details sheet did not show its rows in the main window\n");
            return 1;
        }
        std::printf("Details clicked in the main window, %zu items\n", itemCount);
        report("first open, to its rows painted", first, 50);
        report("second open, to its rows painted", second, 50);
    }

    Motion::setEnabled(false);
    Store store(services);
    auto scanning = store.scan(category);
    for (int i = 0; i < 8; ++i)
        QCoreApplication::processEvents();
    if (!store.state("downloads") || store.state("downloads")->items.size() != itemCount) {
        std::fprintf(stderr, "the store did not take the items\n");
        return 1;
    }

    double open = 1e300, sort = 1e300, all = 1e300;
    for (int round = 0; round < 5; ++round) {
        QImage canvas(780, 500, QImage::Format_ARGB32_Premultiplied);
        DetailsSheet* sheet = nullptr;
        open = std::min(open, milliseconds([&] {
                            sheet = new DetailsSheet(store, category, false);
                            dressWindow(sheet, Skin::nightfall);
                            sheet->resize(780, 500);
                            sheet->render(&canvas);
                        }));
        sort = std::min(sort, milliseconds([&] {
                            sheet->table()->horizontalHeader()->setSortIndicator(
                                ItemTableModel::size, Qt::DescendingOrder);
                            sheet->render(&canvas);
                        }));
        all = std::min(all, milliseconds([&] {
                           sheet->table()->selectAllItems();
                           sheet->render(&canvas);
                       }));
        if (sheet->selected().size() != itemCount) {
            std::fprintf(stderr, "select all missed items\n");
            return 1;
        }
        delete sheet;
    }
    std::printf("The details sheet alone on %zu items, best of 5\n", itemCount);
    report("open to first paint", open, 200);
    report("sort by size, then paint", sort, 150);
    report("select all, then paint", all, 50);
    return 0;
}
