// The details sheet over a harness store: the table and its order, the effective selection,
// the clean and move confirmations, every-app mode and the hand-off to the uninstaller.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include "app/gui/gui_support.h"
#include "appearance/confirm_card.h"
#include "appearance/window_dressing.h"
#include "sheets/details_sheet.h"
#include "sheets/item_table.h"
#include "sheets/sheet_frame.h"
#include "sheets/sheets.h"
#include "sheets/uninstall_sheet.h"

using namespace bramwick;
using bramwick::test::item;

namespace {

CleanupCategory downloads(Risk risk = Risk::caution) {
    auto made = test::category("downloads", risk, CleanAction::Kind::trash);
    made.name = "Old downloads";
    made.info = "Files you downloaded long ago.";
    return made;
}

QString text(QWidget& root, const char* name) {
    auto* label = root.findChild<QLabel*>(name);
    return label ? label->text() : QString("<none>");
}

QPushButton* button(QWidget& root, const char* name) {
    return root.findChild<QPushButton*>(name);
}

std::vector<std::string> names(const std::vector<ScanItem>& items) {
    std::vector<std::string> out;
    for (const auto& i : items)
        out.push_back(i.name);
    return out;
}

std::vector<std::string> shownNames(ItemTable& table) {
    std::vector<std::string> out;
    for (int row = 0; row < table.itemModel()->rowCount(); ++row)
        out.push_back(table.itemModel()->at(row).name);
    return out;
}

struct Fixture {
    Fixture() {
        test::guiApplication();
        h.access = false;
        h.catalog = {downloads()};
        h.contents["downloads"] = {item("b.iso", 3'000'000), item("a.zip", 1'000'000),
                                   item("c.mkv", 2'000'000)};
        store = h.make();
        auto scanning = store->scan(downloads());
        h.user.runAll();
    }
    test::StoreHarness h;
    std::unique_ptr<Store> store;
};

// The applications category, scanned, in a details sheet over a window: Old.app unused, Fresh.app
// opened yesterday. Each lookup plans the application asked about; an uninstall removes it.
struct AppsFixture {
    AppsFixture() {
        test::guiApplication();
        h.access = false;
        auto apps = test::category(Store::applicationsId, Risk::caution, CleanAction::Kind::trash);
        apps.name = "Unused apps";
        apps.source.kind = Source::Kind::applications;
        h.catalog = {apps};
        old.lastUsed = h.now - std::chrono::hours(24 * 400);
        fresh.lastUsed = h.now - std::chrono::hours(24);
        h.contents[Store::applicationsId] = {old, fresh};
        StoreServices services = h.services();
        services.uninstallPlan = [](const ScanItem& app) {
            UninstallPlan plan;
            plan.id = "plan-" + app.name;
            plan.app = app;
            return plan;
        };
        services.uninstall = [](const ScanItem& app, const std::vector<AppLeftover>&) {
            Cleaner::Outcome outcome;
            outcome.cleaned.push_back(app);
            return outcome;
        };
        store = std::make_unique<Store>(services);
        test::deliver();
        auto scanning = store->scan(apps);
        h.user.runAll();
        window = std::make_unique<QWidget>();
        window->show();
        sheet = Sheets::openDetails(window.get(), *store, Store::applicationsId)
                    ->findChild<DetailsSheet*>();
    }
    test::StoreHarness h;
    ScanItem old = item("Old.app", 5'000'000);
    ScanItem fresh = item("Fresh.app", 7'000'000);
    std::unique_ptr<Store> store;
    std::unique_ptr<QWidget> window; // made once the widget application exists
    DetailsSheet* sheet = nullptr;
};

// The applications the visible uninstall sheets over `root` are about, by their shown path.
std::vector<std::string> openUninstallSheets(QWidget& root) {
    std::vector<std::string> out;
    for (auto* sheet : root.findChildren<UninstallSheet*>())
        if (sheet->isVisible())
            out.push_back(sheet->findChild<QLabel*>("uninstallSubtitle")->text().toStdString());
    return out;
}

} // namespace

TEST(DetailsSheet, ANeverScannedCategoryShowsItsHeaderAndAnEmptyTable) {
    test::guiApplication();
    test::StoreHarness h;
    h.access = false;
    auto review = test::category("mail", Risk::danger, CleanAction::Kind::reviewOnly);
    review.name = "Mail downloads";
    review.info = "Attachments you opened.";
    review.action.advice = "Delete them in the mail program.";
    h.catalog = {review};
    auto store = h.make();
    DetailsSheet sheet(*store, review, false);
    EXPECT_EQ(sheet.table()->itemModel()->rowCount(), 0);
    EXPECT_EQ(text(sheet, "categoryName"), "Mail downloads");
    EXPECT_EQ(text(sheet, "levelTitle"), "Protected");
    EXPECT_EQ(text(sheet, "categoryInfo"), "Attachments you opened.");
    EXPECT_EQ(text(sheet, "advice"), "Delete them in the mail program.");
    EXPECT_EQ(text(sheet, "summary"), "0 items \u00b7 Zero KB");
    EXPECT_EQ(button(sheet, "cleanSelected"), nullptr) << "review only: nothing to clean";
}

TEST(DetailsSheet, TheLevelTitleTakesTheLevelsColourAndTheColumnsKeepTheirWidths) {
    Fixture f;
    for (Skin skin : Skins::allCases) {
        QWidget window;
        auto* sheet = new DetailsSheet(*f.store, downloads(), false, &window);
        dressWindow(&window, skin);
        window.show();
        QApplication::processEvents();
        auto* title = sheet->findChild<QLabel*>("levelTitle");
        EXPECT_EQ(title->text(), "Review");
        EXPECT_EQ(title->palette().color(QPalette::WindowText),
                  Skins::palette(skin, window.palette()).level(Level::warning))
            << Skins::rawValue(skin).toStdString();
    }

    DetailsSheet sheet(*f.store, downloads(), false);
    QHeaderView* header = sheet.table()->horizontalHeader();
    EXPECT_EQ(header->sectionSize(ItemTableModel::size), 90);
    EXPECT_EQ(header->sectionSize(ItemTableModel::date), 110);
    struct Case {
        int column, asked, got;
    } cases[] = {{ItemTableModel::size, 300, 110}, {ItemTableModel::size, 20, 70},
                 {ItemTableModel::size, 100, 100}, {ItemTableModel::date, 40, 90},
                 {ItemTableModel::date, 400, 130}, {ItemTableModel::date, 120, 120}};
    for (const Case& c : cases) {
        header->resizeSection(c.column, c.asked);
        EXPECT_EQ(header->sectionSize(c.column), c.got) << c.column << " asked " << c.asked;
    }
}

TEST(DetailsSheet, RowsKeepTheStoreOrderUntilAColumnIsSortedAndKeepTheSelection) {
    Fixture f;
    DetailsSheet sheet(*f.store, downloads(), false);
    auto& table = *sheet.table();
    EXPECT_EQ(shownNames(table), (std::vector<std::string>{"b.iso", "a.zip", "c.mkv"}));
    EXPECT_EQ(table.model()->headerData(2, Qt::Horizontal).toString(), "Modified");

    table.selectRow(1); // a.zip
    table.horizontalHeader()->setSortIndicator(ItemTableModel::size, Qt::AscendingOrder);
    EXPECT_EQ(shownNames(table), (std::vector<std::string>{"a.zip", "c.mkv", "b.iso"}));
    EXPECT_EQ(names(sheet.selected()), std::vector<std::string>{"a.zip"});
    EXPECT_EQ(table.selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(table.selectionModel()->selectedRows()[0].row(), 0) << "the same item, moved";

    table.horizontalHeader()->setSortIndicator(ItemTableModel::size, Qt::DescendingOrder);
    EXPECT_EQ(shownNames(table), (std::vector<std::string>{"b.iso", "c.mkv", "a.zip"}));
    table.horizontalHeader()->setSortIndicator(ItemTableModel::name, Qt::AscendingOrder);
    EXPECT_EQ(shownNames(table), (std::vector<std::string>{"a.zip", "b.iso", "c.mkv"}));
}

TEST(DetailsSheet, SelectAllCountsTheSelectionAndARescanDropsWhatLeft) {
    Fixture f;
    DetailsSheet sheet(*f.store, downloads(), false);
    EXPECT_EQ(text(sheet, "summary"), "3 items \u00b7 6 MB");
    EXPECT_FALSE(button(sheet, "revealSelected")->isEnabled());
    EXPECT_FALSE(button(sheet, "cleanSelected")->isEnabled());
    EXPECT_FALSE(button(sheet, "moveTo")->isEnabled());

    button(sheet, "selectAll")->click();
    EXPECT_EQ(text(sheet, "summary"), "3 selected \u00b7 6 MB");
    EXPECT_TRUE(button(sheet, "cleanSelected")->isEnabled());
    EXPECT_EQ(sheet.table()->selectionModel()->selectedRows().size(), 3);

    // The scan finds one item fewer: the selection still names it, but only listed items count.
    f.h.contents["downloads"].erase(f.h.contents["downloads"].begin());
    auto scanning = f.store->scan(downloads());
    f.h.user.runAll();
    EXPECT_EQ(sheet.table()->selection().size(), 3u);
    EXPECT_EQ(names(sheet.selected()), (std::vector<std::string>{"a.zip", "c.mkv"}));
    EXPECT_EQ(text(sheet, "summary"), "2 selected \u00b7 3 MB");

    button(sheet, "revealSelected")->click();
    ASSERT_EQ(f.h.revealed.size(), 1u);
    EXPECT_EQ(f.h.revealed[0].size(), 2u);
}

// A hundred thousand items are neither copied into the sheet nor compared at every change of the
// category's flags: the table holds the store's own list and resets only when the items change.
TEST(DetailsSheet, TheTableHoldsTheStoresOwnListAndResetsOnlyWhenTheItemsChange) {
    Fixture f;
    DetailsSheet sheet(*f.store, downloads(), false);
    ItemTableModel* model = sheet.table()->itemModel();
    auto shared = [&] { return model->list().sameList(f.store->state("downloads")->items); };
    EXPECT_TRUE(shared());
    int resets = 0;
    QObject::connect(model, &QAbstractItemModel::modelReset, [&] { ++resets; });

    // Scanning, then scanned again with the same items: the rows stay, over the new list.
    auto again = f.store->scan(downloads());
    EXPECT_TRUE(f.store->state("downloads")->scanning);
    f.h.user.runAll();
    EXPECT_FALSE(f.store->state("downloads")->scanning);
    EXPECT_EQ(resets, 0);
    EXPECT_TRUE(shared());

    f.h.contents["downloads"].push_back(item("d.txt", 4'000'000));
    auto more = f.store->scan(downloads());
    f.h.user.runAll();
    EXPECT_EQ(resets, 1);
    EXPECT_TRUE(shared());
    EXPECT_EQ(shownNames(*sheet.table()),
              (std::vector<std::string>{"b.iso", "a.zip", "c.mkv", "d.txt"}));
    EXPECT_EQ(text(sheet, "summary"), "4 items · 10 MB");
}

TEST(DetailsSheet, CleanAsksFirstAndCancelKeepsTheSelection) {
    Fixture f;
    DetailsSheet sheet(*f.store, downloads(), false);
    sheet.resize(780, 500);
    sheet.show();
    sheet.table()->selectRow(0);
    button(sheet, "cleanSelected")->click();
    auto* card = sheet.confirmPresenter()->card();
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->findChild<QLabel*>("confirmTitle")->text(), "Clean 1 item?");
    EXPECT_EQ(card->findChild<QLabel*>("confirmMessage")->text(),
              "3 MB. These will be moved to the Trash. Space is freed once you empty the Trash.");
    card->cancelButton()->click();
    EXPECT_EQ(names(sheet.selected()), std::vector<std::string>{"b.iso"});
    EXPECT_TRUE(f.h.cleans.empty());

    sheet.table()->selectAllItems();
    button(sheet, "cleanSelected")->click();
    card = sheet.confirmPresenter()->card();
    EXPECT_EQ(card->findChild<QLabel*>("confirmTitle")->text(), "Clean 3 items?");
    card->confirmButton()->click();
    EXPECT_TRUE(sheet.selected().empty()) << "emptied before the clean starts";
    // While the store cleans, the sheet says so and starts nothing else on the category.
    EXPECT_TRUE(sheet.findChild<QWidget*>("workingOverlay")->isVisible());
    sheet.table()->selectAllItems();
    EXPECT_FALSE(button(sheet, "cleanSelected")->isEnabled());
    EXPECT_FALSE(button(sheet, "moveTo")->isEnabled());
    f.h.user.runAll();
    ASSERT_EQ(f.h.cleans.size(), 1u);
    EXPECT_EQ(f.h.cleans[0].second.size(), 3u);
    EXPECT_FALSE(sheet.findChild<QWidget*>("workingOverlay")->isVisible());
    EXPECT_EQ(text(sheet, "summary"), "0 items \u00b7 Zero KB");
}

// A card left open while the category is rescanned speaks of, and cleans, only what is still
// selected; it goes away when nothing of it is left.
TEST(DetailsSheet, AnOpenCleanCardFollowsWhatARescanLeavesSelected) {
    Fixture f;
    DetailsSheet sheet(*f.store, downloads(), false);
    sheet.resize(780, 500);
    sheet.show();
    sheet.table()->setSelection({item("b.iso", 0).id, item("a.zip", 0).id});
    button(sheet, "cleanSelected")->click();
    auto* card = sheet.confirmPresenter()->card();
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->findChild<QLabel*>("confirmTitle")->text(), "Clean 2 items?");

    // b.iso went away meanwhile (the automatic clean took it, say).
    f.h.contents["downloads"].erase(f.h.contents["downloads"].begin());
    auto scanning = f.store->scan(downloads());
    f.h.user.runAll();
    ASSERT_EQ(sheet.confirmPresenter()->card(), card);
    EXPECT_EQ(card->findChild<QLabel*>("confirmTitle")->text(), "Clean 1 item?");
    EXPECT_EQ(card->findChild<QLabel*>("confirmMessage")->text(),
              "1 MB. These will be moved to the Trash. Space is freed once you empty the Trash.");
    card->confirmButton()->click();
    f.h.user.runAll();
    ASSERT_EQ(f.h.cleans.size(), 1u);
    EXPECT_EQ(names(f.h.cleans[0].second), std::vector<std::string>{"a.zip"});

    // Nothing selected is left: the card goes.
    sheet.table()->setSelection({item("c.mkv", 0).id});
    button(sheet, "cleanSelected")->click();
    ASSERT_NE(sheet.confirmPresenter()->card(), nullptr);
    f.h.contents["downloads"].clear();
    auto again = f.store->scan(downloads());
    f.h.user.runAll();
    EXPECT_EQ(sheet.confirmPresenter()->card(), nullptr);
    EXPECT_EQ(f.h.cleans.size(), 1u);
}

// Another clean of the category started under an open card (Clean All Safe from the menu bar,
// the automatic clean): confirming starts no second one; the card waits for it to end.
TEST(DetailsSheet, AnOpenCleanCardStartsNothingWhileTheCategoryIsBeingCleaned) {
    test::guiApplication();
    test::StoreHarness h;
    h.access = false;
    auto caches = test::category("caches");
    h.catalog = {caches};
    h.contents["caches"] = {item("a", 1'000'000), item("b", 2'000'000), item("c", 3'000'000)};
    auto store = h.make();
    auto scanning = store->scan(caches);
    h.user.runAll();
    DetailsSheet sheet(*store, caches, false);
    sheet.resize(780, 500);
    sheet.show();
    sheet.table()->setSelection({item("a", 0).id, item("b", 0).id});
    button(sheet, "cleanSelected")->click();
    auto* card = sheet.confirmPresenter()->card();
    ASSERT_NE(card, nullptr);

    h.contents["caches"].push_back(item("d", 4'000'000)); // arrives, never selected
    auto all = store->cleanAllSafe();
    ASSERT_TRUE(store->state("caches")->cleaning);
    EXPECT_FALSE(card->confirmButton()->isEnabled());
    QTest::keyClick(card, Qt::Key_Return);
    const std::size_t pending = h.user.pending();
    card->confirmButton()->click();
    EXPECT_EQ(h.user.pending(), pending);
    EXPECT_EQ(sheet.confirmPresenter()->card(), card) << "still asking";

    h.user.runAll();
    ASSERT_EQ(h.cleans.size(), 1u) << "only Clean All Safe's";
    EXPECT_EQ(sheet.confirmPresenter()->card(), nullptr) << "what it asked about is gone";
}

TEST(DetailsSheet, MoveAsksForAFolderWithoutBlockingAndMovesTheSelection) {
    Fixture f;
    QWidget window;
    window.show();
    DetailsSheet* sheet = nullptr;
    {
        auto* dialog = Sheets::openDetails(&window, *f.store, "downloads");
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
        sheet = dialog->findChild<DetailsSheet*>();
    }
    QTemporaryDir empty;
    sheet->setMountParents({empty.path().toStdString()});
    sheet->table()->selectRow(2);
    button(*sheet, "moveTo")->click();
    QFileDialog* chooser = sheet->moveDialog();
    ASSERT_NE(chooser, nullptr);
    EXPECT_TRUE(chooser->isVisible()) << "opened, and the test goes on: no nested loop";
    EXPECT_EQ(chooser->windowModality(), Qt::WindowModal);
    EXPECT_EQ(chooser->fileMode(), QFileDialog::Directory);
    chooser->reject();
    EXPECT_EQ(names(sheet->selected()), std::vector<std::string>{"c.mkv"}) << "cancel keeps it";
    EXPECT_TRUE(f.h.moves.empty());

    QTemporaryDir target;
    button(*sheet, "moveTo")->click();
    chooser = sheet->moveDialog();
    chooser->setDirectory(target.path());
    chooser->selectFile(target.path());
    QMetaObject::invokeMethod(chooser, "accept");
    EXPECT_TRUE(sheet->selected().empty());
    f.h.user.runAll();
    ASSERT_EQ(f.h.moves.size(), 1u);
    EXPECT_EQ(names(f.h.moves[0].first), std::vector<std::string>{"c.mkv"});
    EXPECT_EQ(f.h.moves[0].second, target.path().toStdString());
}

TEST(DetailsSheet, EveryAppModeListsAllApplicationsAndHandsOneToTheUninstaller) {
    AppsFixture f;
    auto& sheet = *f.sheet;
    auto& h = f.h;
    auto& store = *f.store;
    EXPECT_EQ(sheet.table()->model()->headerData(2, Qt::Horizontal).toString(), "Last Opened");
    EXPECT_EQ(shownNames(*sheet.table()), std::vector<std::string>{"Old.app"});
    sheet.table()->selectRow(0);
    sheet.findChild<QCheckBox*>("showEveryApp")->setChecked(true);
    EXPECT_EQ(shownNames(*sheet.table()), (std::vector<std::string>{"Old.app", "Fresh.app"}));
    sheet.findChild<QCheckBox*>("showEveryApp")->setChecked(false);
    EXPECT_EQ(names(sheet.selected()), std::vector<std::string>{"Old.app"});

    sheet.findChild<QCheckBox*>("showEveryApp")->setChecked(true);
    sheet.table()->selectRow(1);
    ASSERT_TRUE(button(sheet, "uninstall")->isEnabled());
    button(sheet, "uninstall")->click();
    EXPECT_EQ(button(sheet, "uninstall")->text(), "Looking\u2026");
    EXPECT_FALSE(button(sheet, "uninstall")->isEnabled());
    h.user.runAll();
    auto* uninstall = sheet.findChild<UninstallSheet*>();
    ASSERT_NE(uninstall, nullptr) << "the plan opens the uninstall sheet over the details";
    EXPECT_TRUE(uninstall->isVisible());
    EXPECT_EQ(button(sheet, "uninstall")->text(), "Uninstall\u2026");

    // Its Cancel lets go of the plan and closes it.
    uninstall->findChild<QPushButton*>("cancel")->click();
    EXPECT_FALSE(store.uninstalls().plan());
    EXPECT_EQ(names(sheet.selected()), std::vector<std::string>{"Fresh.app"})
        << "cancelling keeps the selection";
}

// Escape closes the uninstall sheet over the details as its Cancel does; the sheet and its
// dialog go, and the details sheet is left to follow the plan's end.
TEST(DetailsSheet, EscapeOnTheUninstallSheetOverItLetsGoOfThePlan) {
    AppsFixture f;
    auto& sheet = *f.sheet;
    sheet.table()->selectRow(0);
    button(sheet, "uninstall")->click();
    f.h.user.runAll();
    QPointer<UninstallSheet> uninstall = sheet.findChild<UninstallSheet*>();
    ASSERT_NE(uninstall, nullptr);
    ASSERT_TRUE(uninstall->isVisible());
    QTest::keyClick(uninstall->window(), Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    EXPECT_FALSE(f.store->uninstalls().plan());
    EXPECT_TRUE(uninstall.isNull()) << "gone with its dialog";
    EXPECT_EQ(openUninstallSheets(sheet), std::vector<std::string>{});
    EXPECT_EQ(button(sheet, "uninstall")->text(), "Uninstall\u2026");
}

// Two lookups at once (the footer, then a row's menu): the flag stays up until both end, and the
// user ends up with the sheet of the application asked about last, whichever lookup ends first.
// A plan that arrives while an uninstall runs waits for that uninstall to end.
TEST(DetailsSheet, OverlappingLookupsEndWithTheSheetOfTheLastApplicationAskedAbout) {
    AppsFixture f;
    auto& sheet = *f.sheet;
    auto& h = f.h;
    auto& store = *f.store;
    sheet.findChild<QCheckBox*>("showEveryApp")->setChecked(true);
    sheet.table()->selectRow(0);
    button(sheet, "uninstall")->click(); // Old.app
    auto* table = sheet.table();
    emit table->customContextMenuRequested(table->visualRect(table->model()->index(1, 0)).center());
    auto* menu = sheet.findChild<QMenu*>("rowMenu");
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[1]->text(), "Uninstall Fresh.app\u2026");
    menu->actions()[1]->trigger();
    menu->close();
    ASSERT_EQ(h.user.pending(), 2u);

    h.user.run(1); // Fresh.app's lookup ends first
    EXPECT_EQ(openUninstallSheets(sheet), std::vector<std::string>{"/fixture/Fresh.app"});
    EXPECT_EQ(button(sheet, "uninstall")->text(), "Looking\u2026") << "Old.app's is still out";
    h.user.run(0);
    test::settle();
    EXPECT_EQ(openUninstallSheets(sheet), std::vector<std::string>{"/fixture/Fresh.app"});
    EXPECT_EQ(store.uninstalls().plan()->id, "plan-Fresh.app");
    EXPECT_FALSE(store.uninstalls().findingLeftovers());
    EXPECT_EQ(button(sheet, "uninstall")->text(), "Uninstall\u2026");

    // Fresh.app is being removed when a plan for Old.app arrives: its sheet stays to the end.
    auto* freshSheet = sheet.findChild<UninstallSheet*>();
    freshSheet->findChild<QPushButton*>("uninstall")->click();
    freshSheet->confirmPresenter()->card()->confirmButton()->click();
    auto finding = store.uninstalls().findLeftovers(f.old);
    ASSERT_EQ(h.user.pending(), 2u);
    h.user.run(1);
    test::settle();
    EXPECT_EQ(openUninstallSheets(sheet), std::vector<std::string>{"/fixture/Fresh.app"});
    h.user.runAll();
    test::settle();
    EXPECT_EQ(openUninstallSheets(sheet), std::vector<std::string>{"/fixture/Old.app"});
    EXPECT_EQ(store.uninstalls().plan()->id, "plan-Old.app");
}
