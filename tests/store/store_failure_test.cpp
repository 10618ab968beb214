#include <fstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "store_harness.h"
#include "support/fixture.h"

using namespace bramwick;
using test::category;
using test::item;

// Whatever the engine throws, the operation ends: its busy flag is cleared and the error is the
// report, so the window never stays busy until the program is restarted.
TEST(StoreFailure, AnOperationThatThrowsClearsItsFlagsAndReportsTheError) {
    struct Case {
        const char* name;
        std::function<void(StoreServices&)> breakIt;
        std::function<QCoro::Task<>(Store&)> start;
    };
    auto thrower = [](const auto&...) -> Cleaner::Outcome {
        throw std::runtime_error("disk on fire");
    };
    Case cases[] = {
        {"clean", [&](StoreServices& s) { s.clean = thrower; },
         [](Store& store) { return store.clean(category("caches"), {item("a", 10)}); }},
        {"move", [&](StoreServices& s) { s.move = thrower; },
         [](Store& store) { return store.move(category("caches"), {item("a", 10)}, "/x/Backup"); }},
        {"clean all safe", [&](StoreServices& s) { s.clean = thrower; },
         [](Store& store) { return store.cleanAllSafe(); }},
        {"scan",
         [](StoreServices& s) {
             s.items = [](const CleanupCategory&) -> std::vector<ScanItem> {
                 throw std::runtime_error("disk on fire");
             };
         },
         [](Store& store) { return store.scan(category("caches")); }},
        {"maintenance",
         [](StoreServices& s) {
             s.runMaintenance = [](const MaintenanceTask&) -> Maintenance::Result {
                 throw std::runtime_error("disk on fire");
             };
         },
         [](Store& store) {
             MaintenanceTask task;
             task.id = "t";
             task.name = "Task";
             return store.maintenance().run(task);
         }},
        {"uninstall",
         [](StoreServices& s) {
             s.uninstall = [](const ScanItem&,
                              const std::vector<AppLeftover>&) -> Cleaner::Outcome {
                 throw std::runtime_error("disk on fire");
             };
         },
         [](Store& store) {
             UninstallPlan plan;
             plan.app = item("Atlas", 10);
             return store.uninstalls().perform(plan, {});
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::StoreHarness h;
        h.catalog = {category("caches")};
        h.contents["caches"] = {item("a", 10)};
        h.access = false;
        StoreServices broken = h.services();
        c.breakIt(broken);
        Store failing(broken);
        // Clean All Safe takes what was listed: list it first.
        auto listed = failing.scan(category("caches"));
        h.user.runAll();
        auto running = c.start(failing);
        h.user.runAll();
        EXPECT_TRUE(running.isReady());
        EXPECT_FALSE(failing.isBusy());
        EXPECT_FALSE(failing.cleaningAll());
        EXPECT_FALSE(failing.uninstalls().uninstalling());
        EXPECT_FALSE(failing.maintenance().runningTask());
        if (const auto* state = failing.state("caches")) {
            EXPECT_FALSE(state->cleaning);
            EXPECT_FALSE(state->scanning);
        }
        ASSERT_TRUE(failing.report());
        EXPECT_TRUE(failing.report()->hasFailures);
        EXPECT_NE(failing.report()->message.find("disk on fire"), std::string::npos)
            << failing.report()->message;
    }
}

// Unreadable settings are shown as a report at start, and the file is left exactly as it was
// until a setting is changed.
TEST(StoreFailure, UnreadableSettingsAreReportedAtStartAndTheFileIsLeftAlone) {
    test::StoreHarness h;
    const std::string path = h.folder + "/settings.json";
    const std::string broken = "{\"autoCleanSchedule\": \"daily\", \"cleanupLog\": [";
    std::ofstream(path) << broken;
    h.settings = std::make_unique<Settings>(path);
    auto store = h.make();
    ASSERT_TRUE(store->report());
    EXPECT_EQ(store->report()->title, "Settings could not be read");
    EXPECT_NE(store->report()->message.find(path + " is not valid JSON. The default settings"),
              std::string::npos);
    EXPECT_TRUE(store->report()->hasFailures);
    EXPECT_EQ(test::readFile(path), broken);

    test::StoreHarness fine;
    EXPECT_FALSE(fine.make()->report());
}

// A rescan after a clean that fails leaves nothing listed: what was listed before may be gone,
// and the Safe figure and Clean All Safe would count it. A plain rescan that fails keeps it.
TEST(StoreFailure, AFailedRescanAfterACleanListsNothingOfWhatWasThere) {
    test::StoreHarness h;
    h.catalog = {category("caches")};
    h.contents["caches"] = {item("a", 10), item("b", 20)};
    h.access = false;
    bool fails = false;
    StoreServices services = h.services();
    auto measure = services.items;
    services.items = [&](const CleanupCategory& c) {
        if (fails) throw std::runtime_error("disk on fire");
        return measure(c);
    };
    Store store(services);
    auto listed = store.scan(category("caches"));
    h.user.runAll();
    ASSERT_EQ(store.safeTotal(), 30);

    fails = true;
    auto plain = store.scan(category("caches"));
    h.user.runAll();
    EXPECT_EQ(store.state("caches")->items.size(), 2u) << "nothing has changed since";

    auto cleaning = store.clean(category("caches"), {item("a", 10)});
    h.user.runAll();
    h.background.runAll();
    h.user.runAll();
    ASSERT_TRUE(cleaning.isReady());
    EXPECT_TRUE(store.state("caches")->items.empty());
    EXPECT_EQ(store.safeTotal(), 0);
    ASSERT_TRUE(store.report());
    EXPECT_EQ(store.report()->title, "Category caches") << "the clean's own report follows";
}
