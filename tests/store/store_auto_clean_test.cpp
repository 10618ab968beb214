#include <unistd.h>

#include <QSignalSpy>
#include <gtest/gtest.h>

#include "engine/auto_clean.h"
#include "store_harness.h"

using namespace bramwick;
using test::category;
using test::item;

namespace {

// Two categories the automatic clean takes, three it leaves, and a browser that is open.
void prepare(test::StoreHarness& h) {
    auto busy = category("busy");
    busy.busyApps = {"org.browser"};
    auto never = category("never");
    never.neverAutomatic = true;
    h.catalog = {category("caches"), category("logs"), category("moved", Risk::caution), never,
                 busy};
    h.settings->set("levelOverrides", nlohmann::json{{"moved", "Safe to Remove"}});
    h.contents = {{"caches", {item("a", 1500), item("b", 500), item("open", 1)}},
                  {"moved", {item("m", 1)}},
                  {"never", {item("n", 1)}},
                  {"busy", {item("c", 1)}}};
    h.failing = {"open"};
    // The running applications are this process, so they count as the user's own.
    h.applications.running = {
        {::getpid(), "org.browser", "browser", "/Applications/Browser.app", "", true}};
}

} // namespace

TEST(StoreAutoClean, AScheduledRunScansCleansInTheBackgroundRescansRecordsAndNotifies) {
    test::StoreHarness h;
    prepare(h);
    AutoClean::setSchedule(AutoClean::Schedule::daily, *h.settings);
    AutoClean::setLastRun(h.now - std::chrono::hours(72), *h.settings);
    auto store = h.make();
    h.scans.clear();
    QSignalSpy reportSpy(store.get(), &Store::reportChanged);

    auto tick = store->autoCleanTick();
    EXPECT_TRUE(store->autoCleaning());
    EXPECT_TRUE(store->isBusy());
    // The plan is made once: neither a closed browser nor a level change alters the run.
    h.applications.running.clear();
    store->move({"logs"}, Level::warning);

    h.user.run(); // scan "caches"
    EXPECT_EQ(h.user.pending(), 0u);
    ASSERT_EQ(h.background.pending(), 1u) << "the clean runs on the low-priority pool";
    EXPECT_TRUE(store->state("caches")->cleaning);
    h.background.run();
    EXPECT_FALSE(store->state("caches")->cleaning);
    h.runToTheEnd();
    EXPECT_TRUE(tick.isReady());
    EXPECT_FALSE(store->autoCleaning());

    EXPECT_EQ(h.scans, (std::vector<std::string>{"caches", "caches", "logs"}));
    ASSERT_EQ(h.cleans.size(), 1u);
    EXPECT_EQ(h.cleans[0].first, "caches");

    ASSERT_EQ(store->log().size(), 1u);
    EXPECT_EQ(store->log()[0].title, "Automatic clean (daily clean): 2 KB");
    EXPECT_EQ(store->log()[0].detail,
              "Category caches, Category logs\nSkipped: Category moved (you moved it to Safe to "
              "Remove, so only cleaned by hand), Category never (only ever cleaned by hand), "
              "Category busy (Browser is open)\n1 items were in use and left alone.");
    EXPECT_EQ(AutoClean::lastRun(*h.settings), h.now);
    EXPECT_EQ(AutoClean::lastFreed(*h.settings), 2000);
    ASSERT_TRUE(store->lastAutoClean());
    EXPECT_EQ(*store->lastAutoClean(), (Store::AutoCleanRun{h.now, 2000}));
    EXPECT_EQ(h.notifier.posted,
              (std::vector<std::pair<std::string, std::string>>{
                  {"Freed 2 KB", "Bramwick ran a daily clean and removed caches, logs and build "
                                 "data that regenerate."}}));
    EXPECT_EQ(reportSpy.count(), 0) << "no banner";

    // The next store starts from the stored run.
    Store again(h.services());
    EXPECT_EQ(again.lastAutoClean(), store->lastAutoClean());
}

TEST(StoreAutoClean, ALowSpaceRunNotifiesOnlyWhenWantedAndInstalled) {
    struct Case {
        bool notify;
        bool installed;
        bool posted;
    };
    for (const Case& c :
         std::vector<Case>{{true, true, true}, {false, true, false}, {true, false, false}}) {
        test::StoreHarness h;
        h.catalog = {category("caches")};
        h.settings->set("autoCleanOnLowSpace", true);
        h.settings->set("autoCleanNotify", c.notify);
        h.notifier.installed = c.installed;
        auto store = h.make();
        h.scans.clear();

        h.disk->available = 10'000'000'000; // not below the 10 GB threshold
        auto quiet = store->diskTick();
        EXPECT_TRUE(quiet.isReady());
        EXPECT_FALSE(store->autoCleaning());

        h.disk->available = 9'999'999'999;
        auto tick = store->diskTick();
        EXPECT_TRUE(store->autoCleaning());
        h.runToTheEnd();
        EXPECT_TRUE(tick.isReady());
        EXPECT_EQ(h.scans, (std::vector<std::string>{"caches"})) << "nothing found: one scan";
        EXPECT_TRUE(h.cleans.empty());
        ASSERT_EQ(store->log().size(), 1u);
        EXPECT_EQ(store->log()[0].title, "Automatic clean (free space fell below 10 GB): Zero KB");
        EXPECT_EQ(store->log()[0].detail,
                  "Nothing to remove \u2014 everything safe was already clean.");
        EXPECT_EQ(AutoClean::lastFreed(*h.settings), 0);
        EXPECT_EQ(h.notifier.posted.size(), c.posted ? 1u : 0u);
        if (c.posted) {
            EXPECT_EQ(h.notifier.posted[0].first, "Nothing to clean");
        }
        EXPECT_FALSE(store->report());

        // The next low-space clean waits an hour after this one.
        auto soon = store->diskTick();
        EXPECT_FALSE(store->autoCleaning());
    }
}

TEST(StoreAutoClean, ADisabledOrBusyStoreDoesNotRun) {
    test::StoreHarness h;
    h.catalog = {category("caches")};
    auto store = h.make();

    auto disabled = store->autoCleanTick();
    EXPECT_TRUE(disabled.isReady());
    EXPECT_FALSE(h.settings->contains("autoCleanEnabledAt")) << "not even armed";

    AutoClean::setSchedule(AutoClean::Schedule::weekly, *h.settings);
    AutoClean::setLastRun(h.now - std::chrono::hours(24 * 30), *h.settings);
    auto pass = store->scanAll();
    auto waiting = store->autoCleanTick();
    EXPECT_TRUE(waiting.isReady());
    EXPECT_FALSE(store->autoCleaning()) << "a full scan runs: the next tick tries again";
    h.user.runAll();

    auto due = store->autoCleanTick();
    EXPECT_TRUE(store->autoCleaning());
    auto second = store->autoCleanTick();
    EXPECT_TRUE(second.isReady());
    h.runToTheEnd();
    EXPECT_EQ(store->log().size(), 1u) << "one run, not two";
}
