// The sheets' decisions, as tables: footers, titles, sentences and counts.
#include <ctime>
#include <limits>

#include <gtest/gtest.h>

#include "base/text.h"
#include "sheets/sheet_rules.h"

using namespace bramwick;
using namespace bramwick::SheetRules;

namespace {

CleanupCategory made(Risk risk, CleanAction::Kind action,
                     Source::Kind source = Source::Kind::contents) {
    CleanupCategory c;
    c.id = "c";
    c.risk = risk;
    c.action.kind = action;
    c.action.advice = "Look first.";
    c.source.kind = source;
    return c;
}

std::string ids(const std::vector<FooterButton>& buttons) {
    std::string out;
    for (const auto& b : buttons)
        out += (out.empty() ? "" : " ") + b.id;
    return out;
}

const FooterButton* find(const std::vector<FooterButton>& buttons, const std::string& id) {
    for (const auto& b : buttons)
        if (b.id == id) return &b;
    return nullptr;
}

} // namespace

TEST(DetailsFooter, OffersWhatTheCategoryAllows) {
    using K = CleanAction::Kind;
    struct Case {
        Risk risk;
        K action;
        std::string buttons;
        std::optional<bool> cleanRed; // the clean button's tint, none when it is not prominent
    };
    const std::vector<Case> cases{
        {Risk::safe, K::trash, "selectAll revealSelected moveTo done cleanSelected", false},
        {Risk::caution, K::trash, "selectAll revealSelected moveTo done cleanSelected", false},
        {Risk::danger, K::trash, "selectAll revealSelected done cleanSelected moveSelected", {}},
        {Risk::danger, K::delete_, "selectAll revealSelected done cleanSelected moveSelected", {}},
        {Risk::safe, K::delete_, "selectAll revealSelected done cleanSelected", false},
        {Risk::danger, K::admin, "selectAll revealSelected done cleanSelected", true},
        {Risk::danger, K::command, "selectAll revealSelected done cleanSelected", true},
        {Risk::danger, K::reviewOnly, "selectAll revealSelected done", {}},
    };
    for (const auto& c : cases) {
        const auto footer = detailsFooter(made(c.risk, c.action), {false, true, false, false});
        EXPECT_EQ(ids(footer), c.buttons);
        if (const auto* clean = find(footer, "cleanSelected")) {
            EXPECT_TRUE(clean->destructive);
            EXPECT_EQ(clean->redTint, c.cleanRed);
        }
    }
    const auto danger = detailsFooter(made(Risk::danger, K::trash), {});
    EXPECT_EQ(find(danger, "moveSelected")->title, "Move Selected to\u2026");
    EXPECT_EQ(find(danger, "moveSelected")->look, FooterButton::Look::prominent);
    EXPECT_EQ(find(danger, "cleanSelected")->look, FooterButton::Look::bordered);
}

TEST(DetailsFooter, EnablesByTheEffectiveSelectionAndTheClean) {
    const auto trash = made(Risk::safe, CleanAction::Kind::trash);
    const auto danger = made(Risk::danger, CleanAction::Kind::trash);
    // Nothing selected: reveal, clean and both moves are off; Select All and Done stay on.
    for (const auto& c : {trash, danger}) {
        for (const auto& b : detailsFooter(c, {true, false, false, false}))
            EXPECT_EQ(b.enabled, b.id == "selectAll" || b.id == "done") << b.id;
    }
    // While the category is cleaned nothing may start on it, "Move to…" included.
    for (const auto& c : {trash, danger}) {
        for (const auto& b : detailsFooter(c, {false, true, true, false}))
            EXPECT_EQ(b.enabled, b.id == "selectAll" || b.id == "done" || b.id == "revealSelected")
                << b.id;
    }
}

TEST(DetailsFooter, UninstallNeedsOneSelectedAndNoLookup) {
    const auto apps = made(Risk::caution, CleanAction::Kind::trash, Source::Kind::applications);
    struct Case {
        DetailsFooterState state;
        std::string title;
        bool enabled;
    };
    const std::vector<Case> cases{
        {{false, true, false, false}, "Uninstall\u2026", true},
        {{false, false, false, false}, "Uninstall\u2026", false}, // two selected
        {{true, false, false, false}, "Uninstall\u2026", false},
        {{false, true, false, true}, "Looking\u2026", false},
    };
    for (const auto& c : cases) {
        // The footer must outlive the button found in it.
        const auto footer = detailsFooter(apps, c.state);
        const auto* button = find(footer, "uninstall");
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->title, c.title);
        EXPECT_EQ(button->enabled, c.enabled);
    }
    EXPECT_EQ(find(detailsFooter(made(Risk::safe, CleanAction::Kind::trash), {}), "uninstall"),
              nullptr);
}

TEST(DetailsText, TitlesMessagesAndCells) {
    EXPECT_EQ(cleanTitle(1), "Clean 1 item?");
    EXPECT_EQ(cleanTitle(2), "Clean 2 items?");
    EXPECT_EQ(cleanMessage(made(Risk::safe, CleanAction::Kind::trash), 1'500'000),
              "1.5 MB. These will be moved to the Trash. Space is freed once you empty the Trash.");
    EXPECT_EQ(cleanMessage(made(Risk::safe, CleanAction::Kind::reviewOnly), 0),
              "Zero KB. Look first.");
    // The row's card and the details card say one sentence for each kind of clean.
    EXPECT_EQ(cleanMessage(made(Risk::safe, CleanAction::Kind::admin), 2'000),
              "2 KB. These are owned by the system. The system will ask for your password, then "
              "delete them permanently.");
    struct Case {
        CleanAction action;
        const char* sentence;
    };
    for (const Case& c :
         {Case{{CleanAction::Kind::delete_, ""},
               "These will be permanently deleted. They regenerate when needed."},
          Case{{CleanAction::Kind::trash, ""},
               "These will be moved to the Trash. Space is freed once you empty the Trash."},
          Case{{CleanAction::Kind::admin, ""},
               "These are owned by the system. The system will ask for your password, then delete "
               "them permanently."},
          Case{{CleanAction::Kind::command, ""},
               "These will be removed using Xcode's simctl tool."},
          Case{{CleanAction::Kind::reviewOnly, "Look first."}, "Look first."},
          Case{{CleanAction::Kind::trash, "", "Said in its place."}, "Said in its place."}})
        EXPECT_EQ(actionSentence(c.action), c.sentence);

    EXPECT_EQ(detailsSummary(true, 10, 4'000'000), "10 items \u00b7 4 MB");
    EXPECT_EQ(detailsSummary(false, 3, 1'200'000), "3 selected \u00b7 1.2 MB");

    EXPECT_TRUE(noteNeedsAttention("Running"));
    EXPECT_TRUE(noteNeedsAttention("Please check first"));
    EXPECT_FALSE(noteNeedsAttention("running"));
    EXPECT_FALSE(noteNeedsAttention("Check"));

    auto apps = made(Risk::caution, CleanAction::Kind::trash, Source::Kind::applications);
    apps.id = "applications";
    ScanItem undated;
    EXPECT_EQ(dateColumnTitle(apps), "Last Opened");
    EXPECT_EQ(dateCell(apps, undated), "Never");
    EXPECT_EQ(dateColumnTitle(made(Risk::safe, CleanAction::Kind::trash)), "Modified");
    EXPECT_EQ(dateCell(made(Risk::safe, CleanAction::Kind::trash), undated), "\u2014");

    // Dates are the locale's short ones, as the command line writes them; "C" here.
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 10;
    local.tm_hour = 10;
    local.tm_isdst = -1;
    ScanItem dated;
    dated.modified = dated.lastUsed = std::chrono::system_clock::from_time_t(std::mktime(&local));
    EXPECT_EQ(dateCell(apps, dated), "12/10/26");
    EXPECT_EQ(dateCell(made(Risk::safe, CleanAction::Kind::trash), dated), "12/10/26");
    EXPECT_EQ(dateCell(apps, dated), Text::numericDate(*dated.modified));

    EXPECT_EQ(levelBadge(made(Risk::danger, CleanAction::Kind::reviewOnly).level()),
              (LevelBadge{"Protected", "lock.shield.fill"}));
    EXPECT_EQ(levelBadge(Level::redFlag), (LevelBadge{"Move to Backup", "externaldrive.fill"}));
}

TEST(DetailsText, RowMenuOffersUninstallForOneApplicationOnly) {
    const auto apps = made(Risk::caution, CleanAction::Kind::trash, Source::Kind::applications);
    ScanItem app;
    app.name = "Editor";
    EXPECT_EQ(rowMenu(apps, 1, &app).size(), 2u);
    EXPECT_EQ(rowMenu(apps, 1, &app)[1].title, "Uninstall Editor\u2026");
    EXPECT_EQ(rowMenu(apps, 2, nullptr).size(), 1u);
    EXPECT_EQ(rowMenu(made(Risk::safe, CleanAction::Kind::trash), 1, &app).size(), 1u);
}

TEST(DetailsText, MoveDialogStartsOnABackupDriveWhenOneIsMounted) {
    auto exists = [](const std::string& path) { return path == "/run/media/me/Backup Drive"; };
    EXPECT_EQ(moveDialogStart({"/media/me", "/run/media/me"}, exists),
              "/run/media/me/Backup Drive");
    EXPECT_EQ(moveDialogStart({"/media/me"}, exists), std::nullopt);
}

TEST(DetailsText, AFolderDialogAnswersWithThePathTypedAndOnlyWithAFolder) {
    const std::string shown = "/home/me/Shown";
    const std::optional<std::string> none;
    struct Case {
        std::string typed;
        std::optional<std::string> picked;
        std::string destination;
    } cases[] = {
        {"/media/me/Backup/", none, "/media/me/Backup"},
        {"Backup", none, "/home/me/Shown/Backup"},
        {"../Backup", none, "/home/me/Backup"},
        {"~", none, "/sandbox"},
        {"~/Backup", none, "/sandbox/Backup"},
        {"~other", none, "/home/me/Shown/~other"},
        {"", std::string("/home/me/Shown/Picked"), "/home/me/Shown/Picked"},
        {"Typed", std::string("/home/me/Shown/Picked"), "/home/me/Shown/Typed"},
        {"", none, "/home/me/Shown"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(chosenFolder(c.typed, shown, c.picked, "/sandbox"), c.destination) << c.typed;

    EXPECT_EQ(folderProblem("/x", PathKind::folder), std::nullopt);
    EXPECT_EQ(
        folderProblem("/x/notes.txt", PathKind::other),
        "/x/notes.txt is not a folder. Type the path of a folder, or choose one in the list.");
    EXPECT_EQ(folderProblem("/x/Nowhere", PathKind::missing),
              "There is no folder at /x/Nowhere. Type the path of a folder that exists, or choose "
              "one in the list.");

    // "Move Here" that can no longer move says why.
    struct Refusal {
        std::size_t selected;
        bool cleaning;
        std::optional<std::string> said;
    };
    const Refusal refusals[] = {
        {2, false, std::nullopt},
        {0, false,
         "Nothing was moved: the items you chose are no longer listed in Downloads. Cancel, and "
         "choose again from what is listed now."},
        {1, true,
         "Nothing was moved yet: a clean of Downloads is still under way. Choose Move Here again "
         "once it has ended."},
        {0, true,
         "Nothing was moved: the items you chose are no longer listed in Downloads. Cancel, and "
         "choose again from what is listed now."},
    };
    for (const auto& r : refusals)
        EXPECT_EQ(moveRefusal("Downloads", r.selected, r.cleaning), r.said)
            << r.selected << ", " << r.cleaning;
}

TEST(UninstallText, SummaryFooterAndConfirmation) {
    UninstallPlan plan;
    plan.app.size = 2'000'000;
    plan.app.url = "/home/me/Applications/Editor.AppImage";
    EXPECT_EQ(uninstallSummary(plan), "The app is 2 MB. Nothing else was found outside it.");
    EXPECT_EQ(uninstallSubtitle(plan, "/home/me"), "~/Applications/Editor.AppImage");
    plan.bundleID = "org.example.Editor";
    EXPECT_EQ(uninstallSubtitle(plan, "/home/me"), "org.example.Editor");

    AppLeftover prefs{"/home/me/.config/editor", "", "Preferences", 1'000'000,
                      AppLeftover::Ownership::user};
    AppLeftover helper{"/usr/lib/editor-helper", "", "Privileged helper", 500'000,
                       AppLeftover::Ownership::system};
    AppLeftover service{"/etc/editor.service", "", "Launch item", 500'000,
                        AppLeftover::Ownership::system};
    plan.leftovers = {prefs};
    EXPECT_EQ(uninstallSummary(plan), "The app is 2 MB, and left 1 item behind (1 MB).");
    plan.leftovers = {prefs, helper, service};
    EXPECT_EQ(uninstallSummary(plan), "The app is 2 MB, and left 3 items behind (2 MB).");

    // Chosen ids follow the plan's order and ignore what the plan does not hold.
    const auto picked =
        pickedLeftovers(plan, {"/etc/editor.service", "/home/me/.config/editor", "/nowhere"});
    ASSERT_EQ(picked.size(), 2u);
    EXPECT_EQ(picked[0].id, prefs.id);
    EXPECT_EQ(uninstallTotal(plan, picked), 3'500'000);

    EXPECT_EQ(uninstallFooter(0, 2'000'000), "1 item \u00b7 2 MB");
    EXPECT_EQ(uninstallFooter(1, 3'000'000), "2 items \u00b7 3 MB");

    const std::string trash = ". The app and the files you chose in your home folder go to the "
                              "Trash, so you can put them back until you empty it.";
    EXPECT_EQ(uninstallConfirmMessage(3'000'000, {prefs}), "3 MB" + trash);
    EXPECT_EQ(uninstallConfirmMessage(2'000'000, {}),
              "2 MB. The app goes to the Trash, so you can put it back until you empty it.");
    // A Flatpak is uninstalled by flatpak; its files go only once it has.
    EXPECT_EQ(uninstallConfirmMessage(3'000'000, {prefs}, true),
              "3 MB. The app is uninstalled for good; the files you chose in your home folder go "
              "to the Trash once it is gone, so you can put them back until you empty it.");
    EXPECT_EQ(uninstallConfirmMessage(2'000'000, {}, true),
              "2 MB. The app is uninstalled for good.");
    EXPECT_EQ(
        uninstallConfirmMessage(3'500'000, {prefs, helper}),
        "3.5 MB" + trash +
            "\n\n1 item is owned by the system \u2014 you will be asked for your password, and "
            "it will be deleted permanently.");
    EXPECT_EQ(uninstallConfirmMessage(4'000'000, {helper, service}),
              std::string("4 MB. The app goes to the Trash, so you can put it back until you "
                          "empty it.") +
                  "\n\n2 items are owned by the system \u2014 you will be asked for your password, "
                  "and they will be deleted permanently.");
}

TEST(UnusedDaysText, WordsStepsAndParsing) {
    EXPECT_EQ(daysWord(1), "day");
    EXPECT_EQ(daysWord(2), "days");
    constexpr auto most = std::numeric_limits<std::int64_t>::max();
    constexpr auto least = std::numeric_limits<std::int64_t>::min();
    struct Step {
        std::int64_t from;
        int direction;
        std::int64_t to;
    };
    for (const auto& s : std::vector<Step>{{5, -1, 1},
                                           {100, -1, 90},
                                           {3645, +1, 3650},
                                           {3650, +1, 3650},
                                           {1, -1, 1},
                                           {100, +1, 110},
                                           {5000, -1, 3650},
                                           {most, +1, 3650},
                                           {most, -1, 3650},
                                           {least, -1, 1},
                                           {least, +1, 1}})
        EXPECT_EQ(stepDays(s.from, s.direction), s.to) << s.from;
    EXPECT_EQ(parseDays("5000"), 5000);
    EXPECT_EQ(parseDays(" -3 "), -3);
    EXPECT_EQ(parseDays("ten"), std::nullopt);
    EXPECT_EQ(parseDays(""), std::nullopt);
}
