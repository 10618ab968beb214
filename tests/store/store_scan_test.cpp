#include <QSignalSpy>
#include <gtest/gtest.h>

#include "base/ending.h"
#include "store/stored_lists.h"
#include "store_harness.h"

using namespace bramwick;
using test::category;
using test::item;

namespace {

std::vector<CleanupCategory> five() {
    std::vector<CleanupCategory> list;
    for (const char* id : {"a", "b", "c", "d", "e"})
        list.push_back(category(id));
    return list;
}

} // namespace

TEST(StoreScan, CreationStartsOneFullScanOnlyWithAccessOrWhenSkipped) {
    struct Case {
        bool access;
        std::optional<bool> skipped;
        bool scans;
    };
    for (const Case& c : std::vector<Case>{{true, std::nullopt, true},
                                           {false, std::nullopt, false},
                                           {false, false, false},
                                           {false, true, true}}) {
        test::StoreHarness h;
        h.catalog = five();
        h.access = c.access;
        if (c.skipped) h.settings->set("skippedFullDiskAccess", *c.skipped);
        Store store(h.services());
        EXPECT_EQ(store.hasFullDiskAccess(), c.access);
        EXPECT_FALSE(store.scanningAll()) << "the scan waits for the event loop";
        test::deliver();
        EXPECT_EQ(store.scanningAll(), c.scans);
        EXPECT_EQ(h.user.pending(), c.scans ? 4u : 0u);
        EXPECT_TRUE(store.autoCleanTimerActive());
        store.startAutoCleanTimer();
        EXPECT_TRUE(store.autoCleanTimerActive());
    }
}

// Held while a window draws its first frame: neither the scan creation asks for nor one the
// window asks for starts; both are one scan, started on the turn after the release.
TEST(StoreScan, AHeldFirstScanStartsOnceAfterTheRelease) {
    for (bool access : {true, false}) {
        test::StoreHarness h;
        h.catalog = five();
        h.access = access;
        Store store(h.services());
        store.holdFirstScan();
        test::deliver();
        EXPECT_FALSE(store.scanningAll()) << access;
        auto asked = store.scanAll(); // the window's start-up rule
        EXPECT_FALSE(store.scanningAll()) << access;
        EXPECT_EQ(h.user.pending(), 0u) << access;
        store.releaseFirstScan();
        EXPECT_FALSE(store.scanningAll()) << "on the next turn";
        test::deliver();
        EXPECT_TRUE(store.scanningAll()) << access;
        EXPECT_EQ(h.user.pending(), 4u) << "one scan, not two";
        store.releaseFirstScan();
        test::deliver();
        EXPECT_EQ(h.user.pending(), 4u) << "a second release starts nothing";
    }
}

TEST(StoreScan, AWindowOfFourStartsInListOrderAndRefillsWhenAnyOneEnds) {
    test::StoreHarness h;
    h.catalog = five();
    h.access = false; // no scan at creation
    h.contents["c"] = {item("c1", 10)};
    Store store(h.services());
    QSignalSpy passSpy(&store, &Store::scannedThisPassChanged);

    auto pass = store.scanAll();
    ASSERT_EQ(h.user.pending(), 4u);
    for (const char* id : {"a", "b", "c", "d"})
        EXPECT_TRUE(store.state(id)->scanning) << id;
    EXPECT_EQ(store.state("e"), nullptr);

    // A second full scan while one runs does nothing at all.
    auto second = store.scanAll();
    EXPECT_TRUE(second.isReady());
    EXPECT_EQ(h.user.pending(), 4u);

    h.user.run(2); // "c" ends first
    EXPECT_EQ(h.scans, (std::vector<std::string>{"c"}));
    EXPECT_EQ(store.scannedThisPass(), (std::set<std::string>{"c"}));
    EXPECT_EQ(store.state("c")->items.size(), 1u);
    EXPECT_TRUE(store.state("c")->scanned);
    ASSERT_EQ(h.user.pending(), 4u) << "the fifth starts once one has ended";
    EXPECT_TRUE(store.state("e")->scanning);

    h.user.runAll(); // four scans, then the running snapshot
    EXPECT_EQ(h.scans, (std::vector<std::string>{"c", "a", "b", "d", "e"}));
    EXPECT_EQ(store.scannedThisPass().size(), 5u);
    EXPECT_EQ(h.snapshots, 1);
    EXPECT_TRUE(pass.isReady());
    EXPECT_FALSE(store.scanningAll());
    EXPECT_EQ(store.lastScan(), h.now);
    EXPECT_EQ(passSpy.count(), 6); // emptied, then one per category
}

TEST(StoreScan, AnEmptyListStillReadsTheDiskAndTheRunningProcesses) {
    test::StoreHarness h;
    h.access = false;
    Store store(h.services());
    QSignalSpy diskSpy(&store, &Store::diskChanged);
    auto pass = store.scanAll();
    EXPECT_TRUE(store.scanningAll());
    h.user.runAll();
    EXPECT_TRUE(pass.isReady());
    EXPECT_EQ(diskSpy.count(), 1);
    EXPECT_EQ(h.snapshots, 1);
    EXPECT_TRUE(store.lastScan().has_value());
    EXPECT_FALSE(store.scanningAll());
}

TEST(StoreScan, AScanKeepsTheCleaningFlagAndMessageOfTheMoment) {
    test::StoreHarness h;
    h.catalog = {category("a")};
    h.contents["a"] = {item("one", 5), item("two", 3)};
    auto store = h.make();
    QSignalSpy idSpy(store.get(), &Store::categoryStateChanged);

    auto cleaning = store->clean(store->categories()[0], {item("one", 5)});
    auto rescan = store->scan(store->categories()[0]);
    EXPECT_TRUE(store->state("a")->cleaning);
    EXPECT_TRUE(store->state("a")->scanning);
    h.user.run(1); // the rescan ends while the clean still runs
    EXPECT_TRUE(store->state("a")->cleaning);
    EXPECT_FALSE(store->state("a")->scanning);
    ASSERT_GE(idSpy.count(), 1);
    EXPECT_EQ(idSpy.last().at(0).toString(), "a");
    h.user.runAll();
    EXPECT_FALSE(store->state("a")->cleaning);
    EXPECT_EQ(store->state("a")->items, (std::vector<ScanItem>{item("two", 3)}));
}

TEST(StoreScan, ApplicationsAreFilteredByTheDaysWithoutUse) {
    test::StoreHarness h;
    auto apps = category(Store::applicationsId, Risk::caution, CleanAction::Kind::trash);
    h.catalog = {apps};
    const auto now = std::chrono::system_clock::now();
    auto used = [&](const std::string& name, int daysAgo) {
        ScanItem app = item(name, 100);
        app.lastUsed = now - std::chrono::hours(24 * daysAgo);
        return app;
    };
    h.contents[Store::applicationsId] = {used("Recent", 5), used("Old", 50), item("Never", 100)};
    h.settings->set("unusedAppDays", 30);
    h.access = false;
    Store store(h.services());
    EXPECT_EQ(store.unusedAppDays(), 30);

    // Before the first scan a change is only stored.
    store.setUnusedAppDays(0);
    EXPECT_EQ(store.unusedAppDays(), 1);
    EXPECT_EQ(h.settings->integer("unusedAppDays"), 1);
    EXPECT_EQ(store.state(Store::applicationsId), nullptr);

    store.setUnusedAppDays(30);
    auto scan = store.scan(apps);
    h.user.runAll();
    EXPECT_EQ(store.allApplications().size(), 3u);
    auto names = [&] {
        std::vector<std::string> list;
        for (const auto& app : store.state(Store::applicationsId)->items)
            list.push_back(app.name);
        return list;
    };
    EXPECT_EQ(names(), (std::vector<std::string>{"Old", "Never"}));
    EXPECT_EQ(store.total(Store::applicationsId), 200);

    // A new number filters again without measuring; the total follows the items.
    store.setUnusedAppDays(100);
    EXPECT_EQ(names(), (std::vector<std::string>{"Never"}));
    EXPECT_EQ(store.state(Store::applicationsId)->total, 100);
    store.setUnusedAppDays(-4);
    EXPECT_EQ(names(), (std::vector<std::string>{"Recent", "Old", "Never"}));
    EXPECT_EQ(store.total(Store::applicationsId), 300);
    EXPECT_EQ(h.scans.size(), 1u);
    EXPECT_EQ(h.settings->integer("unusedAppDays"), 1);
}

TEST(StoreScan, RescanForAFolderMeasuresWhatDependsOnItOneAfterAnother) {
    test::StoreHarness h;
    auto needs = category("needs");
    needs.needsFolder = "desktop";
    auto widened = category("widened");
    widened.widenedBy = {"documents", "desktop"};
    h.catalog = {category("other"), needs, widened};
    h.access = false;
    Store store(h.services());
    auto rescan = store.rescan(SuggestedFolder{"desktop", "Desktop", "~/Desktop", "", ""});
    EXPECT_EQ(h.user.pending(), 1u);
    h.user.runAll();
    EXPECT_TRUE(rescan.isReady());
    EXPECT_EQ(h.scans, (std::vector<std::string>{"needs", "widened"}));
}

TEST(StoreScan, WorkThatEndsAfterTheStoreIsGoneIsDropped) {
    test::StoreHarness h;
    h.catalog = five();
    h.access = false;
    auto store = std::make_unique<Store>(h.services());
    auto pass = store->scanAll();
    ASSERT_EQ(h.user.pending(), 4u);
    h.user.run(); // delivered while the store lives
    EXPECT_FALSE(pass.isReady());
    // The pass and its scans still waiting unwind with the store instead of waiting forever.
    store.reset();
    EXPECT_TRUE(pass.isReady());
    h.user.runAll(); // nobody to deliver to
    EXPECT_EQ(h.scans.size(), 5u);
}

// A full scan's slow walk of a category reads its items, the user cleans them meanwhile (by
// hand, with Clean All Safe or by the automatic clean) and the rescan after the clean lists the
// category empty. The walk's answer comes last: it must not list the removed items again, or the
// next Clean All Safe records space it never freed.
TEST(StoreScan, AMeasurementBegunBeforeACleanEndedNeverListsWhatTheCleanRemoved) {
    using Start = std::function<QCoro::Task<>(Store&)>;
    const std::vector<std::pair<const char*, Start>> roads = {
        {"by hand",
         [](Store& store) {
             return store.clean(category("caches"), store.state("caches")->items);
         }},
        {"Clean All Safe", [](Store& store) { return store.cleanAllSafe(); }},
        {"automatic", [](Store& store) { return store.runAutomatic("test"); }},
    };
    for (const auto& [road, start] : roads) {
        test::StoreHarness h;
        h.catalog = {category("caches")};
        const std::vector<ScanItem> listed = {item("a", 100), item("b", 50)};
        h.contents["caches"] = listed;
        auto store = h.make();

        auto pass = store->scanAll();
        ASSERT_EQ(h.user.pending(), 1u) << road; // the walk of "caches", oldest in the queue
        auto cleaning = start(*store);
        // Everything but the walk runs: the clean and its rescan.
        while (h.user.pending() > 1 || h.background.pending() > 0) {
            if (h.background.pending()) {
                h.background.run();
            } else {
                h.user.run(1);
            }
        }
        ASSERT_TRUE(cleaning.isReady()) << road;
        ASSERT_EQ(h.cleans.size(), 1u) << road;
        EXPECT_TRUE(store->state("caches")->items.empty()) << road;
        EXPECT_TRUE(store->state("caches")->scanning) << road << ": the walk is still out";

        // The walk had read both items before the clean removed them.
        h.contents["caches"] = listed;
        h.user.run();
        h.contents["caches"].clear();
        h.user.runAll(); // the running snapshot ends the pass
        EXPECT_TRUE(pass.isReady()) << road;
        EXPECT_TRUE(store->state("caches")->items.empty()) << road;
        EXPECT_FALSE(store->state("caches")->scanning) << road;
        EXPECT_TRUE(store->scannedThisPass().contains("caches")) << road;

        auto again = store->cleanAllSafe();
        h.user.runAll();
        EXPECT_EQ(h.cleans.size(), 1u) << road;
        EXPECT_EQ(store->log()[0].detail, "Freed Zero KB. Free space went up by Zero KB.") << road;
    }
}

// Ending gives up only the measurements still out: one whose answer is already on its way is
// listed as any other.
TEST(StoreScan, AMeasurementAnsweredJustBeforeTheEndingIsStillListed) {
    test::StoreHarness h;
    h.access = false;
    h.catalog = {category("caches")};
    h.contents["caches"] = {item("a", 10)};
    auto services = h.services();
    services.userWork = [](StoreWork::Job job) { job(); }; // answered before the event loop runs
    Store store(services);
    auto scanning = store.scan(category("caches"));
    store.endWork();
    test::deliver();
    EXPECT_TRUE(scanning.isReady());
    ASSERT_TRUE(store.state("caches"));
    EXPECT_EQ(store.state("caches")->items.size(), 1u);
    Ending::clear();
}
