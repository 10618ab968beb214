// The tray icon's colour and label, the panel's sections over a store with faked services, and
// the quick clean confirmed inside the panel.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <gtest/gtest.h>

#include "app/gui/menu_bar_model.h"
#include "app/gui/spark_glyph.h"
#include "app/gui/tray.h"
#include "app/gui/tray_panel.h"
#include "gui_support.h"

using namespace bramwick;
using MenuBar::CleanState;
using test::ScenesHarness;

namespace {

constexpr std::int64_t GB = 1'000'000'000;

Store::Disk disk(std::int64_t total, std::int64_t available) {
    return {total, available, available};
}

QString labelText(QWidget* root, const char* name) {
    auto* label = root->findChild<QLabel*>(name);
    return label ? label->text() : QStringLiteral("<none>");
}

bool shows(QWidget* root, const char* name) {
    auto* widget = root->findChild<QWidget*>(name);
    return widget && widget->isVisibleTo(root);
}

} // namespace

TEST(TrayIcon, TheColourAndLabelFollowTheDisk) {
    struct Case {
        std::optional<Store::Disk> disk;
        Colour colour;
        std::string label;
    } cases[] = {
        {std::nullopt, TrayColours::secondary, "Bramwick"},
        {disk(1000 * GB, 150 * GB), DiskHealths::healthyGreen, "Bramwick: 150 GB free"},
        {disk(1000 * GB, 149 * GB), TrayColours::orange, "Bramwick: 149 GB free"},
        {disk(1000 * GB, 49 * GB), TrayColours::red, "Bramwick: 49 GB free"},
        {disk(50 * GB, 4 * GB), TrayColours::red, "Bramwick: 4 GB free"}, // under 5 GB free
        {Store::Disk{1000 * GB, 200 * GB, 900 * GB}, DiskHealths::healthyGreen,
         "Bramwick: 200 GB free"}, // never the purgeable figure
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MenuBar::iconColour(c.disk), c.colour) << c.label;
        EXPECT_EQ(MenuBar::accessibilityLabel(c.disk), c.label);
    }
}

TEST(TrayIcon, TheGlyphIsDrawnInItsOneColourAtTheScreensScale) {
    QColor green = toQColor(DiskHealths::healthyGreen);
    for (qreal scale : {1.0, 2.0}) {
        QImage image = SparkGlyph::image(green, scale);
        ASSERT_EQ(image.width(), static_cast<int>(18 * scale));
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                QColor pixel = image.pixelColor(x, y);
                if (pixel.alpha() < 100) continue;
                ++opaque;
                EXPECT_NEAR(pixel.red(), green.red(), 2);
                EXPECT_NEAR(pixel.green(), green.green(), 2);
            }
        EXPECT_GT(opaque, 30 * scale * scale) << "arcs, heads and bolt are drawn";
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0) << "the corners stay clear";
        // The bolt's middle is filled.
        EXPECT_GT(image.pixelColor(QPoint(9, 9) * scale).alpha(), 200);
    }
}

TEST(TrayIcon, ThePanelGoesAtTheIconElseTheCursorElseTheTopRight) {
    QRect screen(0, 0, 1920, 1080);
    QSize panel(320, 400);
    EXPECT_EQ(panelPosition(QRect(1800, 0, 24, 24), std::nullopt, screen, panel),
              QPoint(1592, 32)); // kept on screen at the right
    EXPECT_EQ(panelPosition(QRect(900, 1056, 24, 24), std::nullopt, screen, panel),
              QPoint(751, 648)); // a tray at the bottom opens upwards
    EXPECT_EQ(panelPosition(std::nullopt, QPoint(400, 10), screen, panel), QPoint(240, 19));
    EXPECT_EQ(panelPosition(QRect(), std::nullopt, screen, panel), QPoint(1592, 8));
}

TEST(QuickClean, TheFirstStateThatHoldsWins) {
    struct Case {
        bool cleaning, scanning, scanned, confirming;
        CleanState state;
    } cases[] = {
        {true, true, true, true, CleanState::cleaning},
        {false, true, true, true, CleanState::scanning},
        {false, false, false, true, CleanState::firstScan},
        {false, false, true, true, CleanState::confirming},
        {false, false, true, false, CleanState::safeTotal},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MenuBar::cleanState(c.cleaning, c.scanning, c.scanned, c.confirming), c.state);
}

TEST(Panel, SectionsComeAndGoWithTheStore) {
    test::StoreHarness h;
    h.disk.reset();
    h.access = false;
    h.catalog = {test::category("caches")};
    h.contents["caches"] = {test::item("a", 1'500'000), test::item("b", 500'000)};
    auto store = h.make();
    // The first scan waits for access: nothing measured yet.
    MenuBar::Panel p = MenuBar::panel(*store, false, h.now);
    EXPECT_FALSE(p.disk) << "no badge and no summary before the disk is read";
    EXPECT_EQ(p.clean.state, CleanState::firstScan);
    EXPECT_TRUE(p.accessRow);
    EXPECT_FALSE(p.report);
    EXPECT_FALSE(p.running);
    EXPECT_FALSE(p.autoClean);

    h.disk = disk(0, 0); // a volume that reports nothing divides by one
    store->refreshDisk();
    p = MenuBar::panel(*store, false, h.now);
    ASSERT_TRUE(p.disk);
    EXPECT_EQ(p.disk->usedFraction, 0);

    h.disk = disk(1000 * GB, 30 * GB);
    store->refreshDisk();
    h.access = true;
    h.snapshot.items = {RunningItem{}, RunningItem{}, RunningItem{}};
    auto scanning = store->scanAll();
    EXPECT_FALSE(MenuBar::panel(*store, false, h.now).rescanEnabled);
    EXPECT_EQ(MenuBar::panel(*store, false, h.now).clean.progress, "Scanning for space\u2026");
    h.user.runAll();

    p = MenuBar::panel(*store, false, h.now);
    ASSERT_TRUE(p.disk);
    EXPECT_EQ(p.disk->free, "30 GB free");
    EXPECT_EQ(p.disk->of, "of 1 TB");
    EXPECT_NEAR(p.disk->usedFraction, 0.97, 1e-9);
    EXPECT_TRUE(p.disk->freeInRed);
    EXPECT_EQ(DiskHealths::title(p.disk->rating), "Almost out of space");
    EXPECT_EQ(p.clean.state, CleanState::safeTotal);
    EXPECT_EQ(p.clean.total, "2 MB");
    EXPECT_TRUE(p.clean.cleanEnabled);
    EXPECT_EQ(p.running, "3 left running in the background") << "items, not processes";
    EXPECT_FALSE(p.accessRow);
    EXPECT_TRUE(p.rescanEnabled);

    EXPECT_EQ(MenuBar::autoCleanRow({h.now - std::chrono::hours(3), 0}, false, h.now).text,
              "Automatic clean 3 hours ago \u00b7 nothing to clean");
    EXPECT_EQ(MenuBar::autoCleanRow({h.now - std::chrono::hours(30), 2 * GB}, false, h.now).text,
              "Automatic clean yesterday \u00b7 freed 2 GB");
    EXPECT_EQ(MenuBar::autoCleanRow({h.now, 2 * GB}, true, h.now),
              (MenuBar::AutoCleanRow{true, "Cleaning automatically\u2026"}));
}

TEST(Panel, TheQuickCleanIsConfirmedInsideThePanel) {
    ScenesHarness h;
    h.store.catalog = {test::category("caches"), test::category("logs")};
    h.store.contents["caches"] = {test::item("a", 3'000'000)};
    h.store.contents["logs"] = {test::item("busy", 1'000'000)};
    h.store.failing = {"busy"};
    h.store.disk = disk(1000 * GB, 500 * GB);
    h.start();
    h.scenes->showPanel(std::nullopt);
    test::settle();
    TrayPanel* panel = h.scenes->panel();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(panel->isVisible());
    EXPECT_EQ(labelText(panel, "panelFree"), "500 GB free");
    EXPECT_EQ(labelText(panel, "panelBadge"), "Healthy");
    EXPECT_EQ(labelText(panel, "panelCaption"), "Less than 85% of the disk is in use.");
    EXPECT_EQ(labelText(panel, "safeTotal"), "4 MB");
    EXPECT_FALSE(shows(panel, "reportRow"));

    panel->findChild<QPushButton*>("cleanAllSafe")->click();
    EXPECT_TRUE(panel->confirmingClean());
    EXPECT_EQ(labelText(panel, "confirmCleanText").toStdString(),
              Store::allSafeWarning(4'000'000, {}));
    panel->findChild<QPushButton*>("confirmCleanCancel")->click();
    EXPECT_FALSE(panel->confirmingClean());
    EXPECT_TRUE(h.store.cleans.empty()) << "Cancel starts nothing";

    panel->findChild<QPushButton*>("cleanAllSafe")->click();
    panel->findChild<QPushButton*>("confirmCleanClean")->click();
    EXPECT_FALSE(panel->confirmingClean()) << "closed before the run begins";
    test::settle();
    EXPECT_EQ(panel->shown().clean.state, CleanState::cleaning);
    h.store.user.runAll();
    test::settle();
    ASSERT_EQ(h.store.cleans.size(), 2u);
    EXPECT_TRUE(shows(panel, "reportRow"));
    EXPECT_EQ(labelText(panel, "reportTitle"), "Freed 3 MB");
    EXPECT_TRUE(panel->shown().report->hasFailures);
    EXPECT_EQ(labelText(panel, "safeTotal"), "1 MB");

    panel->findChild<QToolButton*>("dismissReport")->click();
    test::settle();
    EXPECT_FALSE(h.scenes->store().report());
    EXPECT_FALSE(shows(panel, "reportRow"));
}

TEST(Panel, TheQuickCleanSaysApartWhatGoesToTheTrashAsTheWindowDoes) {
    ScenesHarness h;
    auto mine = test::category("mine", Risk::safe, CleanAction::Kind::trash);
    mine.name = "Mine";
    mine.customFolder = "/home/me/Mine";
    h.store.catalog = {test::category("caches"), mine};
    h.store.contents["caches"] = {test::item("a", 3'000'000)};
    h.store.contents["mine"] = {test::item("m", 2'000'000)};
    h.start();
    h.scenes->showPanel(std::nullopt);
    test::settle();
    TrayPanel* panel = h.scenes->panel();
    ASSERT_NE(panel, nullptr);
    panel->findChild<QPushButton*>("cleanAllSafe")->click();
    ASSERT_TRUE(panel->confirmingClean());
    const std::string text = labelText(panel, "confirmCleanText").toStdString();
    EXPECT_EQ(text, StoreText::allSafeWarning(5'000'000, {"Mine"}, {}, 2'000'000));
    EXPECT_NE(text, StoreText::allSafeWarning(5'000'000, {"Mine"}, {}, 0))
        << "the Trash's share is counted as deleted";
}

TEST(Panel, ItsButtonsOpenTheWindowsAndQuit) {
    ScenesHarness h;
    h.store.snapshot.items = {RunningItem{}};
    h.start();
    h.scenes->showPanel(std::nullopt);
    test::settle();
    TrayPanel* panel = h.scenes->panel();
    ASSERT_TRUE(shows(panel, "runningRow"));
    EXPECT_EQ(labelText(panel, "runningText"), "1 left running in the background");

    panel->findChild<QPushButton*>("runningRow")->click();
    test::settle();
    ASSERT_NE(h.scenes->mainWindow(), nullptr);
    EXPECT_TRUE(h.scenes->mainWindow()->isVisible());
    EXPECT_FALSE(panel->isVisible());

    h.scenes->showPanel(std::nullopt);
    panel->findChild<QToolButton*>("openSettings")->click();
    test::settle();
    ASSERT_NE(h.scenes->settingsWindow(), nullptr);
    EXPECT_TRUE(h.scenes->settingsWindow()->isVisible());

    h.scenes->showPanel(std::nullopt);
    panel->findChild<QToolButton*>("quit")->click();
    EXPECT_EQ(h.quits, 1);
}

TEST(Panel, DataIsShownAsPlainText) {
    ScenesHarness h;
    h.store.catalog = {test::category("caches")};
    h.store.contents["caches"] = {test::item("<b>bold</b> & more", 1'000)};
    h.store.failing = {"<b>bold</b> & more"};
    h.start();
    auto cleaning = h.scenes->store().clean(h.store.catalog[0], h.store.contents["caches"]);
    h.store.user.runAll();
    h.scenes->showPanel(std::nullopt);
    test::settle();
    auto* message = h.scenes->panel()->findChild<QLabel*>("reportMessage");
    ASSERT_NE(message, nullptr);
    // Shown cut to four lines; read whole.
    EXPECT_TRUE(message->accessibleName().contains("<b>bold</b> & more: It is in use"))
        << message->accessibleName().toStdString();
    EXPECT_EQ(message->textFormat(), Qt::PlainText);
    for (auto* label : h.scenes->panel()->findChildren<QLabel*>())
        if (!label->text().isEmpty()) {
            EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
        }
}

TEST(Panel, ItHidesWhenItLosesTheFocusAndTheTrayMenuReachesEverything) {
    ScenesHarness h;
    h.start();
    h.scenes->showPanel(std::nullopt);
    TrayPanel* panel = h.scenes->panel();
    ASSERT_TRUE(panel->isVisible());
    EXPECT_TRUE(panel->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(panel->windowFlags().testFlag(Qt::Tool));
    QEvent deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(panel, &deactivate);
    EXPECT_FALSE(panel->isVisible());

    ASSERT_NE(h.scenes->tray(), nullptr);
    EXPECT_EQ(h.scenes->tray()->icon().toolTip(), "Bramwick: 100 GB free");
    auto actions = h.scenes->tray()->menu().actions();
    QStringList titles;
    for (auto* action : actions)
        if (!action->isSeparator()) titles << action->text();
    EXPECT_EQ(titles, (QStringList{"Show Panel", "Open Bramwick", "Quit Bramwick"}));
    actions[0]->trigger();
    EXPECT_TRUE(panel->isVisible());
    actions[0]->trigger(); // the same request again puts it away
    EXPECT_FALSE(panel->isVisible());
    actions[1]->trigger();
    test::settle();
    ASSERT_NE(h.scenes->mainWindow(), nullptr);
    EXPECT_TRUE(h.scenes->mainWindow()->isVisible());
    actions.back()->trigger();
    EXPECT_EQ(h.quits, 1);
}

TEST(PanelBadge, ItsWordsReadAtFourAndAHalfToOneOnTheCapsuleInEverySkin) {
    // The rating colours on what each skin's panel is under the badge (classic in the desktop's
    // light and dark schemes). The words were once the rating colour itself: 1.25:1 for
    // "Healthy" on hibernia.
    const QColor backgrounds[] = {QColor(239, 239, 239), QColor(53, 53, 53), Nightfall::deep,
                                  Hibernia::page};
    for (const QColor& background : backgrounds)
        for (DiskHealth rating :
             {DiskHealth::healthy, DiskHealth::gettingFull, DiskHealth::almostFull}) {
            const QColor tint = toQColor(TrayColours::rating(rating));
            const QColor capsule = composited(withOpacity(tint, PanelLook::badgeFill), background);
            const QColor words = PanelLook::badgeWords(tint, background);
            EXPECT_GE(contrastRatio(words, capsule), 4.5)
                << DiskHealths::title(rating) << " on " << background.name().toStdString();
            // Still the rating's colour: the same hue, only darker or lighter.
            EXPECT_NEAR(words.hslHueF(), tint.hslHueF(), 0.01) << DiskHealths::title(rating);
        }

    // The panel colours its badge for what it is drawn on.
    for (Skin skin : Skins::allCases) {
        ScenesHarness h;
        h.store.disk = DiskFigures{1000 * GB, 400 * GB, 400 * GB};
        h.start();
        ASSERT_FALSE(SkinSettings::instance().setStored(skin));
        h.scenes->showPanel(std::nullopt);
        test::settle();
        auto* badge = h.scenes->panel()->findChild<QLabel*>("panelBadge");
        ASSERT_NE(badge, nullptr);
        EXPECT_EQ(badge->text(), "Healthy");
        const QColor words = badge->property("words").value<QColor>();
        const QImage panel = h.scenes->panel()->grab().toImage();
        const QColor under =
            panel.pixelColor(badge->mapTo(h.scenes->panel(), QPoint(2, badge->height() / 2)));
        EXPECT_GE(contrastRatio(words, under), 4.5) << Skins::rawValue(skin).toStdString();
        EXPECT_TRUE(badge->styleSheet().contains(words.name(QColor::HexArgb)));
    }
}
