// A user's steps through the real main window over the real store and a home of real files:
// what each card and report says, and what happened on disk.
#include <QLabel>
#include <gtest/gtest.h>

#include "app/gui/window_top.h"
#include "appearance/confirm_card.h"
#include "appearance/skin.h"
#include "journey.h"
#include "mainwindow/list_widgets.h"
#include "platform/settings.h"
#include "support/fixture.h"

using namespace bramwick;
using test::RealWindow;

namespace {

std::string inHome(const std::string& path) {
    return test::home() + "/" + path;
}

} // namespace

TEST(Journey, ARowsCleanCardNamesTheCategoryAndCountsItsItemsAndCancelKeepsThem) {
    test::clearHome();
    test::makeFile(inHome(".npm/_cacache/index-v5/aa/entry"), 5'000'000);
    test::makeFile(inHome(".npm/_npx/1234/package.json"), 2'000'000);
    test::makeFile(inHome(".npm/_logs/debug.log"), 1'000'000);
    for (Skin skin : Skins::allCases) {
        ASSERT_FALSE(Settings::standard().set("skin", Skins::rawValue(skin).toStdString()));
        RealWindow w;
        for (const char* arrangement :
             {"Arrange By Level", "Arrange By Group", "Arrange By Size"}) {
            SCOPED_TRACE(Skins::rawValue(skin).toStdString() + ", " + arrangement);
            test::click(test::buttonNamed(w.window(), arrangement));
            CategoryRow* npm = w.row("npm");
            ASSERT_NE(npm, nullptr);
            const QString size = test::spoken(npm->sizeLabel());
            test::click(test::buttonNamed(w.window(), "Clean NPM Cache"));
            ConfirmCard* card = w.card();
            ASSERT_NE(card, nullptr);
            EXPECT_EQ(test::cardTitle(*card), "Clean NPM Cache?");
            EXPECT_EQ(test::cardMessage(*card),
                      "3 items, " + size +
                          ".\n\nThese will be permanently deleted. They regenerate when needed.");
            test::click(test::buttonNamed(card, "Cancel"));
            EXPECT_EQ(w.card(), nullptr);
            w.waitUntilIdle();
            EXPECT_TRUE(test::exists(inHome(".npm/_cacache/index-v5/aa/entry")));
            EXPECT_TRUE(test::exists(inHome(".npm/_npx/1234/package.json")));
            EXPECT_TRUE(test::exists(inHome(".npm/_logs/debug.log")));
        }
    }
    ASSERT_FALSE(Settings::standard().remove("skin"));

    // Confirmed, the clean takes exactly those three.
    RealWindow w;
    const QString size = test::spoken(w.row("npm")->sizeLabel());
    test::click(test::buttonNamed(w.window(), "Clean NPM Cache"));
    ASSERT_NE(w.card(), nullptr);
    test::click(test::buttonNamed(w.card(), "Clean"));
    ASSERT_TRUE(RealWindow::waitUntil([&] { return w.store().report().has_value(); }));
    w.waitUntilIdle();
    EXPECT_EQ(test::namesIn(inHome(".npm")), std::vector<std::string>{});
    const QStringList report = test::shownTexts(w.top().reportBanner());
    ASSERT_EQ(report.size(), 2) << report.join(" | ").toStdString();
    EXPECT_EQ(report[0], "NPM Cache");
    EXPECT_TRUE(report[1].startsWith("Removed 3 items (" + size + ").")) << report[1].toStdString();
    EXPECT_EQ(test::spoken(w.row("npm")->sizeLabel()), "Empty");
}
