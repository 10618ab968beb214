#include <limits>

#include <gtest/gtest.h>

#include "store/messages.h"
#include "store_harness.h"

using namespace bramwick;
using test::item;

namespace {

std::vector<Cleaner::Failure> failures(int count) {
    std::vector<Cleaner::Failure> list;
    for (int i = 1; i <= count; ++i)
        list.push_back({item(std::string("f").append(std::to_string(i)), 1), "busy"});
    return list;
}

} // namespace

TEST(StoreText, CleanMessages) {
    struct Case {
        std::string verb;
        std::size_t cleaned;
        std::int64_t freed;
        bool toTrash;
        std::int64_t gain;
        int failed;
        std::string expected;
        std::string extraCommandProblem = {};
        std::vector<std::string> notKept = {};
    };
    const std::vector<Case> cases = {
        {"Removed", 3, 1'500'000, false, 2'000'000'000, 0,
         "Removed 3 items (1.5 MB). Free space went up by 2 GB."},
        {"Removed", 1, 1'500'000, false, 0, 0,
         "Removed 1 item (1.5 MB). The system can take a minute to show the freed space in its "
         "total."},
        {"Removed", 2, 1'500'000, false, -5, 0,
         "Removed 2 items (1.5 MB). The system can take a minute to show the freed space in its "
         "total."},
        {"Moved to Trash", 2, 1'500'000, true, 2'000'000'000, 0,
         "Moved to Trash 2 items (1.5 MB). Empty the Trash to free the space."},
        {"Moved to Old Stuff", 2, 1'500'000, false, 0, 0,
         "Moved to Old Stuff 2 items (1.5 MB). The system can take a minute to show the freed "
         "space in its total."},
        {"Removed", 0, 0, false, 0, 1,
         "Removed 0 items (Zero KB). The system can take a minute to show the freed space in its "
         "total.\n\n1 could not be removed:\n\u2022 f1: busy"},
        {"Removed", 0, 0, false, 0, 7,
         "Removed 0 items (Zero KB). The system can take a minute to show the freed space in its "
         "total.\n\n7 could not be removed:\n\u2022 f1: busy\n\u2022 f2: busy\n\u2022 f3: "
         "busy\n\u2022 f4: busy\n\u2022 f5: busy"},
        // An extra command that could not start is told after the sentences, before the list.
        {"Removed", 2, 1'500'000, false, 2'000'000'000, 1,
         "Removed 2 items (1.5 MB). Free space went up by 2 GB. Couldn't run brew: cannot launch "
         "brew: No such file or directory.\n\n1 could not be removed:\n\u2022 f1: busy",
         "Couldn't run brew: cannot launch brew: No such file or directory"},
        // What a move to another drive could not keep is told too.
        {"Moved to Backup",
         1,
         5000,
         false,
         0,
         0,
         "Moved to Backup 1 item (5 KB). The system can take a minute to show the freed space in "
         "its total. ~/Movies/clip.mov lost its extended attributes (user.note) at /media/stick: "
         "Operation not supported.",
         "",
         {"~/Movies/clip.mov lost its extended attributes (user.note) at /media/stick: Operation "
          "not supported"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StoreText::cleanMessage(c.verb, c.cleaned, c.freed, c.toTrash, c.gain,
                                          failures(c.failed), c.extraCommandProblem, c.notKept),
                  c.expected)
            << c.expected;
}

TEST(StoreText, VerbsAndCleanRecords) {
    EXPECT_EQ(StoreText::cleanVerb(test::category("a", Risk::safe, CleanAction::Kind::trash)),
              "Moved to Trash");
    for (auto kind :
         {CleanAction::Kind::delete_, CleanAction::Kind::admin, CleanAction::Kind::command})
        EXPECT_EQ(StoreText::cleanVerb(test::category("a", Risk::safe, kind)), "Removed");
    EXPECT_EQ(StoreText::moveVerb("/media/disk/Old Stuff"), "Moved to Old Stuff");
    EXPECT_EQ(StoreText::moveVerb("/media/disk/Backup/"), "Moved to Backup");

    std::vector<ScanItem> eight;
    for (int i = 1; i <= 8; ++i)
        eight.push_back(item(std::string("i").append(std::to_string(i)), 250'000));
    auto entry = StoreText::cleanRecord(test::category("x"), eight);
    EXPECT_EQ(entry.title, "Category x: 2 MB");
    EXPECT_EQ(entry.detail, "i1, i2, i3, i4, i5, i6");
}

TEST(StoreText, StopReports) {
    RunningItem watcher{"watch-7", RunningItem::Watcher{{7}, {}}, "log stream", "", 12.6,
                        2'500'000};
    RunningItem simulator{"sim-1", RunningItem::Simulator{"1"}, "iPhone 15", "", 0.4, 0};
    struct Case {
        RunningItem item;
        std::optional<Shell::Result> result;
        StoreText::ReportText expected;
    };
    const std::vector<Case> cases = {
        {watcher, std::nullopt, {"Couldn't stop log stream", "The command didn't run.", true}},
        {watcher,
         Shell::Result{1, "  kill: (7) - No such process\n"},
         {"Couldn't stop log stream", "kill: (7) - No such process", true}},
        {simulator, Shell::Result{-1, ""}, {"Couldn't stop iPhone 15", "", true}},
        {watcher,
         Shell::Result{0, ""},
         {"Stopped log stream", "It was using 13% of a CPU core and 2.5 MB of memory.", false}},
        {simulator,
         Shell::Result{0, ""},
         {"Shut down iPhone 15", "It was using 0% of a CPU core and Zero KB of memory.", false}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StoreText::stopReport(c.item, c.result), c.expected) << c.expected.title;
}

TEST(StoreText, CleanAllSafeTexts) {
    const std::string first = "Permanently deletes 2 GB of caches, logs and build data that "
                              "regenerate on their own. Quit Xcode, Chrome and other busy apps "
                              "first.";
    EXPECT_EQ(StoreText::allSafeWarning(2'000'000'000, {}), first);
    EXPECT_EQ(StoreText::allSafeWarning(2'000'000'000, {"Downloads", "Old"}),
              first + "\n\nAlso cleans what you put in Safe to Remove: Downloads, Old. Folders "
                      "you added go to the Trash.");
    // The Trash's part of the total is the user's own files: said apart, never as regenerating.
    EXPECT_EQ(StoreText::allSafeWarning(2'000'000'000, {}, {1, 500'000'000}),
              "Permanently deletes 1.5 GB of caches, logs and build data that regenerate on their "
              "own, and empties the Trash (1 item, 500 MB). Quit Xcode, Chrome and other busy "
              "apps first.");
    EXPECT_EQ(StoreText::allSafeWarning(3'000, {}, {3, 0}),
              "Permanently deletes 3 KB of caches, logs and build data that regenerate on their "
              "own, and empties the Trash (3 items, Zero KB). Quit Xcode, Chrome and other busy "
              "apps first.");
    // What goes to the Trash instead (a folder added, a category moved into Safe) is not said
    // to be deleted.
    struct Case {
        std::int64_t total;
        StoreText::TrashContents trash;
        std::int64_t toTrash;
        const char* deleted;
    };
    const Case cases[] = {
        {2'000'000'000, {}, 0, "2 GB"},
        {2'000'000'000, {}, 500'000'000, "1.5 GB"},
        {2'000'000'000, {1, 500'000'000}, 500'000'000, "1 GB"},
        {500'000'000, {}, 500'000'000, "Zero KB"},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(StoreText::allSafeWarning(c.total, {"Mine"}, c.trash, c.toTrash)
                        .starts_with("Permanently deletes " + std::string(c.deleted) + " of "))
            << c.toTrash;
    EXPECT_EQ(StoreText::allSafeWarning(2'000'000'000, {"Mine"}, {}, 500'000'000),
              "Permanently deletes 1.5 GB of caches, logs and build data that regenerate on their "
              "own. Quit Xcode, Chrome and other busy apps first.\n\nAlso cleans what you put in "
              "Safe to Remove: Mine. Folders you added go to the Trash.");

    EXPECT_EQ(StoreText::allSafeRecord(1'500'000, 2'000'000'000),
              (StoreText::RecordText{"Cleaned all safe categories",
                                     "Freed 1.5 MB. Free space went up by 2 GB."}));
    EXPECT_EQ(StoreText::allSafeRecord(0, -300).detail,
              "Freed Zero KB. Free space went up by Zero KB.");

    EXPECT_EQ(StoreText::allSafeReport(0, 0, {}),
              (StoreText::ReportText{"Freed Zero KB", "All safe categories are clean.", false}));
    EXPECT_EQ(StoreText::allSafeReport(1'500'000, 1, {}),
              (StoreText::ReportText{"Freed 1.5 MB",
                                     "1 items could not be removed. Usually an app has them open "
                                     "\u2014 quit it and try again.",
                                     true}));
    // Items left by the limit of open files were never held by an application.
    EXPECT_EQ(StoreText::allSafeReport(1'500'000, 3, {}, true),
              (StoreText::ReportText{"Freed 1.5 MB",
                                     "3 items could not be removed: Bramwick reached the system's "
                                     "limit of open files.",
                                     true}));
    EXPECT_TRUE(StoreText::reachedOpenFileLimit(
        {{ScanItem{}, "Could not open ~/.cache/deep: Too many open files"}}));
    EXPECT_FALSE(StoreText::reachedOpenFileLimit(
        {{ScanItem{}, "Could not remove ~/.cache/x: Permission denied"}}));
    EXPECT_EQ(StoreText::allSafeReport(1'500'000, 0, {"Couldn't run brew: not found"}),
              (StoreText::ReportText{"Freed 1.5 MB",
                                     "All safe categories are clean. Couldn't run brew: not found.",
                                     false}));
    // Stopped because the program is ending: no success is claimed and no app is blamed.
    EXPECT_EQ(StoreText::allSafeReport(1'500'000, 0, {}, false, true),
              (StoreText::ReportText{"Freed 1.5 MB",
                                     "Bramwick was asked to quit, so what it had not cleaned yet "
                                     "was left as it is.",
                                     false}));
    EXPECT_EQ(StoreText::allSafeReport(1'500'000, 2, {}, false, true).message,
              "2 items could not be removed. Usually an app has them open \u2014 quit it and try "
              "again. Bramwick was asked to quit, so what it had not cleaned yet was left as it "
              "is.");
}

TEST(StoreText, MaintenanceTexts) {
    struct Case {
        bool succeeded;
        std::string output;
        std::int64_t gain;
        StoreText::ReportText report;
        bool recorded;
    };
    const std::vector<Case> cases = {
        {true,
         "Flushed.",
         2'000'000'000,
         {"Logs", "Free space went up by 2 GB.\n\nFlushed.", false},
         true},
        {true, "", 0, {"Logs", "Done.", false}, false},
        {false, "denied", 2'000'000'000, {"Logs", "denied", true}, false},
        {false, "", -1, {"Logs", "Done.", true}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StoreText::maintenanceReport("Logs", c.succeeded, c.output, c.gain), c.report);
        auto entry = StoreText::maintenanceRecord("Logs", "Rotates logs.", c.succeeded, c.gain);
        EXPECT_EQ(entry.has_value(), c.recorded);
        if (entry) {
            EXPECT_EQ(*entry, (StoreText::RecordText{"Logs: 2 GB", "Rotates logs."}));
        }
    }
}

TEST(StoreText, AReportSaysTheHistoryCouldNotBeSaved) {
    const std::string said = "The history could not be saved: the disk is full. Its newest records "
                             "are lost if Bramwick quits before a save succeeds.";
    EXPECT_EQ(
        StoreText::withUnsavedHistory({"Caches", "Removed 1 item.", false}, "the disk is full"),
        (StoreText::ReportText{"Caches", "Removed 1 item. " + said, true}));
    EXPECT_EQ(StoreText::withUnsavedHistory({"History not saved", "", true}, "the disk is full"),
              (StoreText::ReportText{"History not saved", said, true}));
}

TEST(StoreText, SumsSaturate) {
    constexpr auto most = std::numeric_limits<std::int64_t>::max();
    constexpr auto least = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(StoreText::add(most, 1), most);
    EXPECT_EQ(StoreText::add(least, -1), least);
    EXPECT_EQ(StoreText::subtract(most, -1), most);
    EXPECT_EQ(StoreText::subtract(least, 1), least);
    EXPECT_EQ(StoreText::totalSize({item("a", most), item("b", 5)}), most);
}

TEST(StoreText, UninstallTextsCountWhatWasReallyRemoved) {
    UninstallPlan plan;
    plan.app = item("Foo.app", 1'000'000);
    plan.app.name = "Foo";
    auto leftover = [](const std::string& name, AppLeftover::Ownership ownership) {
        return AppLeftover{"/l/" + name, "/l/" + name, "Cache", 500'000, ownership};
    };
    auto removed = [](const AppLeftover& l) {
        ScanItem made = item(l.kind + " \u2014 " + l.url, l.size);
        made.id = made.url = l.url;
        return made;
    };
    const auto user = AppLeftover::Ownership::user;
    const auto system = AppLeftover::Ownership::system;
    const AppLeftover u1 = leftover("u1", user), s1 = leftover("s1", system),
                      s2 = leftover("s2", system);
    const Cleaner::Failure appFailed{plan.app, "in use"};
    ScanItem flatpak = plan.app; // uninstalled by flatpak, not trashed
    flatpak.command = std::vector<std::string>{"flatpak", "uninstall", "org.example.Foo"};
    const Cleaner::Failure s1Failed{removed(s1), "refused"};

    struct Case {
        std::vector<AppLeftover> chosen;
        Cleaner::Outcome outcome;
        StoreText::ReportText report;
        std::optional<StoreText::RecordText> record;
    };
    const std::string trash = " to the Trash (";
    const std::vector<Case> cases = {
        {{u1},
         {{flatpak, removed(u1)}, {}},
         {"Uninstalled Foo",
          "Uninstalled Foo and moved 1 leftover item" + trash +
              "1.5 MB). Empty the Trash to free the space.",
          false},
         StoreText::RecordText{"Uninstalled Foo: 1.5 MB", "Cache — /l/u1"}},
        {{u1},
         {{plan.app, removed(u1)}, {}},
         {"Uninstalled Foo",
          "Moved Foo and 1 leftover item" + trash + "1.5 MB). Empty the Trash to free the space.",
          false},
         StoreText::RecordText{"Uninstalled Foo: 1.5 MB", "Cache \u2014 /l/u1"}},
        {{},
         {{plan.app}, {}},
         {"Uninstalled Foo",
          "Moved Foo and 0 leftover items" + trash + "1 MB). Empty the Trash to free the space.",
          false},
         StoreText::RecordText{"Uninstalled Foo: 1 MB", ""}},
        {{u1, s1, s2},
         {{plan.app, removed(u1), removed(s1), removed(s2)}, {}},
         {"Uninstalled Foo",
          "Moved Foo and 3 leftover items" + trash +
              "2.5 MB). Empty the Trash to free the space. 2 system items were deleted "
              "permanently.",
          false},
         StoreText::RecordText{"Uninstalled Foo: 2.5 MB",
                               "Cache \u2014 /l/u1, Cache \u2014 /l/s1, Cache \u2014 /l/s2"}},
        {{s1, s2},
         {{plan.app, removed(s2)}, {s1Failed}},
         {"Uninstalled Foo",
          "Moved Foo and 1 leftover item" + trash +
              "1.5 MB). Empty the Trash to free the space. 1 system item was deleted "
              "permanently.\n\n1 could not be removed:\n\u2022 Cache \u2014 /l/s1: refused",
          true},
         StoreText::RecordText{"Uninstalled Foo: 1.5 MB", "Cache \u2014 /l/s2"}},
        {{u1},
         {{removed(u1)}, {appFailed}},
         {"Couldn't uninstall Foo",
          "Foo stayed where it was. Moved 1 leftover item" + trash +
              "500 KB). Empty the Trash to free the space.\n\n1 could not be removed:\n\u2022 "
              "Foo: in use",
          true},
         StoreText::RecordText{"Leftovers of Foo: 500 KB", "Cache \u2014 /l/u1"}},
        // The app stayed, so its leftovers did too, and the report says why.
        {{u1, s1},
         {{}, {appFailed}},
         {"Couldn't uninstall Foo",
          "Nothing of Foo was removed. Its 2 leftover items were kept, since the app itself could "
          "not be removed.\n\n1 could not be removed:\n\u2022 Foo: in use",
          true},
         std::nullopt},
        {{u1},
         {{}, {appFailed}},
         {"Couldn't uninstall Foo",
          "Nothing of Foo was removed. Its leftover item was kept, since the app itself could not "
          "be removed.\n\n1 could not be removed:\n\u2022 Foo: in use",
          true},
         std::nullopt},
        {{u1},
         {{}, {appFailed, {removed(u1), "in use"}}},
         {"Couldn't uninstall Foo",
          "Nothing of Foo was removed.\n\n2 could not be removed:\n\u2022 Foo: in use\n\u2022 "
          "Cache \u2014 /l/u1: in use",
          true},
         std::nullopt},
    };
    for (const auto& c : cases) {
        auto count = StoreText::uninstallCount(plan, c.chosen, c.outcome);
        EXPECT_EQ(StoreText::uninstallReport("Foo", count, c.outcome.failures), c.report)
            << c.report.message;
        EXPECT_EQ(StoreText::uninstallRecord("Foo", count), c.record) << c.report.message;
    }

    // Eight removed leftovers: the record names the first six.
    Cleaner::Outcome many{{plan.app}, {}};
    for (int i = 1; i <= 8; ++i)
        many.cleaned.push_back(item(std::string("l").append(std::to_string(i)), 1));
    auto count = StoreText::uninstallCount(plan, {}, many);
    EXPECT_EQ(StoreText::uninstallRecord("Foo", count)->detail, "l1, l2, l3, l4, l5, l6");
}
