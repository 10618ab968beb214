// The Dock-icon rule, the main window's opening and closing, the window opener's registration,
// and what a later launch hands over.
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QSystemTrayIcon>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include "gui_support.h"

using namespace bramwick;
using test::ScenesHarness;
using enum ActivationPolicy;

TEST(AppMode, RegularWhileTheWindowIsOpenElseAsKeepInDockSays) {
    test::StoreHarness harness;
    std::vector<ActivationPolicy> sink;
    int activations = 0;
    AppMode mode(
        *harness.settings, [&](ActivationPolicy p) { sink.push_back(p); }, [&] { ++activations; });

    mode.apply(); // "keepInDock" absent
    harness.settings->set("keepInDock", true);
    mode.apply();
    mode.windowDidAppear();
    harness.settings->set("keepInDock", false);
    mode.apply(); // the window keeps its entry
    mode.windowDidDisappear();
    EXPECT_EQ(sink, (std::vector{accessory, regular, regular, regular, accessory}));
    EXPECT_EQ(activations, 1) << "only showing the window activates";
    EXPECT_FALSE(mode.windowOpen());
}

TEST(AppMode, TheTrayRegistersTheOpenerEveryTimeAndThePanelOnlyWhenNoneIs) {
    test::StoreHarness harness;
    std::vector<ActivationPolicy> sink;
    AppMode mode(*harness.settings, [&](ActivationPolicy p) { sink.push_back(p); }, {});
    int fallback = 0;
    std::vector<std::string> opened;
    MainWindowOpener opener(mode, [&] { ++fallback; });

    opener.open(); // nothing registered, no window: only the policy changes
    EXPECT_EQ(fallback, 1);
    EXPECT_EQ(sink, std::vector{regular});

    opener.offerOpener([&] { opened.push_back("panel"); });
    opener.replaceOpener([&] { opened.push_back("tray"); });
    opener.offerOpener([&] { opened.push_back("second panel"); });
    opener.open();
    opener.replaceOpener([&] { opened.push_back("tray again"); });
    opener.open();
    EXPECT_EQ(opened, (std::vector<std::string>{"tray", "tray again"}));
    EXPECT_EQ(fallback, 1);
    EXPECT_TRUE(mode.windowOpen());
}

TEST(Scenes, WithATrayTheWindowFollowsTheLaunchRuleAndClosingItKeepsTheProgram) {
    ScenesHarness tray(true, false);
    tray.start();
    EXPECT_EQ(tray.scenes->mainWindow(), nullptr) << "tray only";
    EXPECT_EQ(tray.scenes->policies(), std::vector{accessory});
    ASSERT_NE(tray.scenes->tray(), nullptr);
    EXPECT_TRUE(tray.scenes->opener().hasOpener()) << "the tray registered it at launch";

    tray.scenes->opener().open();
    test::settle();
    MainWindowFrame* window = tray.scenes->mainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Bramwick");
    EXPECT_GE(window->width(), 1000);
    EXPECT_GE(window->height(), 620);
    EXPECT_EQ(tray.scenes->policies().back(), regular);

    window->close();
    test::settle();
    EXPECT_EQ(tray.scenes->policies().back(), accessory);
    EXPECT_EQ(tray.quits, 0);

    // With "keepInDock" the program keeps its entry after the window closes.
    tray.store.settings->set("keepInDock", true);
    tray.scenes->opener().open();
    test::settle();
    window->close();
    test::settle();
    EXPECT_EQ(tray.scenes->policies().back(), regular);
    EXPECT_EQ(window, tray.scenes->mainWindow()) << "one main window, shown again";
}

TEST(Scenes, WithoutATrayTheWindowOpensAtLaunchAndClosingItQuits) {
    ScenesHarness noTray(false, false);
    noTray.start();
    EXPECT_TRUE(noTray.scenes->openWindowAtLaunch());
    EXPECT_EQ(noTray.scenes->tray(), nullptr);
    ASSERT_NE(noTray.scenes->mainWindow(), nullptr);
    EXPECT_TRUE(noTray.scenes->mainWindow()->isVisible());
    EXPECT_EQ(noTray.scenes->policies(), (std::vector{accessory, regular}));
    noTray.scenes->mainWindow()->close();
    test::settle();
    EXPECT_EQ(noTray.quits, 1);
}

TEST(Scenes, ALaterLaunchReopensTheWindowOnlyWhenNoneIsOnScreen) {
    ScenesHarness h(true, false);
    h.start();

    EXPECT_TRUE(h.scenes->reopen(true));
    EXPECT_EQ(h.scenes->mainWindow(), nullptr) << "a visible window: nothing opens";

    h.scenes->handOff({"reopen"});
    test::settle();
    ASSERT_NE(h.scenes->mainWindow(), nullptr);
    EXPECT_TRUE(h.scenes->mainWindow()->isVisible());
    auto policies = h.scenes->policies().size();

    h.scenes->handOff({"reopen"}); // on screen already: nothing happens
    EXPECT_EQ(h.scenes->policies().size(), policies);

    h.scenes->mainWindow()->close();
    test::settle();
    h.scenes->openSettings();
    h.scenes->handOff({"reopen"}); // the settings window counts as a window on screen
    test::settle();
    EXPECT_FALSE(h.scenes->mainWindow()->isVisible());
    EXPECT_EQ(h.scenes->settingsWindow()->windowTitle(), "Bramwick Settings");

    h.scenes->handOff({"reopen", "--window"}); // asked for the window: it opens
    test::settle();
    EXPECT_TRUE(h.scenes->mainWindow()->isVisible());
    EXPECT_EQ(h.quits, 0);
}

TEST(Scenes, TheStoreRunsWithNoWindowOpen) {
    ScenesHarness h(true, false);
    h.start();
    EXPECT_TRUE(h.scenes->store().autoCleanTimerActive());
    EXPECT_TRUE(h.scenes->store().lastScan().has_value()) << "the first scan ran";
    EXPECT_EQ(h.scenes->mainWindow(), nullptr);
}

namespace {
// Calls `seen` once, as the first paint event reaches the watched widget.
class FirstPaint : public QObject {
  public:
    explicit FirstPaint(std::function<void()> seen) : seen_(std::move(seen)) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && seen_) std::exchange(seen_, nullptr)();
        return false;
    }

  private:
    std::function<void()> seen_;
};
} // namespace

// A window opening at launch draws its first frame before the first scan starts, then the scan
// runs as it would without the window.
TEST(Scenes, TheWindowAtLaunchPaintsBeforeTheFirstScanStarts) {
    ScenesHarness h(false, false);
    Scenes::Options options;
    options.trayAvailable = false;
    options.updates = std::make_unique<test::FakeUpdates>();
    options.sheets = h.sheets;
    // Made and started in one go, as the program does, before the event loop turns.
    Scenes scenes(h.store.services(), std::move(options));
    scenes.start();
    ASSERT_NE(scenes.mainWindow(), nullptr);
    EXPECT_FALSE(scenes.store().scanningAll()) << "held, though the window asked for it";
    std::optional<bool> scanWhenPainted;
    FirstPaint watch([&] {
        scanWhenPainted = scenes.store().scanningAll() || scenes.store().lastScan().has_value();
    });
    scenes.mainWindow()->installEventFilter(&watch);
    // Whether the platform paints while events are handled or only when asked, the scan waits.
    for (int round = 0; round < 3; ++round) {
        test::settle();
        h.store.user.runAll();
    }
    if (!scanWhenPainted) {
        EXPECT_FALSE(scenes.store().lastScan().has_value()) << "nothing painted yet";
        scenes.mainWindow()->grab(); // the first frame
    }
    ASSERT_TRUE(scanWhenPainted.has_value());
    EXPECT_FALSE(*scanWhenPainted) << "no scan before the first frame";
    for (int round = 0; round < 5; ++round) {
        test::settle();
        h.store.user.runAll();
    }
    EXPECT_TRUE(scenes.store().lastScan().has_value()) << "the first scan ran once painted";
    scenes.mainWindow()->removeEventFilter(&watch);
}

TEST(Scenes, TheSettingsWindowFollowsItsPageAndKeepInDockAppliesAtOnce) {
    ScenesHarness h(true, false);
    h.start();
    h.scenes->openSettings();
    test::settle();
    SettingsWindow* window = h.scenes->settingsWindow();
    ASSERT_NE(window, nullptr);
    SettingsPages& pages = window->pages();
    EXPECT_EQ(pages.currentIndex(), 1); // Cleaning the first time
    EXPECT_EQ(pages.width(), SettingsWindow::pageWidth);
    int cleaningHeight = window->height();
    pages.setCurrentIndex(2);
    test::settle();
    EXPECT_NE(window->height(), cleaningHeight) << "the window is as tall as the page shown";

    // No blank room under the page: its last control ends at the page's bottom margin, and no
    // caption above it is cut.
    for (int tab = 0; tab < pages.count(); ++tab) {
        pages.setCurrentIndex(tab);
        test::settle();
        QWidget* page = pages.currentWidget();
        int lowest = 0;
        for (QWidget* child : page->findChildren<QWidget*>())
            if (child->isVisible() && child->parentWidget() == page)
                lowest = std::max(lowest, child->mapTo(window, QPoint(0, child->height())).y());
        EXPECT_LE(window->height() - lowest, 16 + 8 + 2) << "tab " << tab;
        for (QLabel* label : page->findChildren<QLabel*>())
            if (label->isVisible() && label->wordWrap()) {
                EXPECT_GE(label->height(), label->heightForWidth(label->width()))
                    << label->text().toStdString();
            }
    }

    // Headers and tab icons take the accent of the skin the window is in now.
    for (Skin skin : {Skin::hibernia, Skin::nightfall, Skin::classic}) {
        ASSERT_FALSE(SkinSettings::instance().setStored(skin));
        test::settle();
        const QColor accent = window->palette().color(QPalette::Active, QPalette::Highlight);
        EXPECT_EQ(pages.tabAccent(), accent) << Skins::rawValue(skin).toStdString();
        for (QWidget* header : pages.findChildren<QWidget*>("settingsHeader"))
            for (QLabel* text : header->findChildren<QLabel*>())
                if (!text->text().isEmpty()) {
                    EXPECT_EQ(text->palette().color(QPalette::WindowText), accent)
                        << text->text().toStdString() << " in "
                        << Skins::rawValue(skin).toStdString();
                }
    }

    auto policies = h.scenes->policies().size();
    pages.findChild<QCheckBox*>("keepInDock")->click();
    ASSERT_EQ(h.scenes->policies().size(), policies + 1);
    EXPECT_EQ(h.scenes->policies().back(), ActivationPolicy::regular);
}

// Without a tray there is no panel to open the settings from: the main window's toolbar has a
// Settings button, and the desktop's Preferences keys (Ctrl+,) open them as well.
TEST(Scenes, TheMainWindowOpensTheSettingsFromItsToolbarAndWithCtrlComma) {
    ScenesHarness noTray(false, false);
    noTray.start();
    MainWindowFrame* window = noTray.scenes->mainWindow();
    ASSERT_NE(window, nullptr);
    auto* button = window->findChild<QToolButton*>("toolbar-settings");
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->isVisible());
    EXPECT_EQ(button->text(), "Settings");
    button->click();
    test::settle();
    ASSERT_NE(noTray.scenes->settingsWindow(), nullptr);
    EXPECT_TRUE(noTray.scenes->settingsWindow()->isVisible());
    EXPECT_EQ(noTray.scenes->settingsWindow()->windowTitle(), "Bramwick Settings");

    noTray.scenes->settingsWindow()->close();
    test::settle();
    EXPECT_TRUE(WindowTop::settingsKeys().contains(QKeySequence(Qt::CTRL | Qt::Key_Comma)));
    QApplication::setActiveWindow(window); // as the window system does when it is clicked
    QTest::keyClick(window, Qt::Key_Comma, Qt::ControlModifier);
    test::settle();
    EXPECT_TRUE(noTray.scenes->settingsWindow()->isVisible());
    EXPECT_EQ(noTray.quits, 0);
}

// At login the program often starts before the panel: it shows its window, and the tray that
// comes later takes over; when the tray goes, the window opens again.
TEST(Scenes, ATrayThatComesLateKeepsTheProgramAndOneThatGoesOpensTheWindow) {
    ScenesHarness h(false, false);
    h.start();
    MainWindowFrame* window = h.scenes->mainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(h.scenes->tray(), nullptr);

    h.scenes->setTrayAvailable(true);
    ASSERT_NE(h.scenes->tray(), nullptr) << "the icon appears";
    EXPECT_TRUE(h.scenes->tray()->icon().isVisible());
    window->close();
    test::settle();
    EXPECT_EQ(h.quits, 0) << "the tray keeps the program";
    EXPECT_FALSE(window->isVisible());

    h.scenes->setTrayAvailable(false);
    test::settle();
    EXPECT_EQ(h.scenes->tray(), nullptr);
    EXPECT_TRUE(window->isVisible()) << "nothing else reaches the program now";
    window->close();
    test::settle();
    EXPECT_EQ(h.quits, 1);
}

// "Keep in Dock" here keeps a taskbar entry while the window is closed: the closed window stays
// minimised in the taskbar, and opening it from there, from the tray or from a later launch
// opens it; switched off, the entry goes.
TEST(Scenes, KeepInDockLeavesTheClosedWindowMinimisedInTheTaskbar) {
    ScenesHarness h(true, false);
    h.start();
    h.scenes->openSettings();
    test::settle();
    auto* keep = h.scenes->settingsWindow()->pages().findChild<QCheckBox*>("keepInDock");
    ASSERT_NE(keep, nullptr);
    EXPECT_EQ(keep->text(), "Keep in Dock");
    EXPECT_EQ(h.scenes->settingsWindow()->pages().findChild<QLabel*>("keepInDockCaption")->text(),
              "With this on, closing the Bramwick window leaves it minimised in the taskbar or "
              "dock while Bramwick runs in the tray.");
    keep->click();
    test::settle();
    MainWindowFrame* window = h.scenes->mainWindow();
    ASSERT_NE(window, nullptr) << "switched on with the window closed: the entry appears at once";
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isMinimized());
    EXPECT_FALSE(h.scenes->appMode().windowOpen()) << "an entry, not an open window";

    h.scenes->settingsWindow()->close();
    h.scenes->handOff({"reopen"}); // a later launch: the entry is no open window
    test::settle();
    EXPECT_FALSE(window->isMinimized());
    EXPECT_TRUE(h.scenes->appMode().windowOpen());
    window->close();
    test::settle();
    EXPECT_TRUE(window->isVisible() && window->isMinimized()) << "closed into the taskbar";
    EXPECT_FALSE(h.scenes->appMode().windowOpen());
    EXPECT_EQ(h.quits, 0);

    window->showNormal(); // the user clicks the entry
    test::settle();
    EXPECT_TRUE(h.scenes->appMode().windowOpen());
    window->close();
    test::settle();
    ASSERT_TRUE(window->isMinimized());

    keep->click();
    test::settle();
    EXPECT_FALSE(window->isVisible()) << "switched off: the entry goes";
    EXPECT_EQ(h.scenes->policies().back(), ActivationPolicy::accessory);
}
