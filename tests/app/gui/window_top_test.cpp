// The main window's top and what it does: the start-up rule, Clean All Safe through the card,
// the access setup with a probe that says no, the toolbar.
#include <map>
#include <tuple>

#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include "appearance/spinner.h"
#include "gui_support.h"
#include "mainwindow/main_content.h"
#include "mainwindow/main_window_frame.h"
#include "mainwindow/window_top.h"
#include "platform/settings.h"

using namespace bramwick;

namespace {

WindowTop& topOf(test::ScenesHarness& h) {
    h.scenes->openMainWindow();
    test::settle();
    auto* top = qobject_cast<WindowTop*>(h.scenes->mainWindow()->top());
    EXPECT_NE(top, nullptr);
    return *top;
}

// The sheet whose content (or dialog) has `name`, open over the main window; null when none is.
QDialog* sheetOver(QWidget* window, const char* name) {
    for (auto* dialog : window->findChildren<QDialog*>()) {
        if (!dialog->isVisible()) continue;
        if (dialog->objectName() == QLatin1String(name) ||
            dialog->findChild<QWidget*>(QLatin1String(name)))
            return dialog;
    }
    return nullptr;
}

} // namespace

TEST(WindowTop, EachActionOpensItsSheetOverTheWindowAndClosingItClearsTheRequest) {
    test::ScenesHarness h;
    auto apps = test::category("applications");
    apps.source.kind = Source::Kind::applications;
    h.store.catalog = {test::category("caches"), apps};
    h.start();
    Store& store = h.scenes->store();
    WindowTop& top = topOf(h);
    QWidget* window = h.scenes->mainWindow();
    auto* content = qobject_cast<MainContent*>(h.scenes->mainWindow()->content());
    ASSERT_NE(content, nullptr);
    auto close = [](QDialog* sheet) {
        sheet->reject();
        test::settle();
    };

    // The list's details request.
    emit content->detailsRequested(ListPlan::DetailsRequest{store.categories()[0], false});
    QDialog* details = sheetOver(window, "detailsSheet");
    ASSERT_NE(details, nullptr);
    EXPECT_EQ(details->windowModality(), Qt::WindowModal);
    EXPECT_EQ(details->findChild<QWidget*>("showEveryApp"), nullptr);
    close(details);
    EXPECT_FALSE(top.detailsFor());
    EXPECT_EQ(sheetOver(window, "detailsSheet"), nullptr);

    // Uninstall: the applications category with every application.
    top.toolbar()->button("toolbar-uninstall")->click();
    details = sheetOver(window, "detailsSheet");
    ASSERT_NE(details, nullptr);
    EXPECT_NE(details->findChild<QWidget*>("showEveryApp"), nullptr);
    close(details);
    EXPECT_FALSE(top.detailsFor());

    top.toolbar()->button("toolbar-maintenance")->click();
    QDialog* maintenance = sheetOver(window, "maintenanceSheet");
    ASSERT_NE(maintenance, nullptr);
    close(maintenance);
    EXPECT_FALSE(store.maintenance().shown());

    auto sampling = store.vitals().sample();
    h.store.user.runAll();
    top.header()->memoryMeter()->click();
    EXPECT_TRUE(top.showMemoryUsers());
    QDialog* memory = sheetOver(window, "memoryUsersSheet");
    ASSERT_NE(memory, nullptr);
    close(memory);
    EXPECT_FALSE(top.showMemoryUsers());

    // Schedule, and the history from it, over the schedule sheet.
    top.toolbar()->button("toolbar-schedule")->click();
    QDialog* schedule = sheetOver(window, "scheduleSheet");
    ASSERT_NE(schedule, nullptr);
    EXPECT_TRUE(top.showSchedule());
    schedule->findChild<QPushButton*>("sheetHistory")->click();
    QDialog* history = sheetOver(schedule, "historySheet");
    ASSERT_NE(history, nullptr);
    close(history);
    close(schedule);
    EXPECT_FALSE(top.showSchedule());
    EXPECT_EQ(sheetOver(window, "scheduleSheet"), nullptr);
}

TEST(WindowTop, WithoutAccessTheSetupShowsAndNothingScansUntilTheUserGoesOn) {
    test::ScenesHarness h;
    h.store.access = false;
    h.store.catalog = {test::category("caches")};
    h.start();
    Store& store = h.scenes->store();
    WindowTop& top = topOf(h);
    h.store.user.runAll();
    EXPECT_TRUE(top.showAccessSetup());
    EXPECT_TRUE(h.store.scans.empty()) << "no scan before the card is left";
    EXPECT_TRUE(top.accessBanner()->isVisible());
    ASSERT_NE(top.accessSetup(), nullptr);
    EXPECT_TRUE(top.accessSetup()->isVisible());

    top.accessSetup()->button("continueWithoutAccess")->click();
    test::settle();
    EXPECT_FALSE(top.showAccessSetup());
    EXPECT_EQ(h.store.settings->boolean("skippedFullDiskAccess"), true)
        << "stored before the card went, so the next launch does not ask again";
    EXPECT_TRUE(store.scanningAll());
    h.store.user.runAll();
    test::deliver();
    EXPECT_EQ(h.store.scans, std::vector<std::string>{"caches"});

    // The banner reopens the card; the access arriving later hides the banner without a scan.
    top.accessBanner()->grantButton()->click();
    EXPECT_TRUE(top.showAccessSetup());
    const auto scans = h.store.scans.size();
    h.store.access = true;
    top.becameActive();
    EXPECT_TRUE(store.hasFullDiskAccess());
    EXPECT_FALSE(top.accessBanner()->isVisible());
    EXPECT_EQ(h.store.scans.size(), scans);
    EXPECT_EQ(h.store.settings->boolean("skippedFullDiskAccess"), false)
        << "access arriving while the card shows clears the skip";
}

TEST(WindowTop, WithAccessTheWindowScansOnlyWhenNoScanRanBefore) {
    test::ScenesHarness h;
    h.store.catalog = {test::category("caches")};
    h.start();
    h.store.user.runAll();
    test::deliver();
    const auto scans = h.store.scans.size();
    WindowTop& top = topOf(h);
    EXPECT_FALSE(top.showAccessSetup());
    h.store.user.runAll();
    EXPECT_EQ(h.store.scans.size(), scans) << "the store's own first scan was enough";
}

TEST(WindowTop, CleanAllSafeGoesThroughTheCard) {
    test::ScenesHarness h;
    h.store.catalog = {test::category("caches")};
    h.store.contents["caches"] = {test::item("a", 2'000'000)};
    h.start();
    WindowTop& top = topOf(h);
    test::deliver();
    top.header()->refresh();
    QPushButton* clean = top.header()->cleanAllSafeButton();
    ASSERT_TRUE(clean->isEnabled());
    clean->click();
    ConfirmCard* card = top.presenter()->card();
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->confirmButton()->property("tint").toString(), "green");
    ASSERT_TRUE(top.confirmation());
    EXPECT_EQ(top.confirmation()->kind, MainActions::Confirmation::Kind::allSafe);

    // A scan that ends while the card shows brings its total up to date.
    auto* message = card->findChild<QLabel*>(QStringLiteral("confirmMessage"));
    ASSERT_NE(message, nullptr);
    EXPECT_TRUE(message->text().contains(QStringLiteral("2 MB"))) << message->text().toStdString();
    h.store.contents["caches"] = {test::item("a", 2'000'000), test::item("b", 5'000'000)};
    auto scanning = h.scenes->store().scan(test::category("caches"));
    h.store.user.runAll();
    test::deliver();
    EXPECT_TRUE(message->text().contains(QStringLiteral("7 MB"))) << message->text().toStdString();

    card->cancelButton()->click();
    test::settle();
    EXPECT_FALSE(top.confirmation());
    h.store.user.runAll();
    EXPECT_TRUE(h.store.cleans.empty());

    clean->click();
    top.presenter()->card()->confirmButton()->click();
    EXPECT_EQ(top.presenter()->card(), nullptr);
    h.store.user.runAll();
    test::deliver();
    h.store.user.runAll();
    ASSERT_EQ(h.store.cleans.size(), 1u);
    EXPECT_EQ(h.store.cleans[0].first, "caches");
}

TEST(WindowTop, ACategoryCleanTakesTheItemsItWasAskedWithThatAreStillListed) {
    test::ScenesHarness h;
    auto risky = test::category("old", Risk::danger);
    h.store.catalog = {risky};
    h.store.contents["old"] = {test::item("a", 10), test::item("b", 20)};
    h.start();
    WindowTop& top = topOf(h);
    top.askToConfirm({MainActions::Confirmation::Kind::category,
                      risky,
                      {test::item("a", 10), test::item("b", 20)}});
    ConfirmCard* card = top.presenter()->card();
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->confirmButton()->property("tint").toString(), "red");
    // It speaks of the category and the items it was asked about.
    EXPECT_EQ(card->findChild<QLabel*>("confirmTitle")->text(), "Clean Category old?");
    EXPECT_TRUE(card->findChild<QLabel*>("confirmMessage")->text().startsWith("2 items, "))
        << card->findChild<QLabel*>("confirmMessage")->text().toStdString();
    // A rescan meanwhile finds more, and no longer lists what another clean took.
    h.store.contents["old"] = {test::item("a", 10), test::item("c", 30)};
    auto scanning = h.scenes->store().scan(risky);
    h.store.user.runAll();
    card->confirmButton()->click();
    h.store.user.runAll();
    ASSERT_EQ(h.store.cleans.size(), 1u);
    ASSERT_EQ(h.store.cleans[0].second.size(), 1u);
    EXPECT_EQ(h.store.cleans[0].second[0].name, "a");
}

TEST(WindowTop, AccessCardWaitsOnAProbeThatSaysNo) {
    test::ScenesHarness h;
    h.store.access = false;
    h.store.settings->set("skippedFullDiskAccess", true); // went on without, earlier
    h.start();
    Store& store = h.scenes->store();
    WindowTop& top = topOf(h);
    EXPECT_FALSE(top.showAccessSetup()) << "skipped before: no card at start-up";
    top.setShowAccessSetup(true);
    FullDiskAccessSetup& setup = *top.accessSetup();
    EXPECT_EQ(setup.phase(), AccessSetupValues::Phase::asking);
    EXPECT_FALSE(setup.button("startScanning")->isVisible());
    EXPECT_TRUE(setup.pollTimer().isActive());

    QSignalSpy changes(&store, &Store::hasFullDiskAccessChanged);
    h.store.access = true;
    setup.poll();
    EXPECT_EQ(changes.count(), 0) << "the poll probes only after the settings were opened";
    h.store.access = false;
    QTest::keyClick(&setup, Qt::Key_Return); // Open Settings is the default
    EXPECT_EQ(setup.phase(), AccessSetupValues::Phase::waiting);
    EXPECT_TRUE(setup.button("quitAndReopen")->isVisible());
    setup.poll();
    setup.poll();
    EXPECT_EQ(changes.count(), 0) << "a probe that keeps saying no writes nothing";

    h.store.access = true;
    setup.poll();
    setup.poll();
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(setup.phase(), AccessSetupValues::Phase::granted);
    EXPECT_EQ(h.store.settings->boolean("skippedFullDiskAccess"), false);
    EXPECT_TRUE(setup.button("startScanning")->isVisible());
    EXPECT_FALSE(setup.button("openSystemSettings")->isVisible());
    QTest::keyClick(&setup, Qt::Key_Return); // now Start Scanning
    test::settle();
    EXPECT_FALSE(top.showAccessSetup());
    EXPECT_TRUE(store.scanningAll());
}

TEST(WindowTop, ToolbarActions) {
    test::ScenesHarness h;
    auto apps = test::category("applications");
    apps.source.kind = Source::Kind::applications;
    h.store.catalog = {test::category("caches"), apps};
    h.start();
    Store& store = h.scenes->store();
    WindowTop& top = topOf(h);
    MainToolbar& bar = *top.toolbar();

    // One row in the window, the list's switches first, every entry with its name.
    auto buttons = bar.findChildren<QToolButton*>(Qt::FindDirectChildrenOnly);
    std::sort(buttons.begin(), buttons.end(),
              [](QToolButton* a, QToolButton* b) { return a->x() < b->x(); });
    QStringList shown;
    const int row = bar.button("toolbar-rescan")->geometry().center().y();
    for (QToolButton* button : buttons) {
        ASSERT_TRUE(button->isVisible()) << button->objectName().toStdString();
        EXPECT_NEAR(button->geometry().center().y(), row, 1);
        shown << (button->accessibleName().isEmpty() ? button->text() : button->accessibleName());
    }
    EXPECT_EQ(shown, (QStringList{"Hide Empty", "Arrange By Level", "Arrange By Group",
                                  "Arrange By Size", "Uninstall an App", "Maintenance",
                                  "Add Folder", "Schedule", "Rescan", "Settings"}));
    auto* window = h.scenes->mainWindow();
    EXPECT_EQ(window->findChildren<QToolButton*>("toolbar-hide-empty").size(), 1)
        << "built in one place";
    bar.button("toolbar-arrange-size")->click();
    EXPECT_EQ(h.store.settings->string("arrangement"), "size");
    bar.button("toolbar-hide-empty")->click();
    EXPECT_EQ(h.store.settings->boolean("hideEmpty"), true);
    h.store.settings->set("hideEmpty", false); // written elsewhere: the switch follows
    test::settle();
    EXPECT_FALSE(bar.button("toolbar-hide-empty")->isChecked());

    bar.button("toolbar-uninstall")->click();
    ASSERT_TRUE(top.detailsFor());
    EXPECT_EQ(top.detailsFor()->category.id, "applications");
    EXPECT_TRUE(top.detailsFor()->everyApp);
    bar.button("toolbar-maintenance")->click();
    EXPECT_TRUE(store.maintenance().shown());
    bar.button("toolbar-schedule")->click();
    EXPECT_TRUE(top.showSchedule());

    bar.button("toolbar-rescan")->click();
    EXPECT_TRUE(store.scanningAll());
    EXPECT_FALSE(bar.button("toolbar-rescan")->isEnabled()) << "off while a full scan runs";
    EXPECT_TRUE(bar.button("toolbar-add-folder")->isEnabled());
    h.store.user.runAll();
    test::deliver();
    h.store.user.runAll();
    test::deliver();
    EXPECT_FALSE(store.scanningAll());
    EXPECT_TRUE(bar.button("toolbar-rescan")->isEnabled());

    // The CPU meter asks the list to show the running-now section: the filter is cleared first.
    h.store.settings->set("levelFilter", std::string("Red Flag"));
    QSignalSpy asked(&top, &WindowTop::showRunningRequested);
    auto sampling = store.vitals().sample();
    h.store.user.runAll();
    top.header()->cpuMeter()->click();
    EXPECT_EQ(h.store.settings->string("levelFilter"), "");
    EXPECT_EQ(asked.count(), 0) << "the scroll waits for the list to be rebuilt";
    test::settle();
    EXPECT_EQ(asked.count(), 1);
}

TEST(WindowTop, AddFolderOpensItsMenuWithoutALoopOfItsOwnAndEachLevelAddsThere) {
    test::ScenesHarness h;
    h.store.catalog = {test::category("caches")};
    const std::string mine = h.store.folder + "/Mine";
    QDir().mkpath(QString::fromStdString(mine));
    h.store.chosenFolders = {mine};
    h.start();
    Store& store = h.scenes->store();
    WindowTop& top = topOf(h);
    QToolButton* add = top.toolbar()->button("toolbar-add-folder");
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add->text(), "Add Folder");
    EXPECT_EQ(add->toolTip(), "Add a folder of your own to a tab");
    auto* menu = add->findChild<QMenu*>();
    ASSERT_NE(menu, nullptr);

    // A turn of the event loop that comes while the click is still being handled would be a
    // loop of the menu's own.
    bool clicking = true, turnedInside = false;
    QTimer::singleShot(0, menu, [&] {
        if (!clicking) return;
        turnedInside = true;
        menu->close(); // ends that loop
    });
    QTest::mouseClick(add, Qt::LeftButton);
    clicking = false;
    EXPECT_FALSE(turnedInside) << "the click ran a loop of its own";
    EXPECT_TRUE(menu->isVisible());
    QStringList entries;
    for (QAction* action : menu->actions())
        entries << action->text();
    EXPECT_EQ(entries, (QStringList{"Safe to Remove", "Review", "Move to Backup"}));
    test::settle();

    QAction* review = menu->findChild<QAction*>("add-folder-Yellow Warning");
    ASSERT_NE(review, nullptr);
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(review).center());
    test::settle();
    h.store.user.runAll();
    test::deliver();
    EXPECT_FALSE(menu->isVisible());
    ASSERT_EQ(store.customFolders().size(), 1u);
    EXPECT_EQ(store.customFolders()[0].path, mine);
    EXPECT_EQ(store.customFolders()[0].level, "Yellow Warning");
}

TEST(WindowTop, EveryWaitOfTheWindowAndItsSheetsIsTheOneSpinner) {
    // In a skinned window, which has the disk tile's wait.
    ASSERT_FALSE(Settings::standard().set("skin", "hibernia"));
    test::ScenesHarness h;
    h.store.access = false;
    h.store.catalog = {test::category("caches")};
    h.store.contents["caches"] = {test::item("a", 10)};
    const RunningItem watcher{
        "watch-7", RunningItem::Watcher{{7}, {}}, "log stream", "a watcher", 30, 50'000'000};
    h.store.snapshot.items = {watcher};
    h.store.snapshot.scanned = true;
    h.start();
    Store& store = h.scenes->store();
    WindowTop& top = topOf(h);
    QWidget* window = h.scenes->mainWindow();
    // The setup waiting for access, an item being stopped, the details sheet with its overlay.
    ASSERT_NE(top.accessSetup(), nullptr);
    top.accessSetup()->button("openSystemSettings")->click();
    store.vitals().refreshRunning();
    h.store.user.runAll();
    test::deliver();
    test::settle();
    auto* stop = window->findChild<QPushButton*>("stop-watch-7");
    ASSERT_NE(stop, nullptr);
    stop->click();
    test::settle();
    auto* content = qobject_cast<MainContent*>(h.scenes->mainWindow()->content());
    emit content->detailsRequested(ListPlan::DetailsRequest{store.categories()[0], false});
    ASSERT_NE(sheetOver(window, "detailsSheet"), nullptr);

    for (const char* name : {"diskWaiting", "accessWaitingSpinner", "runningRefreshing",
                             "stoppingSpinner", "workingSpinner"})
        EXPECT_NE(window->findChild<Spinner*>(name), nullptr) << name;
    // No bar whose style loops whatever the motion setting says.
    for (auto* bar : window->findChildren<QProgressBar*>())
        EXPECT_NE(bar->minimum(), bar->maximum()) << bar->objectName().toStdString();
    h.store.user.runAll();
    ASSERT_FALSE(Settings::standard().remove("skin"));
}

TEST(WindowTop, TheListsCleansComeToTheCardAndTheCpuMeterShowsTheRunningSection) {
    test::ScenesHarness h;
    h.store.catalog = {test::category("caches")};
    h.store.contents["caches"] = {test::item("a", 10)};
    h.start();
    WindowTop& top = topOf(h);
    auto* content = qobject_cast<MainContent*>(h.scenes->mainWindow()->content());
    ASSERT_NE(content, nullptr);
    EXPECT_EQ(top.heroRow()->parentWidget(), content) << "the hero sits under the filter bar";

    emit content->cleanRequested(
        MainActions::Confirmation{MainActions::Confirmation::Kind::category,
                                  h.scenes->store().categories()[0],
                                  {test::item("a", 10)}});
    ASSERT_NE(top.presenter()->card(), nullptr);
    EXPECT_TRUE(top.confirmation()) << "the card holds it now";
    top.presenter()->card()->confirmButton()->click();
    h.store.user.runAll();
    ASSERT_EQ(h.store.cleans.size(), 1u);

    content->setLevelFilter("Red Flag");
    content->refreshNow();
    auto sampling = h.scenes->store().vitals().sample();
    h.store.user.runAll();
    top.header()->cpuMeter()->click();
    test::settle();
    EXPECT_EQ(content->listSettings().levelFilter, "");
    EXPECT_TRUE(content->list()->shownOrder().contains("running-now"));
}

TEST(MainWindow, OpensWithTheRowsOfAListMadeInItsSkin) {
    // Each row's buttons and its own size, by category id.
    using Looks = std::map<std::string, std::tuple<QSize, QSize, QSize>>;
    auto looks = [](CategoryList& list) {
        Looks made;
        for (const auto& name : list.shownOrder()) {
            if (!name.startsWith("row-")) continue;
            const CategoryRow* row = list.row(name.mid(4).toStdString());
            made[row->category().id] = {row->detailsButton()->sizeHint(),
                                        row->actionButton()->sizeHint(), row->sizeHint()};
        }
        return made;
    };
    for (Skin skin : Skins::allCases) {
        // The window dresses itself from the stored skin, as at launch.
        ASSERT_FALSE(Settings::standard().set("skin", Skins::rawValue(skin).toStdString()));
        test::ScenesHarness h;
        // More rows than the list makes in one turn, found empty and not.
        for (int i = 0; i < 9; ++i) {
            auto c = test::category(std::string(1, char('a' + i)));
            if (i % 3 == 0) h.store.contents[c.id] = {test::item(c.id, 1000)};
            h.store.catalog.push_back(c);
        }
        h.start();
        h.scenes->openMainWindow();
        test::settle();
        h.store.user.runAll();
        test::settle();
        auto* content = qobject_cast<MainContent*>(h.scenes->mainWindow()->content());
        ASSERT_NE(content, nullptr);
        EXPECT_EQ(skinOf(content), skin);

        // The same store in a list made inside a window of that skin from the start.
        SkinBackdrop window;
        dressWindow(&window, skin);
        MainContent fresh(h.scenes->store(), *h.store.settings, {}, &window);
        window.resize(h.scenes->mainWindow()->size());
        fresh.resize(content->size());
        window.show();
        test::settle();
        const Looks want = looks(*fresh.list());
        EXPECT_EQ(want.size(), 9u);
        EXPECT_EQ(looks(*content->list()), want) << Skins::rawValue(skin).toStdString();
    }
    ASSERT_FALSE(Settings::standard().remove("skin"));
}
