// The history sheet over a harness store: the empty state, the log newest first, and a record
// arriving while the sheet is open.
#include <gtest/gtest.h>

#include <QLabel>

#include "app/gui/gui_support.h"
#include "sheets/history_sheet.h"
#include "sheets/sheet_frame.h"
#include "sheets/sheet_rules.h"
#include "sheets/sheets.h"

using namespace bramwick;
using bramwick::test::item;

namespace {

QStringList texts(QWidget& root, const QString& name) {
    QStringList out;
    for (auto* label : root.findChildren<QLabel*>(name))
        out << label->text();
    return out;
}

} // namespace

TEST(HistorySheet, EmptyLogShowsTheEmptyTextAndNoList) {
    test::guiApplication();
    test::StoreHarness h;
    h.access = false;
    auto store = h.make();
    HistorySheet sheet(*store);
    sheet.show();
    EXPECT_TRUE(sheet.findChild<QWidget*>("historyEmpty")->isVisible());
    EXPECT_FALSE(sheet.findChild<QWidget*>("historyList")->isVisible());
    EXPECT_NE(sheet.findChild<QPushButton*>("done"), nullptr);
}

TEST(HistorySheet, ListsTheLogNewestFirstAndFollowsIt) {
    test::guiApplication();
    test::StoreHarness h;
    h.access = false;
    auto docs = test::category("docs");
    docs.name = "Documents";
    h.catalog = {docs};
    h.contents["docs"] = {item("a.pdf", 1'000'000), item("b.pdf", 2'000'000)};
    auto store = h.make();
    HistorySheet sheet(*store);
    sheet.show();

    auto first = store->clean(docs, {item("a.pdf", 1'000'000)});
    h.user.runAll();
    EXPECT_FALSE(sheet.findChild<QWidget*>("historyEmpty")->isVisible());
    EXPECT_TRUE(sheet.findChild<QWidget*>("historyList")->isVisible());
    EXPECT_EQ(texts(sheet, "historyTitle"), QStringList{"Documents: 1 MB"});

    auto second = store->clean(docs, {item("b.pdf", 2'000'000)});
    h.user.runAll();
    EXPECT_EQ(texts(sheet, "historyTitle"), (QStringList{"Documents: 2 MB", "Documents: 1 MB"}));
    // Same day, same date text; never a time of day.
    const auto dates = texts(sheet, "historyDate");
    ASSERT_EQ(dates.size(), 2);
    EXPECT_EQ(dates[0], dates[1]);
    EXPECT_FALSE(dates[0].contains(':'));
}

TEST(HistorySheet, OpensWindowModalWithoutBlocking) {
    test::guiApplication();
    test::StoreHarness h;
    h.access = false;
    auto store = h.make();
    QWidget window;
    window.show();
    auto* dialog = Sheets::openHistory(&window, *store);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
    QPointer<SheetDialog> alive(dialog);
    dialog->findChild<QPushButton*>("done")->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());
}
