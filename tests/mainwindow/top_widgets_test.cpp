// The header, the running-now section and the report banner over a store with every service
// faked.
#include <memory>
#include <optional>

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include "appearance/button_style.h"
#include "appearance/motion.h"
#include "appearance/tiles.h"
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

// Turns the process-wide motion switch on for one test and back off.
struct MotionOn {
    MotionOn() { Motion::setEnabled(true); }
    ~MotionOn() { Motion::setEnabled(false); }
};

bool strictlyBetween(double value, double low, double high) {
    return value > low && value < high;
}

// Two categories, the first holding 2 GB, and the scanning card's row in a window.
struct HeroWindow {
    explicit HeroWindow(Skin skin) {
        widgetApplication();
        h.catalog = {test::category("a"), test::category("b")};
        h.contents["a"] = {test::item("x", 2'000'000'000)};
        store = h.make();
        row = new ScanningHeroRow(*store);
        window.emplace(row, skin);
    }
    test::StoreHarness h;
    std::unique_ptr<Store> store;
    ScanningHeroRow* row = nullptr;
    std::optional<Window> window;
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
    auto* section = new RunningNowSection(store->vitals());
    auto* banner = new ReportBanner(*store);
    auto* both = new QWidget;
    auto* layout = new QVBoxLayout(both);
    layout->addWidget(banner);
    layout->addWidget(section);
    Window window(both);
    EXPECT_FALSE(banner->isVisible()) << "no report, no banner";

    store->vitals().refreshRunning();
    h.user.runAll();
    test::deliver();
    ASSERT_NE(section->stopButton("watch-7"), nullptr);
    EXPECT_EQ(section->stopButton("watch-7")->text(), "Stop");
    EXPECT_EQ(section->findChild<QLabel*>("runningSwap")->text(), "Swap is using 1 GB of disk");
    EXPECT_TRUE(section->findChild<QLabel*>("runningCpu")->property("hot").toBool());
    EXPECT_EQ(section->findChild<QLabel*>("runningProblem"), nullptr);

    section->stopButton("watch-7")->click();
    EXPECT_TRUE(store->vitals().stopping().count("watch-7"));
    EXPECT_EQ(section->stopButton("watch-7"), nullptr) << "a spinner in its place";
    EXPECT_NE(section->findChild<QWidget*>("stopping-watch-7"), nullptr);

    h.snapshot.items.clear(); // stopped: gone from the next snapshot
    h.snapshot.watchersProblem = "Couldn't run ps: not found";
    h.user.runAll();
    test::deliver();
    h.user.runAll();
    test::deliver();
    QApplication::processEvents();
    EXPECT_TRUE(store->vitals().stopping().empty());
    EXPECT_NE(section->findChild<QWidget*>("runningNothing"), nullptr);
    ASSERT_NE(section->findChild<QLabel*>("runningProblem"), nullptr);
    EXPECT_EQ(section->findChild<QLabel*>("runningProblem")->text(), "Couldn't run ps: not found.");
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
    store->vitals().stop(sim);
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
    EXPECT_FALSE(store->vitals().sampling());
    EXPECT_FALSE(header->cpuMeter()->isVisibleTo(header)) << "no meters before a sample";
    {
        Window window(header, Skin::classic);
        EXPECT_TRUE(store->vitals().sampling());
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
        EXPECT_TRUE(store->vitals().sampling()) << "the same timer keeps running";
        EXPECT_EQ(header->findChild<DiskRing*>()->disk(), *store->disk());

        store->scanAll();
        EXPECT_FALSE(header->cleanAllSafeButton()->isEnabled()) << "off while scanning";
        h.user.runAll();
        test::deliver();
        EXPECT_TRUE(header->cleanAllSafeButton()->isEnabled());
        window.root.hide();
        EXPECT_FALSE(store->vitals().sampling()) << "stops when the header leaves the screen";
        window.root.show();
        EXPECT_TRUE(store->vitals().sampling());
        h.user.runAll();
        EXPECT_EQ(h.samples.size(), 2u);
    }
}

TEST(DiskHeader, TilesStandFourteenApartAndCleanAllSafeIsEachSkinsProminentButton) {
    widgetApplication();
    test::StoreHarness h;
    h.catalog = {test::category("caches")};
    h.contents["caches"] = {test::item("a", 3'000'000)};
    auto store = h.make();
    for (Skin skin : {Skin::nightfall, Skin::hibernia}) {
        auto* header = new DiskHeader(*store, {});
        Window window(header, skin);
        h.user.runAll();
        QApplication::processEvents();
        // The cards as drawn, in the header's coordinates: 14 between each two.
        std::vector<QRectF> cards;
        for (const char* name : {"diskTile", "meter-cpu-tile", "meter-memory-tile"}) {
            auto* tile = header->findChild<SkinTile*>(name);
            ASSERT_NE(tile, nullptr) << name;
            ASSERT_TRUE(tile->isVisible()) << name;
            cards.push_back(tile->shape().translated(tile->mapTo(header, QPoint(0, 0))));
        }
        for (std::size_t i = 1; i < cards.size(); ++i)
            EXPECT_EQ(cards[i].left() - cards[i - 1].right(), 14)
                << Skins::rawValue(skin).toStdString() << " before card " << i;
        EXPECT_EQ(cards[0].left(), 16);
    }

    // Classic's is the desktop's prominent button: filled with the accent, a white label that
    // reads on it.
    auto* header = new DiskHeader(*store, {});
    Window window(header, Skin::classic);
    QPushButton* clean = header->cleanAllSafeButton();
    EXPECT_EQ(clean->property("tint").toString(), "accent");
    EXPECT_FALSE(clean->isDefault());
    const QColor fill = clean->palette().color(QPalette::Active, QPalette::Button);
    EXPECT_EQ(fill, accentFill(clean->palette()));
    EXPECT_GE(contrastRatio(fill, clean->palette().color(QPalette::Active, QPalette::ButtonText)),
              4.5);
}

TEST(ProminentButton, TakesClicksOnItsCapsuleOnly) {
    widgetApplication();
    const QRectF rect(0, 0, 140, 58); // a 116 × 34 capsule inside its glow margin of 12
    struct Case {
        QPointF at;
        bool hits;
    } cases[] = {
        {{70, 29}, true},   // the middle
        {{13, 29}, true},   // just inside the left end
        {{6, 29}, false},   // in the glow
        {{70, 5}, false},   // in the glow above
        {{14, 14}, false},  // beside the round end, inside the capsule's box
        {{127, 45}, false}, // the same at the other end
    };
    for (const Case& c : cases)
        EXPECT_EQ(buttonHitArea(rect, ButtonLook::prominent).contains(c.at), c.hits)
            << c.at.x() << "," << c.at.y();

    auto* button = new QPushButton(QStringLiteral("Clean All Safe"));
    skinPill(button, true, true);
    Window window(button, Skin::nightfall);
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(4, button->height() / 2));
    EXPECT_EQ(clicks, 0) << "a click in the glow";
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    EXPECT_EQ(clicks, 1);
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
    auto* row = new ScanningHeroRow(*store);
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

TEST(DiskHeader, ANewReadingRollsTheFreeSpaceAndEasesTheRingOnlyWhileMotionIsOn) {
    widgetApplication();
    test::StoreHarness h;
    auto store = h.make();
    auto* header = new DiskHeader(*store, {});
    Window window(header, Skin::nightfall);
    auto* free = header->findChild<NumberLabel*>("diskFree");
    auto* ring = header->findChild<DiskRing*>();
    ASSERT_NE(free, nullptr);
    EXPECT_EQ(free->shownText(), "100 GB free");
    {
        MotionOn on;
        h.disk = DiskFigures{1'000'000'000'000, 40'000'000'000, 40'000'000'000};
        store->refreshDisk();
        EXPECT_EQ(free->text(), "40 GB free") << "the label holds its new value from the start";
        ASSERT_TRUE(free->transition().running());
        ASSERT_TRUE(ring->transition().running());
        EXPECT_EQ(free->transition().animation().duration(), 1200);
        EXPECT_EQ(ring->transition().animation().duration(), 1200);

        free->transition().animation().setCurrentTime(400);
        ring->transition().animation().setCurrentTime(400);
        const auto frame = free->transition().motion().frame();
        EXPECT_EQ(frame.from, "100 GB free");
        EXPECT_EQ(frame.to, "40 GB free");
        EXPECT_TRUE(strictlyBetween(frame.progress, 0, 1)) << frame.progress;
        EXPECT_TRUE(strictlyBetween(ring->shownFraction(), 0.9, 0.96)) << ring->shownFraction();
        EXPECT_EQ(ring->transition().motion().frame().from, "90%");
        EXPECT_EQ(ring->transition().motion().frame().to, "96%");
        free->repaint();
        ring->repaint();

        free->transition().animation().setCurrentTime(1200);
        ring->transition().animation().setCurrentTime(1200);
        EXPECT_FALSE(free->transition().running());
        EXPECT_EQ(free->shownText(), "40 GB free");
        EXPECT_DOUBLE_EQ(ring->shownFraction(), 0.96);
        EXPECT_EQ(free->minimumWidth(), 0) << "the room kept for the roll is given back";
    }
    h.disk = DiskFigures{1'000'000'000'000, 30'000'000'000, 30'000'000'000};
    store->refreshDisk();
    EXPECT_FALSE(free->transition().running());
    EXPECT_FALSE(ring->transition().running());
    EXPECT_EQ(free->shownText(), "30 GB free");
    EXPECT_DOUBLE_EQ(ring->shownFraction(), 0.97);
}

TEST(ScanningHero, SlidesInCountsUpAndFadesItsLineWhileMotionIsOn) {
    HeroWindow hero(Skin::hibernia);
    auto& [h, store, row, window] = hero;
    MotionOn on;
    auto* percent = row->findChild<NumberLabel*>("heroPercent");
    auto* found = row->findChild<NumberLabel*>("heroFound");
    auto* line = row->findChild<FadingLabel*>("heroLine");

    store->scanAll();
    EXPECT_TRUE(row->isVisible());
    ASSERT_EQ(row->transition().state(), QAbstractAnimation::Running);
    EXPECT_EQ(percent->shownText(), "0%") << "a new scan's card comes in at its start";
    EXPECT_EQ(found->shownText(), "Zero KB");
    row->transition().setCurrentTime(175);
    EXPECT_TRUE(strictlyBetween(row->reveal(), 0, 1)) << row->reveal();
    EXPECT_NE(row->graphicsEffect(), nullptr) << "it fades in as it comes down";
    QApplication::processEvents();
    EXPECT_LT(row->height(), row->hero()->height()) << "the row opens as the card comes down";
    EXPECT_LT(row->hero()->y(), 0);
    row->transition().setCurrentTime(350);
    EXPECT_EQ(row->reveal(), 1);
    EXPECT_EQ(row->graphicsEffect(), nullptr);
    QApplication::processEvents();
    EXPECT_EQ(row->hero()->y(), 0);

    line->transition().setCurrentTime(400);
    const QString before = line->text();
    h.user.run(); // "a" is measured: 1 of 2, 2 GB found
    test::deliver();
    EXPECT_EQ(percent->text(), "50%");
    EXPECT_EQ(found->text(), "2 GB");
    ASSERT_TRUE(percent->transition().running());
    ASSERT_TRUE(found->transition().running());
    percent->transition().animation().setCurrentTime(200);
    found->transition().animation().setCurrentTime(250);
    EXPECT_NE(percent->shownText(), "0%");
    EXPECT_NE(percent->shownText(), "50%");
    EXPECT_NE(found->shownText(), "Zero KB");
    EXPECT_NE(found->shownText(), "2 GB");
    row->repaint();
    percent->transition().animation().setCurrentTime(400);
    found->transition().animation().setCurrentTime(500);
    EXPECT_EQ(percent->shownText(), "50%");
    EXPECT_EQ(found->shownText(), "2 GB");

    ASSERT_NE(line->text(), before);
    ASSERT_EQ(line->transition().state(), QAbstractAnimation::Running);
    line->transition().setCurrentTime(200);
    EXPECT_EQ(line->fadingFrom(), before);
    EXPECT_TRUE(strictlyBetween(line->progress(), 0, 1));
    line->transition().setCurrentTime(400);
    EXPECT_EQ(line->progress(), 1);

    h.user.runAll(); // the scan ends: the card leaves the way it came
    test::deliver();
    EXPECT_FALSE(store->scanningAll());
    EXPECT_TRUE(row->isVisible());
    ASSERT_EQ(row->transition().state(), QAbstractAnimation::Running);
    row->transition().setCurrentTime(175);
    EXPECT_TRUE(strictlyBetween(row->reveal(), 0, 1));
    row->transition().setCurrentTime(350);
    EXPECT_FALSE(row->isVisible());
    EXPECT_EQ(row->reveal(), 0);
}

TEST(ScanningHero, WithMotionOffComesAndGoesAtOnceWithItsValuesSettled) {
    HeroWindow hero(Skin::nightfall);
    auto& [h, store, row, window] = hero;
    store->scanAll();
    EXPECT_TRUE(row->isVisible());
    EXPECT_EQ(row->reveal(), 1);
    EXPECT_NE(row->transition().state(), QAbstractAnimation::Running);
    h.user.run();
    test::deliver();
    auto* percent = row->findChild<NumberLabel*>("heroPercent");
    EXPECT_FALSE(percent->transition().running());
    EXPECT_EQ(percent->shownText(), "50%");
    EXPECT_EQ(row->findChild<NumberLabel*>("heroFound")->shownText(), "2 GB");
    EXPECT_EQ(row->findChild<FadingLabel*>("heroLine")->progress(), 1);
    h.user.runAll();
    test::deliver();
    EXPECT_FALSE(row->isVisible());
    EXPECT_EQ(row->reveal(), 0);
}
