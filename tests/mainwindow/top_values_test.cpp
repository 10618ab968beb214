// What the scanning hero, the running-now section, the banners, the access setup and the
// window's actions show and decide, without a window.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include "mainwindow/access_setup.h"
#include "mainwindow/banners.h"
#include "mainwindow/main_actions.h"
#include "mainwindow/running_now.h"
#include "mainwindow/scanning_hero.h"
#include "store/store_harness.h"

using namespace bramwick;

namespace {

std::vector<CleanupCategory> listed(int count) {
    std::vector<CleanupCategory> categories;
    for (int i = 0; i < count; ++i) {
        auto c = test::category(fmt::format("c{}", i));
        c.name = fmt::format("Category {}", i);
        categories.push_back(c);
    }
    return categories;
}

std::set<std::string> firstIds(int count) {
    std::set<std::string> ids;
    for (int i = 0; i < count; ++i)
        ids.insert(fmt::format("c{}", i));
    return ids;
}

} // namespace

TEST(ScanningHeroValues, PercentOfCategoriesDone) {
    struct Case {
        int listed, done;
        const char* percent;
        const char* line;
    };
    for (const Case& c :
         {Case{0, 0, "0%", "0 of 1 measured"}, Case{45, 1, "2%", "1 of 45 measured"},
          Case{45, 45, "100%", "45 of 45 measured"}, Case{8, 1, "13%", "1 of 8 measured"}}) {
        const auto p = ScanningHeroValues::progress(listed(c.listed), firstIds(c.done), {});
        EXPECT_EQ(ScanningHeroValues::percentText(p), c.percent);
        EXPECT_EQ(ScanningHeroValues::progressLine(p), c.line);
    }
}

TEST(ScanningHeroValues, CurrentCategoryAndWhatWasFound) {
    auto categories = listed(4);
    std::map<std::string, Store::CategoryState> states;
    states["c0"].items = {test::item("a", 100), test::item("b", 50)};
    states["c1"].scanned = true; // measured, nothing found
    states["c3"].scanning = true;
    states["c2"].scanning = true;
    states["elsewhere"].items = {test::item("x", 1'000)};
    const auto p = ScanningHeroValues::progress(categories, {"c0", "c1", "elsewhere"}, states);
    EXPECT_EQ(p.done, 2) << "ids outside the list are not counted";
    EXPECT_EQ(p.found, 150) << "nor is what they found";
    ASSERT_TRUE(p.current);
    EXPECT_EQ(*p.current, "Category 2") << "the earlier in list order is named";
    EXPECT_EQ(ScanningHeroValues::progressLine(p), "Measuring Category 2 \u00b7 2 of 4");
    EXPECT_TRUE(ScanningHeroValues::shown(true, Skin::nightfall));
    EXPECT_FALSE(ScanningHeroValues::shown(true, Skin::classic));
    EXPECT_FALSE(ScanningHeroValues::shown(false, Skin::hibernia));
}

TEST(RunningNowValues, SwapCpuAndContent) {
    RunningSnapshot snapshot;
    EXPECT_EQ(RunningNowValues::content(snapshot), RunningNowValues::Content::checking);
    snapshot.scanned = true;
    EXPECT_EQ(RunningNowValues::content(snapshot), RunningNowValues::Content::nothing);
    snapshot.items.push_back({"sim-1", RunningItem::Simulator{"1"}, "iPhone 15", "booted", 3, 5});
    EXPECT_EQ(RunningNowValues::content(snapshot), RunningNowValues::Content::rows);

    EXPECT_EQ(RunningNowValues::swapText(snapshot), std::nullopt);
    snapshot.swapUsed = -1;
    EXPECT_EQ(RunningNowValues::swapText(snapshot), std::nullopt);
    snapshot.swapUsed = 2'000'000'000;
    EXPECT_EQ(RunningNowValues::swapText(snapshot), "Swap is using 2 GB of disk");

    EXPECT_EQ(RunningNowValues::problemText(snapshot), std::nullopt);
    snapshot.watchersProblem = "Couldn't run ps: cannot launch ps: No such file or directory";
    EXPECT_EQ(RunningNowValues::problemText(snapshot),
              "Couldn't run ps: cannot launch ps: No such file or directory.");

    EXPECT_EQ(RunningNowValues::cpuText(12.4), "12% CPU");
    EXPECT_EQ(RunningNowValues::cpuText(24.9), "25% CPU");
    EXPECT_FALSE(RunningNowValues::cpuHot(24.9)) << "shown as 25 %, still not hot";
    EXPECT_TRUE(RunningNowValues::cpuHot(25));
    EXPECT_EQ(RunningNowValues::memoryText(1'200'000'000), "1.2 GB memory");

    const RunningItem watcher{"watch-9", RunningItem::Watcher{{9}, {}}, "log stream", "", 0, 0};
    EXPECT_EQ(RunningNowValues::stopLabel(snapshot.items[0]), "Shut Down");
    EXPECT_EQ(RunningNowValues::stopLabel(watcher), "Stop");
    EXPECT_EQ(RunningNowValues::symbol(snapshot.items[0]), "iphone");
    EXPECT_EQ(RunningNowValues::symbol(watcher), "text.viewfinder");
}

TEST(BannerValues, FailuresAreOrangeSuccessGreen) {
    EXPECT_EQ(BannerValues::reportSymbol(true), "exclamationmark.circle.fill");
    EXPECT_EQ(BannerValues::reportSymbol(false), "checkmark.circle.fill");
    EXPECT_EQ(BannerValues::reportColour(true, false), systemColor(SystemColor::orange, false));
    EXPECT_EQ(BannerValues::reportColour(false, true), systemColor(SystemColor::green, true));
}

TEST(AccessSetupValues, PhasesTitlesAndBoldSteps) {
    using P = AccessSetupValues::Phase;
    EXPECT_EQ(AccessSetupValues::phase(false, false), P::asking);
    EXPECT_EQ(AccessSetupValues::phase(false, true), P::waiting);
    EXPECT_EQ(AccessSetupValues::phase(true, false), P::granted);
    EXPECT_EQ(AccessSetupValues::title(true), "Full Disk Access is on");
    EXPECT_EQ(AccessSetupValues::title(false), "Allow Full Disk Access");
    EXPECT_EQ(AccessSetupValues::stepHtml("Click **+** & <go> **on"),
              "Click <b>+</b> &amp; &lt;go&gt; <b>on</b>");
    EXPECT_EQ(AccessSetupValues::steps().size(), 3u);
}

TEST(MainActions, ConfirmationTexts) {
    using C = MainActions::Confirmation;
    auto category = test::category("npm");
    category.name = "npm Cache";
    const C one{C::Kind::category, category, {test::item("a", 1'500'000)}};
    EXPECT_EQ(MainActions::confirmationTitle(one), "Clean npm Cache?");
    EXPECT_EQ(MainActions::confirmationMessage(one, 0, {}),
              "1 items, 1.5 MB.\n\nThese will be permanently deleted. They regenerate when "
              "needed.");
    EXPECT_FALSE(MainActions::confirmationDangerous(one));

    auto risky = category;
    risky.risk = Risk::danger;
    EXPECT_TRUE(MainActions::confirmationDangerous({C::Kind::category, risky, {}}));
    const C all{C::Kind::allSafe, {}, {}};
    EXPECT_EQ(MainActions::confirmationTitle(all), "Clean all safe categories?");
    EXPECT_EQ(MainActions::confirmationMessage(all, 2'000'000, {"Mine"}),
              Store::allSafeWarning(2'000'000, {"Mine"}));
    EXPECT_FALSE(MainActions::confirmationDangerous(all));
}

TEST(MainActions, ACategorysCardKeepsOnlyWhatIsStillListedAsItIsListedNow) {
    using C = MainActions::Confirmation;
    const auto a = test::item("a", 1'000), b = test::item("b", 2'000), c = test::item("c", 4'000);
    auto remeasured = b;
    remeasured.size = 3'000;
    const C asked{C::Kind::category, test::category("npm"), {a, b}};
    struct Case {
        const char* name;
        std::vector<ScanItem> listed;
        std::optional<std::vector<ScanItem>> kept;
    };
    const Case cases[] = {
        {"all still listed", {a, b}, {{a, b}}},
        {"one gone", {b}, {{b}}},
        {"measured again", {a, remeasured}, {{a, remeasured}}},
        {"found since: not asked for", {c, b}, {{b}}},
        {"none left", {c}, std::nullopt},
        {"the category emptied", {}, std::nullopt},
    };
    for (const auto& k : cases) {
        const auto now = MainActions::stillListed(asked, k.listed);
        ASSERT_EQ(now.has_value(), k.kept.has_value()) << k.name;
        if (!now) continue;
        EXPECT_EQ(now->items, *k.kept) << k.name;
        EXPECT_EQ(now->category, asked.category) << k.name;
    }
}

TEST(MainActions, CleanAllSafeSaysApartWhatItMovesToTheTrash) {
    auto caches = test::category("caches");
    auto mine = test::category("mine", Risk::safe, CleanAction::Kind::trash);
    mine.customFolder = "/home/me/Mine";
    auto moved = test::category("downloads", Risk::safe, CleanAction::Kind::trash);
    moved.movedFrom = Level::warning;
    auto kept = test::category("archives", Risk::safe, CleanAction::Kind::trash); // not taken
    auto apps = test::category("apps", Risk::safe, CleanAction::Kind::trash);
    apps.movedFrom = Level::warning;
    auto flatpak = test::item("flatpak", 8'000);
    flatpak.command = std::vector<std::string>{"flatpak", "uninstall"};
    std::map<std::string, Store::CategoryState> states;
    states["caches"].items = {test::item("c", 1'000)};
    states["mine"].items = {test::item("m", 200), test::item("n", 300)};
    states["downloads"].items = {test::item("d", 40)};
    states["archives"].items = {test::item("a", 5)};
    states["apps"].items = {test::item("app", 7), flatpak}; // the command's item is deleted
    struct Case {
        const char* name;
        std::vector<CleanupCategory> categories;
        std::int64_t toTrash;
    };
    const Case cases[] = {
        {"only deleted", {caches}, 0},
        {"a folder added", {caches, mine}, 500},
        {"moved into Safe", {caches, moved}, 40},
        {"a trash category left where it was", {caches, kept}, 0},
        {"items run by their command", {apps}, 7},
        {"all", {caches, mine, moved, kept, apps}, 547},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MainActions::safeCleanToTrash(c.categories, states), c.toTrash) << c.name;
    const MainActions::Confirmation all{MainActions::Confirmation::Kind::allSafe, {}, {}};
    EXPECT_EQ(MainActions::confirmationMessage(all, 1'500'000, {"Mine"}, {}, 500'000),
              StoreText::allSafeWarning(1'500'000, {"Mine"}, {}, 500'000));
}

TEST(MainActions, StartUpAndUninstall) {
    using S = MainActions::StartUp;
    struct Case {
        bool access, skipped, scannedBefore, scanning;
        S step;
    };
    for (const Case& c :
         {Case{false, false, false, false, S::showAccessSetup},
          Case{false, false, true, true, S::showAccessSetup},
          Case{false, true, false, false, S::scan}, Case{true, false, false, false, S::scan},
          Case{true, false, false, true, S::nothing}, Case{true, false, true, false, S::nothing}})
        EXPECT_EQ(MainActions::startUp(c.access, c.skipped, c.scannedBefore, c.scanning), c.step)
            << c.access << c.skipped << c.scannedBefore << c.scanning;

    auto apps = test::category("applications");
    apps.source.kind = Source::Kind::applications;
    EXPECT_EQ(MainActions::uninstallCategory({test::category("npm")}), std::nullopt);
    EXPECT_EQ(MainActions::uninstallCategory({test::category("npm"), apps})->id, "applications");
}
