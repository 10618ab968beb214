// The header, the running-now section and the report banner over a store with every service
// faked.
#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include "appearance/button_style.h"
#include "appearance/motion.h"
#include "appearance/window_dressing.h"
#include "mainwindow/banners.h"
#include "mainwindow/disk_header.h"
#include "mainwindow/running_now.h"
#include "mainwindow/scanning_hero.h"
#include "store/store_harness.h"

using namespace bramwick;

namespace {

void widgetApplication() {
    static QApplication* application = [] {
        static int argc = 1;
        static char name[] = "mainwindow_tests";
        static char* argv[] = {name, nullptr};
        auto* made = new QApplication(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        Motion::setEnabled(false);
        installSkinStyle();
        return made;
    }();
    (void)application;
}

// A window dressed in a skin, holding one block.
struct Window {
    explicit Window(QWidget* block, Skin skin = Skin::nightfall) {
        root.resize(1000, 300);
        dressWindow(&root, skin);
        auto* layout = new QVBoxLayout(&root);
        layout->addWidget(block);
        root.show();
    }
    QWidget root;
};

} // namespace

TEST(RunningNowSection, StoppingAnItemShowsItsSpinnerThenTheReportAndTheBannerDismisses) {
    widgetApplication();
    test::StoreHarness h;
    const RunningItem watcher{
        "watch-7", RunningItem::Watcher{{7}, {}}, "log stream", "a watcher", 30, 50'000'000};
    h.snapshot.items = {watcher};
    h.snapshot.swapUsed = 1'000'000'000;
    h.snapshot.scanned = true;
    auto store = h.make();
    auto* section = new RunningNowSection(*store);
    auto* banner = new ReportBanner(*store);
    auto* both = new QWidget;
    auto* layout = new QVBoxLayout(both);
    layout->addWidget(banner);
    layout->addWidget(section);
    Window window(both);
    EXPECT_FALSE(banner->isVisible()) << "no report, no banner";

    store->refreshRunning();
    h.user.runAll();
    test::deliver();
    ASSERT_NE(section->stopButton("watch-7"), nullptr);
    EXPECT_EQ(section->stopButton("watch-7")->text(), "Stop");
    EXPECT_EQ(section->findChild<QLabel*>("runningSwap")->text(), "Swap is using 1 GB of disk");
    EXPECT_TRUE(section->findChild<QLabel*>("runningCpu")->property("hot").toBool());

    section->stopButton("watch-7")->click();
    EXPECT_TRUE(store->stopping().count("watch-7"));
    EXPECT_EQ(section->stopButton("watch-7"), nullptr) << "a spinner in its place";
    EXPECT_NE(section->findChild<QWidget*>("stopping-watch-7"), nullptr);

    h.snapshot.items.clear(); // stopped: gone from the next snapshot
    h.user.runAll();
    test::deliver();
    h.user.runAll();
    test::deliver();
    QApplication::processEvents();
    EXPECT_TRUE(store->stopping().empty());
    EXPECT_NE(section->findChild<QWidget*>("runningNothing"), nullptr);
    ASSERT_TRUE(store->report());
    EXPECT_TRUE(banner->isVisible());
    EXPECT_EQ(banner->findChild<QLabel*>("reportTitle")->text(), "Stopped log stream");
    EXPECT_FALSE(banner->property("failures").toBool());

    banner->dismissButton()->click();
    EXPECT_FALSE(store->report());
    EXPECT_FALSE(banner->isVisible());
}

TEST(ReportBanner, FailuresTurnItOrangeAndAnEmptyMessageKeepsTheTitle) {
    widgetApplication();
    test::StoreHarness h;
    h.stop = [](const RunningItem&) { return Shell::Result{1, "  no such process \n"}; };
    const RunningItem sim{"sim-1", RunningItem::Simulator{"1"}, "iPhone", "", 1, 1};
    auto store = h.make();
    auto* banner = new ReportBanner(*store);
    Window window(banner);
    store->stop(sim);
    h.user.runAll();
    test::deliver();
    h.user.runAll();
    test::deliver();
    ASSERT_TRUE(store->report());
    EXPECT_TRUE(banner->property("failures").toBool());
    EXPECT_EQ(banner->tint(), BannerValues::reportColour(true, isDark(window.root.palette())));
    EXPECT_EQ(banner->findChild<QLabel*>("reportMessage")->text(), "no such process");
}

TEST(DiskHeader, SamplesVitalsOnlyWhileShownAndFollowsTheSkin) {
    widgetApplication();
    test::StoreHarness h;
    h.catalog = {test::category("caches")};
    h.contents["caches"] = {test::item("a", 3'000'000)};
    auto store = h.make();
    auto* header = new DiskHeader(*store, {});
    EXPECT_FALSE(store->vitalsActive());
    EXPECT_FALSE(header->cpuMeter()->isVisibleTo(header)) << "no meters before a sample";
    {
        Window window(header, Skin::classic);
        EXPECT_TRUE(store->vitalsActive());
        EXPECT_EQ(h.user.pending(), 1u) << "one sample at once, read on a worker";
        EXPECT_FALSE(header->cpuMeter()->isVisible()) << "until its reading comes back";
        h.user.runAll();
        EXPECT_EQ(h.samples.size(), 1u);
        EXPECT_TRUE(header->classicLayout());
        EXPECT_TRUE(header->cpuMeter()->isVisible());
        EXPECT_TRUE(header->cleanAllSafeButton()->isEnabled());

        setSkin(&window.root, Skin::nightfall);
        EXPECT_FALSE(header->classicLayout());
        EXPECT_TRUE(header->cpuMeter()->isVisible());
        EXPECT_TRUE(store->vitalsActive()) << "the same timer keeps running";
        EXPECT_EQ(header->findChild<DiskRing*>()->disk(), *store->disk());

        store->scanAll();
        EXPECT_FALSE(header->cleanAllSafeButton()->isEnabled()) << "off while scanning";
        h.user.runAll();
        test::deliver();
        EXPECT_TRUE(header->cleanAllSafeButton()->isEnabled());
        window.root.hide();
        EXPECT_FALSE(store->vitalsActive()) << "stops when the header leaves the screen";
        window.root.show();
        EXPECT_TRUE(store->vitalsActive());
        h.user.runAll();
        EXPECT_EQ(h.samples.size(), 2u);
    }
}

TEST(DiskHeader, WithoutFiguresTheSkinnedTileWaitsAndNothingSafeDisablesTheButton) {
    widgetApplication();
    test::StoreHarness h;
    h.disk.reset();
    auto store = h.make();
    auto* header = new DiskHeader(*store, {});
    Window window(header, Skin::hibernia);
    EXPECT_TRUE(header->findChild<QWidget*>("diskWaiting")->isVisible());
    EXPECT_FALSE(header->findChild<DiskRing*>()->isVisible());
    EXPECT_FALSE(header->cleanAllSafeButton()->isEnabled());
}

TEST(ScanningHero, ShowsWhileAFullScanRunsInASkinnedWindow) {
    widgetApplication();
    test::StoreHarness h;
    h.catalog = {test::category("a"), test::category("b")};
    auto store = h.make();
    QWidget* row = scanningHeroRow(*store);
    Window window(row, Skin::nightfall);
    EXPECT_FALSE(row->isVisible());
    store->scanAll();
    EXPECT_TRUE(row->isVisible());
    h.user.run();
    test::deliver();
    EXPECT_EQ(row->findChild<QLabel*>("heroPercent")->text(), "50%");
    setSkin(&window.root, Skin::classic);
    EXPECT_FALSE(row->isVisible()) << "never in classic";
    h.user.runAll();
    test::deliver();
}
