#include "mainwindow/list_plan.h"

#include <gtest/gtest.h>

#include "platform/settings.h"
#include "store/messages.h"
#include "support/fixture.h"

namespace bramwick {
namespace {

using namespace ListPlan;

CleanupCategory make(const std::string& id, Risk risk = Risk::safe,
                     CleanAction::Kind action = CleanAction::Kind::delete_,
                     CategoryGroup group = CategoryGroup::caches) {
    CleanupCategory c;
    c.id = id;
    c.name = "Name " + id;
    c.summary = "Summary " + id;
    c.info = "Info " + id;
    c.risk = risk;
    c.action.kind = action;
    if (action == CleanAction::Kind::reviewOnly) c.action.advice = "Advice " + id;
    c.group = group;
    return c;
}

ScanItem sized(std::int64_t size) {
    ScanItem item;
    item.id = "/x/" + std::to_string(size);
    item.size = size;
    return item;
}

Store::CategoryState scannedWith(std::vector<std::int64_t> sizes) {
    Store::CategoryState state;
    state.scanned = true;
    std::vector<ScanItem> items;
    for (auto size : sizes)
        items.push_back(sized(size));
    state.items = std::move(items);
    state.total = StoreText::totalSize(state.items); // as the store keeps it
    return state;
}

// safe: a (1 GB), b (empty); warning: c (unscanned); redFlag: d (empty); protected: p (advice);
// applications (empty, safe); a custom folder f in warning with 5 bytes.
struct Fixture {
    std::vector<CleanupCategory> categories;
    States states;
    Fixture() {
        categories = {
            make("a"),
            make("b", Risk::safe, CleanAction::Kind::delete_, CategoryGroup::logs),
            make("c", Risk::caution),
            make("d", Risk::danger, CleanAction::Kind::trash, CategoryGroup::personal),
            make("p", Risk::safe, CleanAction::Kind::reviewOnly, CategoryGroup::system),
            make("applications", Risk::caution, CleanAction::Kind::trash, CategoryGroup::apps),
            make("f", Risk::caution, CleanAction::Kind::trash)};
        categories.back().customFolder = "/home/u/f";
        categories[5].source.kind = Source::Kind::applications;
        states["a"] = scannedWith({1'000'000'000});
        states["b"] = scannedWith({});
        states["d"] = scannedWith({0, 0});
        states["applications"] = scannedWith({});
        states["f"] = scannedWith({5});
        states["c"].scanning = true; // its first scan still runs
    }
};

std::vector<std::string> keys(const Plan& plan) {
    std::vector<std::string> made;
    for (const auto& s : plan.sections)
        made.push_back(s.key);
    return made;
}

TEST(ListPlan, SettingsReadWithFallbacks) {
    auto folder = test::makeTemporaryFolder("plan");
    Settings settings(folder + "/settings.json");
    EXPECT_EQ(readSettings(settings), ListSettings{});
    settings.set("arrangement", "size");
    settings.set("levelFilter", "Red Flag");
    settings.set("hideEmpty", true);
    EXPECT_EQ(readSettings(settings), (ListSettings{Arrangement::size, "Red Flag", true}));
    settings.set("arrangement", "Size"); // not one of the three
    EXPECT_EQ(readSettings(settings).arrangement, Arrangement::level);
    test::removeTree(folder);
}

TEST(ListPlan, LevelSectionsFilterAndHideEmpty) {
    Fixture f;
    struct Case {
        ListSettings settings;
        std::vector<std::string> sections;
        std::vector<std::vector<std::string>> rows;
        bool runningNow;
        bool empty;
    } cases[] = {
        {{},
         {"safe", "warning", "redFlag", "protected"},
         {{"a", "b"}, {"c", "applications", "f"}, {"d"}, {"p"}},
         true,
         false},
        // Hide empty drops scanned-empty and zero-byte categories, never unscanned ones or
        // applications; the red flag section keeps its header with no rows.
        {{Arrangement::level, "", true},
         {"safe", "warning", "redFlag", "protected"},
         {{"a"}, {"c", "applications", "f"}, {}, {"p"}},
         true,
         false},
        {{Arrangement::level, "Yellow Warning", false},
         {"warning"},
         {{"c", "applications", "f"}},
         false,
         false},
        {{Arrangement::level, "Red Flag", true}, {}, {}, false, true},
        // A title instead of a raw value matches nothing.
        {{Arrangement::level, "Review", false}, {}, {}, false, true},
    };
    for (const auto& c : cases) {
        auto made = plan(f.categories, f.states, c.settings);
        EXPECT_EQ(keys(made), c.sections) << c.settings.levelFilter;
        for (std::size_t i = 0; i < c.rows.size() && i < made.sections.size(); ++i)
            EXPECT_EQ(made.sections[i].ids, c.rows[i]) << made.sections[i].key;
        EXPECT_EQ(made.runningNow, c.runningNow);
        EXPECT_EQ(made.emptyState, c.empty);
    }
}

TEST(ListPlan, SectionHeadersDropLevelsAndTotals) {
    Fixture f;
    f.states.erase("d");
    auto made = plan(f.categories, f.states, {});
    ASSERT_EQ(made.sections.size(), 4u);
    EXPECT_EQ(made.sections[0].dropLevel, Level::safe);
    EXPECT_EQ(made.sections[0].total, 1'000'000'000);
    EXPECT_EQ(made.sections[0].title, "Safe to Remove");
    EXPECT_EQ(made.sections[1].caption,
              "Costs a rebuild, a re-download or an app restart \u2014 check before cleaning.");
    EXPECT_EQ(made.sections[2].total, 0); // no state counts as nothing
    EXPECT_EQ(made.sections[3].level, Level::protected_);
    EXPECT_EQ(made.sections[3].dropLevel, std::nullopt); // Protected takes no drops

    // With nothing in a movable level, its section stays, empty, with a zero total.
    std::vector<CleanupCategory> onlySafe{make("a")};
    auto sparse = plan(onlySafe, f.states, {});
    EXPECT_EQ(keys(sparse), (std::vector<std::string>{"safe", "warning", "redFlag"}));
    EXPECT_TRUE(sparse.sections[1].ids.empty());
}

TEST(ListPlan, GroupAndSizeArrangements) {
    Fixture f;
    auto groups = plan(f.categories, f.states, {Arrangement::group, "", false});
    EXPECT_EQ(keys(groups),
              (std::vector<std::string>{"caches", "logs", "apps", "personal", "system"}));
    EXPECT_EQ(groups.sections[0].ids, (std::vector<std::string>{"a", "c", "f"}));
    EXPECT_EQ(groups.sections[4].title, "System \u2014 needs your admin password");
    for (const auto& s : groups.sections)
        EXPECT_EQ(s.dropLevel, std::nullopt);

    // Largest first; equal totals (the unscanned, the empty) keep store order, custom folders
    // after catalog categories of the same total.
    auto bySize = plan(f.categories, f.states, {Arrangement::size, "", false});
    ASSERT_EQ(bySize.sections.size(), 1u);
    EXPECT_FALSE(bySize.sections[0].header);
    EXPECT_EQ(bySize.sections[0].ids,
              (std::vector<std::string>{"a", "f", "b", "c", "d", "p", "applications"}));
    f.states["b"] = scannedWith({5});
    EXPECT_EQ(plan(f.categories, f.states, {Arrangement::size, "", false}).sections[0].ids[1], "b");
}

TEST(ListPlan, RowStates) {
    auto plain = make("x");
    auto danger = make("x", Risk::danger, CleanAction::Kind::trash);
    auto dangerAdmin = make("x", Risk::danger, CleanAction::Kind::admin);
    auto review = make("x", Risk::safe, CleanAction::Kind::reviewOnly);
    auto managed = make("x");
    managed.managedBy = ManagedBy{"Docker", "com.docker"};
    auto apps = make("applications", Risk::caution, CleanAction::Kind::trash);
    apps.source.kind = Source::Kind::applications;

    Store::CategoryState scanning;
    scanning.scanning = true;
    auto empty = scannedWith({});
    auto zero = scannedWith({0});
    auto full = scannedWith({1500});
    auto rescanning = full;
    rescanning.scanning = true;
    auto cleaning = full;
    cleaning.cleaning = true;

    using S = RowPlan::Size;
    using T = RowPlan::Slot;
    struct Case {
        const char* name;
        CleanupCategory category;
        const Store::CategoryState* state;
        S size;
        std::string text;
        bool rescan, details;
        T slot;
        std::string label;
        bool prominent, slotEnabled;
    } cases[] = {
        {"unscanned", plain, nullptr, S::never, "\u2014", true, false, T::clean, "Clean", true,
         false},
        {"first scan", plain, &scanning, S::progress, "", false, false, T::clean, "Clean", true,
         false},
        {"empty", plain, &empty, S::empty, "Empty", true, false, T::clean, "Clean", true, false},
        {"zero bytes", plain, &zero, S::total, "Zero KB", true, true, T::clean, "Clean", true,
         true},
        {"found", plain, &full, S::total, "2 KB", true, true, T::clean, "Clean", true, true},
        // A rescan keeps Details and the pill; a clean disables the pill.
        {"rescan", plain, &rescanning, S::progress, "", false, true, T::clean, "Clean", true, true},
        {"cleaning", plain, &cleaning, S::progress, "", false, true, T::clean, "Clean", true,
         false},
        {"danger trash", danger, &full, S::total, "2 KB", true, true, T::move, "Move\u2026", false,
         true},
        {"danger admin", dangerAdmin, &full, S::total, "2 KB", true, true, T::clean, "Clean", true,
         true},
        {"review only", review, &full, S::total, "2 KB", true, true, T::howToFree, "How to Free",
         false, true},
        {"managed", managed, nullptr, S::never, "\u2014", true, false, T::open, "Open Docker",
         false, true},
        {"apps empty", apps, &empty, S::empty, "Empty", true, true, T::clean, "Clean", true, false},
    };
    for (const auto& c : cases) {
        auto r = row(c.category, c.state, false, 30);
        EXPECT_EQ(r.size, c.size) << c.name;
        EXPECT_EQ(r.sizeText, c.text) << c.name;
        EXPECT_EQ(r.rescanEnabled, c.rescan) << c.name;
        EXPECT_EQ(r.detailsEnabled, c.details) << c.name;
        EXPECT_EQ(r.slot, c.slot) << c.name;
        EXPECT_EQ(r.slotLabel, c.label) << c.name;
        EXPECT_EQ(r.slotProminent, c.prominent) << c.name;
        EXPECT_EQ(r.slotEnabled, c.slotEnabled) << c.name;
    }
    EXPECT_EQ(row(danger, &full, false, 30).slotHelp,
              "Choose items to copy to another drive, and then remove from this computer");
    // The applications row says how long its applications went unused.
    EXPECT_EQ(row(apps, &empty, false, 30).summary, "Not used for 30 days");
    EXPECT_EQ(row(apps, &empty, false, 1).summary, "Not used for 1 day");
    EXPECT_EQ(row(plain, nullptr, false, 30).summary, "Summary x");
    // Sweep and cleaning bar only in the painted skins.
    EXPECT_TRUE(row(plain, &scanning, false, 30).sweep);
    EXPECT_FALSE(row(plain, &scanning, true, 30).sweep);
    EXPECT_TRUE(row(plain, &cleaning, false, 30).cleaningBar);
    EXPECT_FALSE(row(plain, &cleaning, true, 30).cleaningBar);
    EXPECT_FALSE(row(plain, &cleaning, false, 30).sweep);
}

TEST(ListPlan, RowBadgesAndLevelHelp) {
    auto moved = make("x", Risk::danger);
    moved.movedFrom = Level::safe;
    moved.customFolder = "/f"; // moved wins
    auto r = row(moved, nullptr, true, 30);
    EXPECT_EQ(r.badge, "Moved by you");
    EXPECT_EQ(r.badgeHelp, "Normally in Safe to Remove. Right-click to move it back.");
    EXPECT_EQ(r.levelHelp, "Move to Backup: Your data. Move it to another drive, or pick items "
                           "one at a time.");
    auto folder = make("x");
    folder.customFolder = "/f";
    EXPECT_EQ(row(folder, nullptr, true, 30).badge, "Your folder");
    EXPECT_EQ(row(make("x"), nullptr, true, 30).badge, std::nullopt);
}

TEST(ListPlan, CleanRequestsAndInfo) {
    auto state = scannedWith({7, 8});
    auto plainRequest = cleanRequest(make("x"), &state);
    ASSERT_TRUE(std::holds_alternative<Confirmation>(plainRequest));
    EXPECT_EQ(std::get<Confirmation>(plainRequest).items, state.items);
    EXPECT_TRUE(std::get<Confirmation>(cleanRequest(make("x"), nullptr)).items.empty());
    for (auto c : {make("x", Risk::danger, CleanAction::Kind::admin),
                   make("x", Risk::safe, CleanAction::Kind::reviewOnly)}) {
        auto request = cleanRequest(c, &state);
        ASSERT_TRUE(std::holds_alternative<DetailsRequest>(request));
        EXPECT_EQ(std::get<DetailsRequest>(request).id(), "x");
    }
    EXPECT_EQ((DetailsRequest{make("x"), true}).id(), "x-all");

    auto review = info(make("p", Risk::safe, CleanAction::Kind::reviewOnly));
    EXPECT_EQ(review.advice, "Advice p");
    EXPECT_EQ(review.sentence, "Advice p");
    auto admin = info(make("x", Risk::danger, CleanAction::Kind::admin));
    EXPECT_EQ(admin.advice, std::nullopt);
    EXPECT_EQ(admin.sentence, "These are owned by the system. The system will ask for your "
                              "password, then delete them permanently.");
}

TEST(ListPlan, MoveMenus) {
    using K = MenuEntry::Kind;
    auto labels = [](const std::vector<MenuEntry>& entries) {
        std::vector<std::string> made;
        for (const auto& e : entries)
            made.push_back((e.enabled ? "" : "-") + e.label);
        return made;
    };
    EXPECT_EQ(labels(moveMenu(make("x"))),
              (std::vector<std::string>{"-Safe to Remove", "Review", "Move to Backup"}));
    auto moved = make("x", Risk::danger);
    moved.movedFrom = Level::safe;
    auto entries = moveMenu(moved);
    EXPECT_EQ(labels(entries),
              (std::vector<std::string>{"Safe to Remove", "Review", "-Move to Backup",
                                        "Move Back to Safe to Remove"}));
    EXPECT_EQ(entries[3].kind, K::moveBack);
    auto folder = make("f", Risk::caution, CleanAction::Kind::trash);
    folder.customFolder = "/f";
    EXPECT_EQ(labels(moveMenu(folder)),
              (std::vector<std::string>{"Safe to Remove", "-Review", "Move to Backup", "",
                                        "Show in the file manager", "Remove Folder from List"}));
    EXPECT_TRUE(moveMenu(make("p", Risk::safe, CleanAction::Kind::reviewOnly)).empty());
}

TEST(ListPlan, TheBarShowsTotalsWhenItsChipsWithTotalsFit) {
    // Five chips: 20 in from each side, 8 apart.
    const std::vector<int> widths{77, 210, 170, 230, 180};
    const int row = 40 + 867 + 4 * 8;
    struct Case {
        std::vector<int> widths;
        int barWidth;
        bool fits;
    } cases[] = {
        {widths, row, true},  {widths, row - 1, false}, // one pixel short: the bar without totals
        {widths, 2000, true}, {widths, 0, false},       {{100}, 140, true}, // one chip: no spacing
        {{100}, 139, false},  {{}, 40, true},
    };
    EXPECT_EQ(chipRowWidth(widths), row);
    for (const auto& c : cases)
        EXPECT_EQ(chipTotalsFit(c.widths, c.barWidth), c.fits)
            << c.widths.size() << " chips in " << c.barWidth;
}

TEST(ListPlan, ChipsCountWhatHoldsBytes) {
    Fixture f;
    auto made = chips(f.categories, f.states, "Yellow Warning", true);
    ASSERT_EQ(made.size(), 5u);
    struct Want {
        std::string name;
        std::size_t count;
        bool selected;
        std::optional<Level> drop;
        std::string text;
    } want[] = {
        {"chip-all", 2, false, std::nullopt, "2"}, // d holds 0 bytes: not counted
        {"chip-safe", 1, false, Level::safe, "1 \u00b7 1 GB"},
        {"chip-warning", 1, true, Level::warning, "1 \u00b7 5 bytes"},
        {"chip-redFlag", 0, false, Level::redFlag, "0 \u00b7 Zero KB"},
        {"chip-protected", 0, false, std::nullopt, "0 \u00b7 Zero KB"},
    };
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(made[i].objectName, want[i].name);
        EXPECT_EQ(made[i].counted.size(), want[i].count) << want[i].name;
        EXPECT_EQ(made[i].selected, want[i].selected) << want[i].name;
        EXPECT_EQ(made[i].dropLevel, want[i].drop) << want[i].name;
        EXPECT_EQ(chipCount(made[i]), want[i].text) << want[i].name;
    }
    EXPECT_EQ(made[3].help, "Your data. Move it to another drive, or pick items one at a time. "
                            "Drag a row here to move it.");
    EXPECT_EQ(made[4].help, "Can't be deleted here. Take the action shown to free space instead.");
    EXPECT_EQ(chipCount(chips(f.categories, f.states, "", false)[1]), "1");
    EXPECT_TRUE(chips(f.categories, f.states, "", false)[0].selected);
    for (const auto& chip : chips(f.categories, f.states, "Review", true))
        EXPECT_FALSE(chip.selected);
}

TEST(ListPlan, DragAndDropRules) {
    EXPECT_EQ(dragPayload(make("x")), "x");
    EXPECT_EQ(dragPayload(make("p", Risk::safe, CleanAction::Kind::reviewOnly)), std::nullopt);
    EXPECT_EQ(droppedIds("a\n\n b \r\nc"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(droppedIds("").empty());
    EXPECT_TRUE(acceptsDrop(Level::redFlag));
    EXPECT_FALSE(acceptsDrop(Level::protected_));
    EXPECT_FALSE(acceptsDrop(std::nullopt));
    // Leaving a target clears the hover only when it still names that target's level.
    EXPECT_EQ(afterLeave(Level::safe, Level::safe), std::nullopt);
    EXPECT_EQ(afterLeave(Level::warning, Level::safe), Level::warning);
    EXPECT_EQ(afterLeave(std::nullopt, Level::safe), std::nullopt);
}

} // namespace
} // namespace bramwick
