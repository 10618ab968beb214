// The main window's list over a store whose services are all faked: what it shows after each
// switch, drag, menu choice and store change, with animations off and no display.
#include "mainwindow/main_content.h"

#include "mainwindow/main_actions.h"

#include <filesystem>
#include <map>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QPointer>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include "appearance/button_style.h"
#include "appearance/motion.h"
#include "base/text.h"
#include "store/store_harness.h"
#include "support/fixture.h"

namespace bramwick {
namespace {

using test::category;
using test::item;

QApplication& gui() {
    static int argc = 1;
    static char name[] = "mainwindow_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        auto* made = new QApplication(argc, argv);
        Motion::setEnabled(false);
        installSkinStyle();
        return made;
    }();
    return *app;
}

struct Window {
    QApplication& app = gui();
    test::StoreHarness harness;
    std::unique_ptr<Store> store;
    std::vector<std::string> opened;
    std::unique_ptr<MainContent> content;
    // The window's toolbar over the same settings: its switches are the list's.
    std::unique_ptr<MainToolbar> toolbar;

    // `moreSafe` more safe caches, each holding 1 KB, after the five below.
    explicit Window(Skin skin = Skin::nightfall, int moreSafe = 0) {
        auto add = [&](CleanupCategory c, CategoryGroup group, std::vector<ScanItem> items) {
            c.group = group;
            c.symbol = "folder";
            harness.contents[c.id] = std::move(items);
            harness.catalog.push_back(std::move(c));
        };
        // safe: caches (3 KB), logs (empty); warning: builds (2 MB); red flag: photos (1 GB);
        // protected: advice (review only).
        add(category("caches"), CategoryGroup::caches, {item("c1", 1000), item("c2", 2000)});
        add(category("logs"), CategoryGroup::logs, {});
        add(category("builds", Risk::caution), CategoryGroup::developer, {item("b", 2'000'000)});
        add(category("photos", Risk::danger, CleanAction::Kind::trash), CategoryGroup::personal,
            {item("p", 1'000'000'000)});
        add(category("advice", Risk::safe, CleanAction::Kind::reviewOnly), CategoryGroup::system,
            {item("a", 10)});
        for (int i = 0; i < moreSafe; ++i)
            add(category("cache" + std::to_string(i)), CategoryGroup::caches,
                {item("k" + std::to_string(i), 1000)});
        store = harness.make();
        content = std::make_unique<MainContent>(
            *store, *harness.settings,
            MainContent::Desktop{[this](const std::string& path) { opened.push_back(path); }});
        dressWindow(content.get(), skin);
        content->resize(1000, 800);
        content->show();
        toolbar = std::make_unique<MainToolbar>(*store, *harness.settings, MainToolbar::Actions{});
        toolbar->show();
        settle();
    }

    void settle() {
        test::deliver();
        QApplication::processEvents();
        test::deliver();
        QApplication::processEvents();
    }
    CategoryList& list() { return *content->list(); }
    CategoryRow& row(const std::string& id) {
        auto* made = list().row(id);
        EXPECT_NE(made, nullptr) << id;
        return *made;
    }
    const CleanupCategory& stored(const std::string& id) {
        for (const auto& c : store->categories())
            if (c.id == id) return c;
        throw std::runtime_error("no category " + id);
    }
    void click(QWidget* widget) {
        ASSERT_NE(widget, nullptr);
        QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
        settle();
    }
    template <typename T = QWidget> T* find(const char* name) {
        if (auto* found = content->findChild<T*>(name)) return found;
        return toolbar->findChild<T*>(name);
    }
};

// A drag of `ids` entering `target`, then dropped on it (or leaving it).
void dragOver(QWidget* target, const QString& ids) {
    QMimeData mime;
    mime.setText(ids);
    QDragEnterEvent enter(target->rect().center(), Qt::MoveAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(target, &enter);
}
void leave(QWidget* target) {
    QDragLeaveEvent leaving;
    QApplication::sendEvent(target, &leaving);
}
bool drop(QWidget* target, const QString& ids) {
    QMimeData mime;
    mime.setText(ids);
    dragOver(target, ids);
    QDropEvent dropped(QPointF(target->rect().center()), Qt::MoveAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(target, &dropped);
    return dropped.isAccepted();
}

QStringList rowsOf(const QStringList& order) {
    QStringList rows;
    for (const auto& name : order)
        if (name.startsWith("row-")) rows << name.mid(4);
    return rows;
}

TEST(MainContent, ArrangementsFilterAndHideEmpty) {
    Window w;
    EXPECT_EQ(
        w.list().shownOrder(),
        (QStringList{"section-safe", "row-caches", "row-logs", "section-warning", "row-builds",
                     "section-redFlag", "row-photos", "section-protected", "row-advice"}));
    EXPECT_EQ(w.list().header("safe")->totalLabel()->text(), "3 KB");

    w.click(w.find("toolbar-arrange-group"));
    EXPECT_EQ(w.harness.settings->string("arrangement"), "group");
    EXPECT_EQ(w.list().shownOrder(),
              (QStringList{"section-caches", "row-caches", "section-logs", "row-logs",
                           "section-developer", "row-builds", "section-personal", "row-photos",
                           "section-system", "row-advice"}));
    EXPECT_FALSE(w.list().header("caches")->addFolderButton()->isVisibleTo(w.content.get()));

    w.click(w.find("toolbar-arrange-size"));
    EXPECT_EQ(w.list().shownOrder(),
              (QStringList{"row-photos", "row-builds", "row-caches", "row-advice", "row-logs"}));

    w.click(w.find("toolbar-hide-empty"));
    EXPECT_EQ(w.harness.settings->boolean("hideEmpty"), true);
    EXPECT_EQ(rowsOf(w.list().shownOrder()), (QStringList{"photos", "builds", "caches", "advice"}));

    w.click(w.content->filterBar()->chip("chip-warning"));
    EXPECT_EQ(w.harness.settings->string("levelFilter"), "Yellow Warning");
    EXPECT_EQ(w.list().shownOrder(), (QStringList{"row-builds"}));
    EXPECT_TRUE(w.content->filterBar()->chip("chip-warning")->chip().selected);

    w.click(w.content->filterBar()->chip("chip-all"));
    w.click(w.find("toolbar-arrange-level"));
    EXPECT_EQ(w.list().shownOrder().first(), "section-safe");
    // Nothing of this reached the store.
    EXPECT_EQ(w.store->categories().size(), 5u);
}

TEST(MainContent, AChosenChipShowsItsLevelFromTheTop) {
    Window w(Skin::nightfall, 12);
    w.content->resize(1000, 500); // too short even for the one level
    w.settle();
    QScrollBar* bar = w.list().scrollArea()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(bar->maximum());
    w.click(w.content->filterBar()->chip("chip-safe"));
    EXPECT_EQ(w.list().shownOrder().first(), "section-safe");
    ASSERT_GT(bar->maximum(), 0) << "the level alone still scrolls";
    EXPECT_EQ(bar->value(), 0);
    QWidget* first = w.list().header("safe");
    EXPECT_GE(first->mapTo(w.list().scrollArea()->viewport(), QPoint(0, 0)).y(), 0)
        << "its header in view";
}

TEST(MainContent, ChangesInOneTurnMakeOneRefresh) {
    Window w;
    const int before = w.content->refreshes();
    w.store->move({"caches"}, Level::warning);
    w.store->move({"builds"}, Level::redFlag);
    w.content->setHideEmpty(true);
    w.harness.settings->set("skin", "hibernia");
    EXPECT_TRUE(w.content->refreshPending());
    w.settle();
    EXPECT_EQ(w.content->refreshes(), before + 1);
    EXPECT_EQ(rowsOf(w.list().shownOrder()), (QStringList{"caches", "builds", "photos", "advice"}));
}

TEST(MainContent, TheFirstBuildMakesAFewRowsATurnAndEndsInThePlansOrder) {
    gui();
    test::StoreHarness harness;
    const int count = int(MainContent::rowsPerTurn) * 2 + 3;
    for (int i = 0; i < count; ++i) {
        std::string id = "c";
        id += std::to_string(i); // not "c" + …: GCC 12 warns of an overlap that is not there
        auto c = category(id);
        c.symbol = "folder";
        harness.contents[c.id] = {item("x", (i + 1) * 1000)};
        harness.catalog.push_back(c);
    }
    auto store = harness.make();
    MainContent content(*store, *harness.settings);
    dressWindow(&content, Skin::nightfall);
    content.resize(1000, 800);
    content.show();
    QStringList first = rowsOf(content.list()->shownOrder());
    ASSERT_EQ(first.size(), int(MainContent::rowsPerTurn));
    EXPECT_EQ(first.front(), "c0");
    EXPECT_EQ(first.back(), QString::fromStdString("c" + std::to_string(first.size() - 1)));
    EXPECT_EQ(content.list()->row("c" + std::to_string(count - 1)), nullptr);
    EXPECT_TRUE(content.refreshPending()) << "the rest comes on later turns";
    // A change in between: the rows still to come take the new order too.
    content.setArrangement(ListPlan::Arrangement::size);
    int turns = 0;
    for (; content.refreshPending() && turns < 20; ++turns)
        QApplication::processEvents();
    EXPECT_GE(turns, 2);
    const QStringList rows = rowsOf(content.list()->shownOrder());
    ASSERT_EQ(rows.size(), count);
    for (int i = 0; i < count; ++i) {
        const std::string id = "c" + std::to_string(count - 1 - i); // largest first
        EXPECT_EQ(rows[i], QString::fromStdString(id));
        EXPECT_EQ(content.list()->row(id)->sizeLabel()->text(),
                  QString::fromStdString(Text::byteCount((count - i) * 1000)));
    }
    {
        // Rows made and shown before the list is laid out again never cover one another.
        MainContent other(*store, *harness.settings);
        dressWindow(&other, Skin::nightfall);
        other.resize(1000, 800);
        other.show();
        QApplication::processEvents();
        other.refreshNow(); // every row made, the layout still to come
        std::vector<QRect> seen;
        for (int i = 0; i < count; ++i) {
            const QWidget* row = other.list()->row("c" + std::to_string(i));
            ASSERT_NE(row, nullptr);
            if (!row->isVisible() || row->geometry().bottom() < 0) continue;
            for (const QRect& earlier : seen)
                EXPECT_FALSE(earlier.intersects(row->geometry())) << "c" << i;
            seen.push_back(row->geometry());
        }
    }
}

TEST(MainContent, EmptyStateAndKeptSections) {
    Window w;
    EXPECT_FALSE(w.list().emptyState()->isVisible());
    // A title instead of a raw value matches nothing.
    w.harness.settings->set("levelFilter", "Review");
    w.settle();
    EXPECT_TRUE(w.list().emptyState()->isVisible());
    EXPECT_TRUE(w.list().shownOrder().isEmpty());

    // With no filter, an empty movable level keeps its header so rows can still be dropped.
    w.harness.settings->set("levelFilter", "");
    w.harness.settings->set("hideEmpty", true);
    w.store->move({"caches"}, Level::warning);
    w.settle();
    EXPECT_EQ(w.list().shownOrder().first(), "section-safe");
    EXPECT_EQ(w.list().shownOrder()[1], "section-warning");
    EXPECT_EQ(w.list().header("safe")->totalLabel()->text(), "Zero KB");
    EXPECT_FALSE(w.list().emptyState()->isVisible());
}

TEST(MainContent, DraggingBetweenLevels) {
    Window w;
    // Onto a row of another level: the category joins that level.
    CategoryRow* builds = &w.row("builds");
    EXPECT_TRUE(drop(builds, "caches"));
    EXPECT_EQ(w.stored("caches").level(), Level::warning);
    w.settle();
    EXPECT_EQ(rowsOf(w.list().shownOrder()).mid(0, 3), (QStringList{"logs", "caches", "builds"}));
    EXPECT_EQ(w.row("caches").badgeLabel()->text(), "Moved by you");

    // Onto a section header; the header lights while the drag is over it.
    SectionHeader* redFlag = w.list().header("redFlag");
    dragOver(redFlag, "caches");
    EXPECT_TRUE(redFlag->highlighted());
    dragOver(w.list().header("warning"), "caches"); // the highlight moves on
    EXPECT_TRUE(w.list().header("warning")->highlighted());
    EXPECT_FALSE(redFlag->highlighted());
    leave(w.list().header("warning"));
    EXPECT_FALSE(w.list().header("warning")->highlighted());
    EXPECT_TRUE(drop(redFlag, "caches\nlogs\nnothing-of-ours"));
    EXPECT_FALSE(redFlag->highlighted());
    EXPECT_EQ(w.stored("caches").level(), Level::redFlag);
    EXPECT_EQ(w.stored("logs").level(), Level::redFlag);

    // Back to where it came from: the override goes.
    EXPECT_TRUE(drop(w.list().header("safe"), "caches"));
    EXPECT_EQ(w.stored("caches").movedFrom, std::nullopt);
    EXPECT_FALSE(w.harness.settings->value("levelOverrides")->contains("caches"));

    // Protected and group sections take nothing; a review-only row cannot be dragged.
    w.settle();
    EXPECT_FALSE(drop(w.list().header("protected"), "builds"));
    EXPECT_FALSE(drop(&w.row("advice"), "builds"));
    EXPECT_EQ(w.stored("builds").level(), Level::warning);
    EXPECT_EQ(categoryMime(w.stored("advice")), nullptr);
    EXPECT_EQ(categoryMime(w.stored("builds"))->text(), "builds");
}

TEST(MainContent, DroppingOnAFilterChip) {
    Window w;
    auto* chip = w.content->filterBar()->chip("chip-redFlag");
    dragOver(chip, "builds");
    EXPECT_TRUE(chip->outlined());
    EXPECT_FALSE(w.list().header("redFlag")->highlighted()); // a hover state of its own
    EXPECT_TRUE(drop(chip, "builds"));
    EXPECT_FALSE(chip->outlined());
    EXPECT_EQ(w.stored("builds").level(), Level::redFlag);
    for (const char* name : {"chip-protected", "chip-all"}) {
        auto* other = w.content->filterBar()->chip(name);
        EXPECT_FALSE(drop(other, "caches")) << name;
        EXPECT_FALSE(other->outlined());
    }
    EXPECT_EQ(w.stored("caches").level(), Level::safe);
}

TEST(MainContent, TheFilterBarShowsTotalsOnlyWhenTheyFitAndKeepsItsChipsInside) {
    Window w;
    LevelFilterBar bar(*w.store);
    ListPlan::States states = w.store->states();
    auto show = [&] { bar.show(w.store->categories(), states, "", Skin::nightfall); };
    auto resize = [&](int width) { bar.resize(width, bar.sizeHint().height()); };
    auto needed = [&] {
        std::vector<int> widths;
        for (const auto* chip : bar.chips())
            widths.push_back(chip->capsuleWidth(true));
        return ListPlan::chipRowWidth(widths);
    };
    // The capsules: 20 in from the left, 8 apart, the last one 20 or more in from the right.
    auto expectInside = [&](int width) {
        const int glow = FilterChip::glow;
        int left = ListPlan::chipBarPadding;
        for (const auto* chip : bar.chips()) {
            const QRect capsule = chip->geometry().adjusted(glow, glow, -glow, -glow);
            EXPECT_EQ(capsule.left(), left) << chip->objectName().toStdString() << " at " << width;
            left = capsule.left() + capsule.width() + ListPlan::chipSpacing;
        }
        EXPECT_LE(left - ListPlan::chipSpacing, width - ListPlan::chipBarPadding) << width;
    };

    show();
    bar.setVisible(true);
    resize(1000);
    const int wide = needed();
    // Narrowed and widened again, across the edge and back.
    for (int width : {wide, wide - 1, wide + 150, wide - 1, wide}) {
        resize(width);
        const bool fits = width >= wide;
        EXPECT_EQ(bar.showsTotals(), fits) << width;
        for (const auto* chip : bar.chips())
            EXPECT_EQ(chip->chip().showsTotal, fits && chip->chip().level.has_value());
        expectInside(width);
    }

    // A scan finds more: the wider totals no longer fit the same width.
    states["photos"].items = {item("p", 123'456'789'012)};
    states["photos"].total = 123'456'789'012;
    show();
    EXPECT_GT(needed(), wide);
    EXPECT_FALSE(bar.showsTotals());
    expectInside(wide);
    // The bar asks for no more than its chips without totals take.
    EXPECT_LT(bar.minimumSizeHint().width(), wide);
}

TEST(MainContent, MoveToAndMoveBack) {
    Window w;
    std::unique_ptr<QMenu> menu(w.row("caches").contextMenu(nullptr));
    ASSERT_NE(menu, nullptr);
    auto* target = menu->findChild<QAction*>("move-to-redFlag");
    ASSERT_NE(target, nullptr);
    EXPECT_FALSE(menu->findChild<QAction*>("move-to-safe")->isEnabled());
    EXPECT_EQ(menu->findChild<QAction*>("move-back"), nullptr);
    target->trigger();
    w.settle();
    EXPECT_EQ(w.row("caches").dropLevel(), Level::redFlag);
    EXPECT_EQ(w.row("caches").badgeLabel()->toolTip(),
              "Normally in Safe to Remove. Right-click to move it back.");

    menu.reset(w.row("caches").contextMenu(nullptr));
    auto* back = menu->findChild<QAction*>("move-back");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->text(), "Move Back to Safe to Remove");
    back->trigger();
    w.settle();
    EXPECT_EQ(w.row("caches").dropLevel(), Level::safe);
    EXPECT_TRUE(w.row("caches").badgeLabel()->isHidden());
    EXPECT_FALSE(w.harness.settings->value("levelOverrides")->contains("caches"));
    EXPECT_EQ(w.row("advice").contextMenu(nullptr), nullptr);
}

TEST(MainContent, AddingAndRemovingAFolderOfYourOwn) {
    Window w;
    const std::string folder = test::makeTemporaryFolder("mine");
    w.harness.chosenFolders = {folder};
    auto* add = w.list().header("warning")->addFolderButton();
    EXPECT_EQ(add->toolTip(), "Add a folder of your own to Review");
    w.click(add);
    w.harness.user.runAll();
    w.settle();
    ASSERT_EQ(w.store->customFolders().size(), 1u);
    const std::string id = w.store->customFolders()[0].id;
    CategoryRow* mine = &w.row(id);
    EXPECT_EQ(mine->dropLevel(), Level::warning);
    EXPECT_EQ(mine->badgeLabel()->text(), "Your folder");

    QMenu* menu = mine->contextMenu(mine);
    menu->findChild<QAction*>("show-folder")->trigger();
    EXPECT_EQ(w.opened, std::vector<std::string>{w.store->customFolders()[0].path});
    QPointer<CategoryRow> watched(mine);
    menu->findChild<QAction*>("remove-folder")->trigger();
    EXPECT_TRUE(w.store->customFolders().empty());
    // The row that ran the menu outlives the change; it goes once the list has moved on.
    EXPECT_FALSE(watched.isNull());
    w.settle();
    EXPECT_FALSE(rowsOf(w.list().shownOrder()).contains(QString::fromStdString(id)));
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watched.isNull());
    EXPECT_TRUE(std::filesystem::exists(folder)); // nothing on disk is touched
    test::removeTree(folder);
}

TEST(MainContent, RowWhileScanningAndCleaning) {
    for (Skin skin : {Skin::nightfall, Skin::classic}) {
        Window w(skin);
        CategoryRow& caches = w.row("caches");
        EXPECT_EQ(caches.sizeLabel()->text(), "3 KB");
        w.click(caches.rescanButton());
        // The scan waits in the fake pool: the row shows it is measuring.
        EXPECT_TRUE(caches.busyIndicator()->isVisible());
        EXPECT_FALSE(caches.sizeLabel()->isVisible());
        EXPECT_FALSE(caches.rescanButton()->isEnabled());
        EXPECT_TRUE(caches.detailsButton()->isEnabled()); // a rescan keeps them
        EXPECT_TRUE(caches.actionButton()->isEnabled());
        EXPECT_EQ(caches.sweep()->isVisible(), skin != Skin::classic);
        w.harness.contents["caches"] = {item("c1", 1000)};
        w.harness.user.runAll();
        w.settle();
        EXPECT_EQ(caches.sizeLabel()->text(), "1 KB");
        EXPECT_FALSE(caches.sweep()->isVisible());

        auto cleaning = w.store->clean(w.stored("caches"), w.store->state("caches")->items);
        w.settle();
        EXPECT_TRUE(caches.busyIndicator()->isVisible());
        EXPECT_FALSE(caches.actionButton()->isEnabled());
        EXPECT_EQ(caches.cleaningBar()->isVisible(), skin != Skin::classic);
        w.harness.user.runAll();
        w.settle();
        EXPECT_EQ(caches.sizeLabel()->text(), "Empty");
        EXPECT_FALSE(caches.actionButton()->isEnabled());
        EXPECT_FALSE(caches.cleaningBar()->isVisible());
    }
}

// Each row's height and its action button's size, by category id.
std::map<std::string, std::pair<int, QSize>> rowSizes(CategoryList& list) {
    std::map<std::string, std::pair<int, QSize>> sizes;
    for (const auto& name : rowsOf(list.shownOrder())) {
        const CategoryRow* row = list.row(name.toStdString());
        sizes[name.toStdString()] = {row->height(), row->actionButton()->sizeHint()};
    }
    return sizes;
}

TEST(MainContent, RowsTakeTheSizesOfTheSkinTheyAreSwitchedTo) {
    for (Skin from : Skins::allCases) {
        for (Skin to : Skins::allCases) {
            if (from == to) continue;
            Window w(from);
            // One row cleaning: its bar shows in the painted skins only.
            auto cleaning = w.store->clean(w.stored("caches"), w.store->state("caches")->items);
            w.settle();
            // The skin alone: a window's palette may stay the same from one skin to another,
            // and then nothing else tells the rows that their buttons' sizes changed.
            setSkin(w.content.get(), to);
            w.settle();

            // The same store in a list made in `to` from the start.
            QWidget window;
            dressWindow(&window, to);
            MainContent fresh(*w.store, *w.harness.settings, {}, &window);
            fresh.resize(w.content->size());
            window.resize(w.content->size());
            window.show();
            w.settle();
            ASSERT_FALSE(rowSizes(*fresh.list()).empty());
            EXPECT_EQ(rowSizes(w.list()), rowSizes(*fresh.list()))
                << Skins::rawValue(from).toStdString() << " to "
                << Skins::rawValue(to).toStdString();
        }
    }
}

TEST(MainContent, CleanPillsAskForConfirmationOrDetails) {
    Window w;
    std::optional<ListPlan::Confirmation> confirmation;
    std::optional<ListPlan::DetailsRequest> detailsFor;
    QObject::connect(w.content.get(), &MainContent::cleanRequested,
                     [&](const ListPlan::Confirmation& asked) { confirmation = asked; });
    QObject::connect(w.content.get(), &MainContent::detailsRequested,
                     [&](const ListPlan::DetailsRequest& asked) { detailsFor = asked; });
    w.click(w.row("caches").actionButton());
    ASSERT_TRUE(confirmation.has_value());
    EXPECT_EQ(confirmation->category.id, "caches");
    EXPECT_EQ(confirmation->items.size(), 2u);

    CategoryRow& photos = w.row("photos");
    EXPECT_EQ(photos.actionButton()->text(), "Move\u2026");
    w.click(photos.actionButton());
    ASSERT_TRUE(detailsFor.has_value());
    EXPECT_EQ(detailsFor->id(), "photos");

    detailsFor.reset();
    w.click(w.row("builds").detailsButton());
    EXPECT_EQ(detailsFor->id(), "builds");
    EXPECT_FALSE(w.row("logs").detailsButton()->isEnabled());
}

TEST(MainContent, InfoPopoverOpensAndCloses) {
    Window w;
    InfoButton* info = w.row("advice").infoButton();
    info->toggle();
    ASSERT_NE(info->popover(), nullptr);
    EXPECT_TRUE(info->popover()->isVisible());
    EXPECT_EQ(info->popover()->lines().size(), 4);
    EXPECT_EQ(info->popover()->width(), InfoPopover::fixedWidth);
    info->toggle();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(info->popover() == nullptr || !info->popover()->isVisible());
    EXPECT_EQ(w.row("caches").levelIcon()->toolTip().toStdString(),
              "Safe to Remove: Regenerates on its own. Nothing of value is lost.");
}

} // namespace
} // namespace bramwick
