#include <QSignalSpy>
#include <gtest/gtest.h>

#include "engine/settings_keys.h"
#include "store/stored_lists.h"
#include "store_harness.h"
#include "support/fixture.h"

using namespace bramwick;
using test::category;
using test::item;

namespace {

CleanupCategory documents() {
    auto made = category("docs", Risk::caution, CleanAction::Kind::trash);
    made.name = "Documents";
    return made;
}

CleanupCategory trash() {
    auto made = category(Store::trashId);
    made.name = "Trash";
    made.neverAutomatic = true;
    return made;
}

CleanupCategory caches() {
    auto made = category("caches");
    made.name = "Caches";
    return made;
}

} // namespace

TEST(StoreClean, AnEmptySelectionDoesNothing) {
    test::StoreHarness h;
    h.catalog = {caches()};
    h.access = false;
    Store store(h.services());
    auto cleaning = store.clean(caches(), {});
    EXPECT_TRUE(cleaning.isReady());
    EXPECT_EQ(store.state("caches"), nullptr);
    EXPECT_FALSE(store.report());
    EXPECT_EQ(h.user.pending(), 0u);
}

TEST(StoreClean, ItemsMovedToTheTrashRescanTheTrashAndAreRecorded) {
    test::StoreHarness h;
    h.catalog = {documents(), trash()};
    h.access = false;
    h.contents["docs"] = {item("a.pdf", 1'000'000), item("b.pdf", 500'000), item("c.pdf", 1)};
    Store store(h.services()); // never scanned: the clean makes its state
    QSignalSpy reportSpy(&store, &Store::reportChanged);

    auto cleaning = store.clean(documents(), {item("a.pdf", 1'000'000), item("b.pdf", 500'000)});
    ASSERT_NE(store.state("docs"), nullptr);
    EXPECT_TRUE(store.state("docs")->cleaning);
    EXPECT_TRUE(store.isBusy());
    h.user.runAll();
    EXPECT_TRUE(cleaning.isReady());
    EXPECT_FALSE(store.state("docs")->cleaning);
    EXPECT_EQ(h.scans, (std::vector<std::string>{"docs", Store::trashId}));
    EXPECT_EQ(store.state("docs")->items, (std::vector<ScanItem>{item("c.pdf", 1)}));

    ASSERT_EQ(reportSpy.count(), 1);
    EXPECT_EQ(store.report()->title, "Documents");
    EXPECT_EQ(store.report()->message,
              "Moved to Trash 2 items (1.5 MB). Empty the Trash to free the space.");
    EXPECT_FALSE(store.report()->hasFailures);
    ASSERT_EQ(store.log().size(), 1u);
    EXPECT_EQ(store.log()[0].title, "Documents: 1.5 MB");
    EXPECT_EQ(store.log()[0].detail, "a.pdf, b.pdf");
    EXPECT_EQ(store.log()[0].date, h.now);
    auto saved = StoredLists::history(*h.settings).value;
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].id, store.log()[0].id);
    EXPECT_EQ(saved[0].title, store.log()[0].title);
}

TEST(StoreClean, ItemsThatWentByTheirOwnCommandAreNotSaidToBeInTheTrash) {
    test::StoreHarness h;
    h.catalog = {documents(), trash()};
    h.access = false;
    ScanItem app = item("Maps", 1'000'000); // a Flatpak, which flatpak uninstalls
    app.command = std::vector<std::string>{"flatpak", "uninstall", "org.gnome.Maps"};
    Store store(h.services());
    auto cleaning = store.clean(documents(), {app, item("b.pdf", 500'000)});
    h.user.runAll();
    EXPECT_TRUE(cleaning.isReady());
    ASSERT_TRUE(store.report());
    EXPECT_EQ(store.report()->message.find("Removed 2 items (1.5 MB)."), 0u)
        << store.report()->message;
    EXPECT_EQ(store.report()->message.find("Trash"), std::string::npos);
}

TEST(StoreClean, ADeleteSaysWhatTheDiskGainedAndListsFailures) {
    test::StoreHarness h;
    h.catalog = {caches(), trash()};
    h.contents["caches"] = {item("big", 2'000'000'000), item("open", 10), item("small", 5)};
    h.freesSpace = true;
    auto store = h.make();
    h.scans.clear();
    h.failing = {"open"};

    auto cleaning = store->clean(caches(), h.contents["caches"]);
    h.user.runAll();
    EXPECT_EQ(h.scans, (std::vector<std::string>{"caches"})) << "no Trash rescan after a delete";
    EXPECT_EQ(store->report()->message,
              "Removed 2 items (2 GB). Free space went up by 2 GB.\n\n1 could not be "
              "removed:\n\u2022 open: It is in use");
    EXPECT_TRUE(store->report()->hasFailures);
    EXPECT_EQ(store->log()[0].detail, "big, small");

    // Nothing removed at all: a report, no record.
    const auto before = store->report()->id;
    auto again = store->clean(caches(), {item("open", 10)});
    h.user.runAll();
    EXPECT_NE(store->report()->id, before);
    EXPECT_EQ(store->report()->message,
              "Removed 0 items (Zero KB). The system can take a minute to show the freed space in "
              "its total.\n\n1 could not be removed:\n\u2022 open: It is in use");
    EXPECT_EQ(store->log().size(), 1u);
}

TEST(StoreClean, AnExtraCommandThatCouldNotStartIsToldButIsNoFailure) {
    test::StoreHarness h;
    h.catalog = {caches()};
    h.access = false;
    h.contents["caches"] = {item("a", 10)};
    auto services = h.services();
    services.clean = [clean = services.clean](const std::vector<ScanItem>& items,
                                              const CleanupCategory& c) {
        auto outcome = clean(items, c);
        outcome.extraCommandProblem = "Couldn't run brew: not found";
        return outcome;
    };
    Store store(services);
    auto cleaning = store.clean(caches(), {item("a", 10)});
    h.user.runAll();
    ASSERT_TRUE(store.report());
    EXPECT_EQ(store.report()->message,
              "Removed 1 item (10 bytes). The system can take a minute to show the freed space in "
              "its total. Couldn't run brew: not found.");
    EXPECT_FALSE(store.report()->hasFailures);
}

TEST(StoreClean, AMoveOutOfATrashCategoryNeverAsksToEmptyTheTrash) {
    test::StoreHarness h;
    h.catalog = {documents(), trash()};
    h.contents["docs"] = {item("a.pdf", 1'000'000), item("b.pdf", 1'000'000)};
    auto store = h.make();
    h.scans.clear();

    auto moving = store->move(documents(), h.contents["docs"], "/media/disk/Backup");
    EXPECT_TRUE(store->state("docs")->cleaning);
    h.user.runAll();
    ASSERT_EQ(h.moves.size(), 1u);
    EXPECT_EQ(h.moves[0].second, "/media/disk/Backup");
    EXPECT_EQ(store->report()->message,
              "Moved to Backup 2 items (2 MB). The system can take a minute to show the freed "
              "space in its total.");
    EXPECT_EQ(h.scans, (std::vector<std::string>{"docs", Store::trashId}));
    EXPECT_EQ(store->log()[0].title, "Documents: 2 MB");
}

TEST(StoreHistory, NewestFirstSavedAtOnceAndSurvivingABadRecord) {
    test::StoreHarness h;
    h.catalog = {caches()};
    h.access = false;
    CleanupRecord older{"11111111-1111-1111-1111-111111111111", h.now - std::chrono::hours(48),
                        "Old: 1 MB", "x"};
    auto stored = nlohmann::json::array(
        {toJson(older), {{"id", "22222222-2222-2222-2222-222222222222"}, {"title", "no date"}}});
    h.settings->set(SettingsKeys::history, stored);
    Store store(h.services());
    ASSERT_EQ(store.log().size(), 1u);
    EXPECT_EQ(store.log()[0].title, "Old: 1 MB");

    h.contents["caches"] = {item("one", 1000), item("two", 2000)};
    auto first = store.clean(caches(), {item("one", 1000)});
    h.user.runAll();
    h.now += std::chrono::seconds(5);
    auto second = store.clean(caches(), {item("two", 2000)});
    h.user.runAll();

    std::vector<std::string> titles;
    for (const auto& record : store.log())
        titles.push_back(record.title);
    EXPECT_EQ(titles, (std::vector<std::string>{"Caches: 2 KB", "Caches: 1 KB", "Old: 1 MB"}));
    EXPECT_EQ(h.settings->value("cleanupLog.unreadable"), stored)
        << "the record that could not be read is kept aside, not written over";
    Store reloaded(h.services());
    ASSERT_EQ(reloaded.log().size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(reloaded.log()[i].id, store.log()[i].id);
        EXPECT_EQ(reloaded.log()[i].title, store.log()[i].title);
        EXPECT_EQ(reloaded.log()[i].detail, store.log()[i].detail);
        EXPECT_NEAR(secondsSinceReferenceDate(reloaded.log()[i].date),
                    secondsSinceReferenceDate(store.log()[i].date), 1e-5);
    }
}

TEST(StoreHistory, AHistoryThatCannotBeReadIsKeptAsideBeforeTheNextRecord) {
    for (const nlohmann::json& unreadable :
         {nlohmann::json("not json at all"), nlohmann::json{{"a", 1}},
          nlohmann::json::array({1, "two"})}) {
        test::StoreHarness h;
        h.catalog = {caches()};
        h.access = false;
        h.settings->set(SettingsKeys::history, unreadable);
        Store store(h.services());
        EXPECT_TRUE(store.log().empty());
        EXPECT_EQ(h.settings->value(SettingsKeys::history), unreadable);

        h.contents["caches"] = {item("one", 1000)};
        auto cleaning = store.clean(caches(), {item("one", 1000)});
        h.user.runAll();
        EXPECT_EQ(h.settings->value("cleanupLog.unreadable"), unreadable);
        EXPECT_EQ(StoredLists::history(*h.settings).value.size(), 1u);
    }

    // A history stored as JSON text reads like a list.
    test::StoreHarness h;
    h.access = false;
    CleanupRecord record{"11111111-1111-1111-1111-111111111111", h.now, "T", "D"};
    h.settings->set(SettingsKeys::history, nlohmann::json::array({toJson(record)}).dump());
    Store store(h.services());
    ASSERT_EQ(store.log().size(), 1u);
    EXPECT_EQ(store.log()[0].title, "T");
}

// A record kept only in memory is lost when the program quits: while the history cannot be
// written, every report says so, so that no later one hides it.
TEST(StoreHistory, AHistoryThatCouldNotBeWrittenIsToldUntilAWriteSucceeds) {
    test::StoreHarness h;
    h.catalog = {caches()};
    h.access = false;
    const std::string blocked = h.folder + "/blocked";
    test::makeFile(blocked, 10); // a file where the settings' folder should be
    const std::string file = blocked + "/settings.json";
    h.settings = std::make_unique<Settings>(file);
    Store store(h.services());
    h.contents["caches"] = {item("one", 1000), item("two", 2000), item("three", 3000)};
    const std::string unsaved = "The history could not be saved: ";

    auto first = store.clean(caches(), {item("one", 1000)});
    h.user.runAll();
    h.settings->flush();
    test::deliver();
    ASSERT_TRUE(store.report());
    EXPECT_EQ(store.report()->title, "Caches");
    EXPECT_EQ(store.report()->message.rfind("Removed 1 item", 0), 0u) << store.report()->message;
    EXPECT_NE(store.report()->message.find(unsaved), std::string::npos) << store.report()->message;
    EXPECT_TRUE(store.report()->hasFailures);

    test::removeTree(blocked);
    auto second = store.clean(caches(), {item("two", 2000)});
    h.user.runAll();
    h.settings->flush();
    test::deliver();
    EXPECT_EQ(StoredLists::history(Settings(file)).value.size(), 2u) << "both records are saved";
    auto third = store.clean(caches(), {item("three", 3000)});
    h.user.runAll();
    ASSERT_TRUE(store.report());
    EXPECT_EQ(store.report()->message.find(unsaved), std::string::npos) << store.report()->message;
}

TEST(StoreCleanAllSafe, TakesWhatItsTotalShowsAndReportsOnce) {
    test::StoreHarness h;
    auto admin = category("admin", Risk::caution, CleanAction::Kind::admin);
    auto command = category("command", Risk::caution, CleanAction::Kind::command);
    auto own = category("own", Risk::safe, CleanAction::Kind::command);
    h.catalog = {caches(), admin, command, own, trash()};
    h.settings->set("levelOverrides",
                    nlohmann::json{{"admin", "Safe to Remove"}, {"command", "Safe to Remove"}});
    h.contents = {{"caches", {item("c", 100)}},
                  {"admin", {item("a", 50)}},
                  {"command", {item("m", 30)}},
                  {"own", {item("o", 10)}},
                  {Store::trashId, {item("t", 7)}}};
    auto store = h.make();

    // Caches, the moved command row and the Trash; never the administrator row, and a command
    // row only when the user put it there.
    EXPECT_EQ(store->safeTotal(), 137);
    EXPECT_EQ(store->yoursInSafe(), (std::vector<std::string>{"Category command"}));

    h.scans.clear();
    auto run = store->cleanAllSafe();
    EXPECT_TRUE(store->cleaningAll());
    auto again = store->cleanAllSafe();
    EXPECT_TRUE(again.isReady()) << "a second run while one runs does nothing";
    h.user.runAll();
    EXPECT_TRUE(run.isReady());
    EXPECT_FALSE(store->cleaningAll());
    std::vector<std::string> cleaned;
    for (const auto& [id, items] : h.cleans)
        cleaned.push_back(id);
    EXPECT_EQ(cleaned, (std::vector<std::string>{"caches", "command", Store::trashId}));
    EXPECT_EQ(h.scans, cleaned);
    EXPECT_EQ(store->report()->title, "Freed 137 bytes");
    EXPECT_EQ(store->report()->message, "All safe categories are clean.");
    ASSERT_EQ(store->log().size(), 1u);
    EXPECT_EQ(store->log()[0].title, "Cleaned all safe categories");
    EXPECT_EQ(store->log()[0].detail, "Freed 137 bytes. Free space went up by Zero KB.");
    EXPECT_EQ(store->safeTotal(), 0);
}

TEST(StoreCleanAllSafe, NothingToCleanStillReportsAndRecordsAndFailuresAreCounted) {
    test::StoreHarness h;
    h.catalog = {caches()};
    auto store = h.make();
    auto empty = store->cleanAllSafe();
    h.user.runAll();
    EXPECT_TRUE(h.cleans.empty());
    EXPECT_EQ(store->report()->title, "Freed Zero KB");
    EXPECT_EQ(store->report()->message, "All safe categories are clean.");
    EXPECT_FALSE(store->report()->hasFailures);
    EXPECT_EQ(store->log().size(), 1u);

    h.contents["caches"] = {item("open", 10)};
    auto scanning = store->scan(caches());
    h.user.runAll();
    h.failing = {"open"};
    auto failing = store->cleanAllSafe();
    h.user.runAll();
    EXPECT_EQ(store->report()->message, "1 items could not be removed. Usually an app has them "
                                        "open \u2014 quit it and try again.");
    EXPECT_TRUE(store->report()->hasFailures);
}

// A category another clean is working on (deleting, or waiting for its rescan) is left to that
// clean: it rescans and records the category, and cleaning it twice would record the same bytes
// twice.
TEST(StoreCleanAllSafe, LeavesACategoryToTheCleanAlreadyWorkingOnIt) {
    enum class First { byHand, automatic };
    enum class Second { cleanAllSafe, automatic };
    struct Case {
        const char* name;
        First first;
        Second second;
        bool deleted; // the first clean's deleting ended and its rescan is out
    };
    using Record = std::pair<std::string, std::string>;
    const Record byHand{"Category caches: 150 bytes", "a, b"};
    const Record automatic{"Automatic clean (test): 150 bytes", "Category caches"};
    const Record allSafeNothing{"Cleaned all safe categories",
                                "Freed Zero KB. Free space went up by Zero KB."};
    const Record automaticNothing{"Automatic clean (test): Zero KB",
                                  "Nothing to remove \u2014 everything safe was already clean."};
    for (const Case& c : std::vector<Case>{
             {"by hand, then all safe while deleting", First::byHand, Second::cleanAllSafe, false},
             {"by hand, then all safe before the rescan", First::byHand, Second::cleanAllSafe,
              true},
             {"by hand, then automatic while deleting", First::byHand, Second::automatic, false},
             {"automatic, then all safe while deleting", First::automatic, Second::cleanAllSafe,
              false},
             {"automatic, then all safe before the rescan", First::automatic, Second::cleanAllSafe,
              true}}) {
        test::StoreHarness h;
        h.catalog = {category("caches")};
        h.contents["caches"] = {item("a", 100), item("b", 50)};
        auto store = h.make();

        QCoro::Task<> first;
        if (c.first == First::byHand) {
            first = store->clean(category("caches"), h.contents["caches"]);
            if (c.deleted) h.user.run();
        } else {
            first = store->runAutomatic("test");
            h.user.run(); // its scan
            if (c.deleted) h.background.run();
        }
        ASSERT_EQ(h.cleans.size(), c.deleted ? 1u : 0u) << c.name;

        QCoro::Task<> second =
            c.second == Second::cleanAllSafe ? store->cleanAllSafe() : store->runAutomatic("test");
        if (c.second == Second::automatic) h.user.run(1); // its scan still finds both items
        h.runToTheEnd();
        EXPECT_TRUE(first.isReady() && second.isReady()) << c.name;
        EXPECT_EQ(h.cleans.size(), 1u) << c.name << ": cleaned once";
        EXPECT_TRUE(store->state("caches")->items.empty()) << c.name;
        EXPECT_FALSE(store->state("caches")->cleaning) << c.name;
        std::vector<Record> records;
        for (const auto& record : store->log())
            records.emplace_back(record.title, record.detail);
        std::sort(records.begin(), records.end());
        std::vector<Record> expected = {c.first == First::byHand ? byHand : automatic,
                                        c.second == Second::cleanAllSafe ? allSafeNothing
                                                                         : automaticNothing};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(records, expected) << c.name;
    }
}

// The same holds for a clean or a move asked for by hand: a card confirmed late, or a second
// sheet, starts nothing on a category whose clean has not yet ended.
TEST(StoreClean, ACleanOrMoveOfACategoryAnotherCleanIsWorkingOnStartsNothing) {
    enum class First { byHand, allSafe };
    enum class Second { clean, move };
    struct Case {
        const char* name;
        First first;
        bool deleted; // the first clean's deleting ended and its rescan is out
        Second second;
    };
    for (const Case& c : std::vector<Case>{
             {"by hand while deleting, then a clean", First::byHand, false, Second::clean},
             {"by hand before the rescan, then a clean", First::byHand, true, Second::clean},
             {"by hand while deleting, then a move", First::byHand, false, Second::move},
             {"all safe while deleting, then a clean", First::allSafe, false, Second::clean},
             {"all safe before the rescan, then a move", First::allSafe, true, Second::move}}) {
        test::StoreHarness h;
        h.catalog = {category("caches")};
        h.contents["caches"] = {item("a", 100), item("b", 50)};
        auto store = h.make();
        const auto listed = h.contents["caches"];

        QCoro::Task<> first = c.first == First::byHand ? store->clean(category("caches"), listed)
                                                       : store->cleanAllSafe();
        if (c.deleted) h.user.run();
        const std::size_t pending = h.user.pending();
        QCoro::Task<> second = c.second == Second::clean
                                   ? store->clean(category("caches"), listed)
                                   : store->move(category("caches"), listed, h.folder);
        EXPECT_TRUE(second.isReady()) << c.name << ": returned at once";
        EXPECT_EQ(h.user.pending(), pending) << c.name;
        ASSERT_TRUE(store->report()) << c.name << ": never silently";
        EXPECT_EQ(store->report()->message.rfind("Nothing was done", 0), 0u) << c.name;
        h.runToTheEnd();
        EXPECT_TRUE(first.isReady()) << c.name;
        EXPECT_EQ(h.cleans.size(), 1u) << c.name;
        EXPECT_TRUE(h.moves.empty()) << c.name;
        EXPECT_FALSE(store->state("caches")->cleaning) << c.name;
        EXPECT_EQ(store->log().size(), 1u) << c.name << ": the bytes recorded once";
    }
}

// A clean or move changes the files of every category that lists one of its items, the same
// file or one inside or around it: each is measured again, and nothing else.
TEST(StoreClean, EveryCategoryThatListedAnItemIsMeasuredAgain) {
    auto large = category("large", Risk::caution, CleanAction::Kind::trash);
    auto downloads = category("downloads", Risk::caution, CleanAction::Kind::trash);
    struct Case {
        const char* what;
        std::string cleaned;
        std::string listedElsewhere;
        bool measuredAgain;
    } cases[] = {
        {"the same file", "Downloads/big.iso", "Downloads/big.iso", true},
        {"a file in a folder that went", "Downloads/stuff", "Downloads/stuff/big.iso", true},
        {"a folder around a file that went", "Downloads/stuff/big.iso", "Downloads/stuff", true},
        {"only a name alike", "Downloads/stuff", "Downloads/stuff-2", false},
    };
    for (const auto& c : cases) {
        for (bool move : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (move ? ", moved" : ", cleaned"));
            test::StoreHarness h;
            h.catalog = {large, downloads, caches()};
            h.contents = {{"large", {item(c.cleaned, 10)}},
                          {"downloads", {item(c.listedElsewhere, 20)}},
                          {"caches", {item("cache", 5)}}};
            auto store = h.make();
            h.scans.clear();
            // What the other category finds once the change is done.
            h.contents["downloads"] = {};
            auto working = move ? store->move(large, {item(c.cleaned, 10)}, h.folder)
                                : store->clean(large, {item(c.cleaned, 10)});
            h.user.runAll();
            EXPECT_TRUE(working.isReady());
            const std::vector<std::string> again =
                c.measuredAgain ? std::vector<std::string>{"large", "downloads"}
                                : std::vector<std::string>{"large"};
            EXPECT_EQ(h.scans, again);
            EXPECT_EQ(store->state("downloads")->items.empty(), c.measuredAgain);
        }
    }
}

// The store's rule on measurements begun before a change holds for the other categories too.
TEST(StoreClean, AMeasurementOfAnotherCategoryBegunBeforeTheCleanIsNotListedAfterIt) {
    auto large = category("large", Risk::caution, CleanAction::Kind::trash);
    auto downloads = category("downloads", Risk::caution, CleanAction::Kind::trash);
    test::StoreHarness h;
    h.catalog = {large, downloads};
    h.contents = {{"large", {item("big.iso", 10)}}, {"downloads", {item("big.iso", 10)}}};
    auto store = h.make();

    auto early = store->scan(downloads); // measures the download still there
    auto cleaning = store->clean(large, {item("big.iso", 10)});
    h.user.run(1); // the clean ends first
    // Its list is about to change: a clean of it now would take what may be gone.
    auto refused = store->clean(downloads, {item("big.iso", 10)});
    EXPECT_TRUE(refused.isReady());
    ASSERT_TRUE(store->report());
    EXPECT_EQ(store->report()->message.rfind("Nothing was done", 0), 0u);
    h.user.run(0); // the early measurement comes back, listing what went
    h.contents["downloads"] = {};
    h.user.runAll();
    EXPECT_TRUE(cleaning.isReady());
    EXPECT_TRUE(store->state("downloads")->items.empty());
    ASSERT_EQ(h.cleans.size(), 1u) << "nothing cleaned twice";
}

// Clean All Safe measures the Trash again once it is over when it put something there; the
// Trash it empties is the one listed when the user confirmed.
TEST(StoreCleanAllSafe, MeasuresTheTrashAgainAfterTheRunWhenItPutSomethingThere) {
    test::StoreHarness h;
    auto mine = category("mine", Risk::safe, CleanAction::Kind::trash);
    mine.customFolder = "/fixture/Mine";
    h.catalog = {mine, trash(), caches()};
    h.contents = {{"mine", {item("draft", 10)}},
                  {Store::trashId, {item("old", 7)}},
                  {"caches", {item("c", 5)}}};
    auto store = h.make();
    h.scans.clear();
    auto run = store->cleanAllSafe();
    h.user.runAll();
    EXPECT_TRUE(run.isReady());
    std::vector<std::pair<std::string, std::vector<ScanItem>>> cleaned = {
        {"mine", {item("draft", 10)}},
        {Store::trashId, {item("old", 7)}},
        {"caches", {item("c", 5)}}};
    EXPECT_EQ(h.cleans, cleaned) << "the Trash as it was listed, never what the run put there";
    EXPECT_EQ(h.scans,
              (std::vector<std::string>{"mine", Store::trashId, "caches", Store::trashId}));
}
