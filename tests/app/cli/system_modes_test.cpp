#include <sstream>

#include <gtest/gtest.h>

#include "app/cli/system_modes.h"
#include "base/edition.h"
#include "base/text.h"
#include "support/fixture.h"

using namespace bramwick;

TEST(RunningMode, PrintsSwapThenOneLinePerItem) {
    RunningSnapshot snapshot;
    snapshot.swapUsed = 1'500'000;
    snapshot.swapTotal = 2'000'000'000;
    snapshot.scanned = true;
    std::ostringstream empty;
    Cli::printRunning(snapshot, empty);
    EXPECT_EQ(empty.str(),
              "Swap: 1.5 MB of 2 GB\nNo simulators or leftover log watchers running.\n");

    snapshot.items = {
        {"sim-U", RunningItem::Simulator{"U"}, "iPhone 15", "iOS 17.2", 123.45, 2'000'000},
        {"watch-7", RunningItem::Watcher{{7}, {}}, "Log watcher", "Running for 1 hour", 0, 0}};
    std::ostringstream out;
    Cli::printRunning(snapshot, out);
    EXPECT_EQ(out.str(), "Swap: 1.5 MB of 2 GB\n"
                         "123.5% CPU  2 MB  iPhone 15 \u2014 iOS 17.2\n"
                         "  0.0% CPU  Zero KB  Log watcher \u2014 Running for 1 hour\n");

    snapshot.items.clear();
    snapshot.watchersProblem = "Couldn't run ps: cannot launch ps";
    std::ostringstream withoutPs;
    Cli::printRunning(snapshot, withoutPs);
    EXPECT_EQ(withoutPs.str(), "Swap: 1.5 MB of 2 GB\nNo simulators or leftover log watchers "
                               "running.\nCouldn't run ps: cannot launch ps.\n");
}

TEST(MemoryMode, PrintsOneLinePerUserWithItsKind) {
    std::vector<MemoryUsers::Entry> entries = {
        {"org.example.Editor", "Editor", 2'000'000'000, 1.5, {1, 2, 3}, "org.example.Editor"},
        {Edition::appId, "Bramwick", 12'345'678, 0, {4}, Edition::appId},
        {"kworker",
         "a process whose name is longer than thirty characters",
         0,
         0,
         {5},
         std::nullopt},
    };
    std::ostringstream out;
    Cli::printMemoryUsers(entries, out);
    EXPECT_EQ(out.str(), "2 GB       Editor                         3 proc  can quit\n"
                         "12.3 MB    Bramwick                       1 proc  (this app)\n"
                         "Zero KB    a process whose name is longer 1 proc  not an app\n");
}

TEST(MaintenanceMode, PrintsEachTaskWithItsStateThenWhatIsNotOffered) {
    auto task = [](std::string name, bool available, bool password,
                   std::vector<std::vector<std::string>> commands,
                   std::optional<std::string> measured) {
        MaintenanceTask t;
        t.name = std::move(name);
        t.needsPassword = password;
        t.isAvailable = [available] { return available; };
        t.measure = [measured] { return measured; };
        t.commands = [commands] { return commands; };
        return t;
    };
    std::vector<MaintenanceTask> tasks = {
        task("Missing one", false, true, {{"tool", "-x"}}, "measured anyway"),
        task("Information", true, true, {}, "Would free Zero KB"),
        task("Needs password", true, true, {{"a", "b c"}, {"d"}}, std::nullopt),
        task("Ready", true, false, {{"e"}}, std::nullopt),
    };
    std::ostringstream out;
    Cli::printMaintenance(tasks, {{"First", "Why not."}, {"Second", "Because."}}, out);
    EXPECT_EQ(out.str(), "MISSING  Missing one \u2014 measured anyway\n"
                         "         $ tool -x\n"
                         "status   Information \u2014 Would free Zero KB\n"
                         "password Needs password\n"
                         "         $ a b c\n"
                         "         $ d\n"
                         "ready    Ready\n"
                         "         $ e\n"
                         "\nNot offered:\n"
                         "  First\n    Why not.\n"
                         "  Second\n    Because.\n");
}

TEST(SystemModes, PrintRealRowsOnThisMachine) {
    auto running = test::runProgram(BRAMWICK_BINARY, {"--running"});
    EXPECT_EQ(running.status, 0);
    EXPECT_TRUE(Text::startsWith(running.output, "Swap: ")) << running.output;

    // This test runs, so there is at least one process, and every line has the row's shape.
    auto memory = test::runProgram(BRAMWICK_BINARY, {"--memory"});
    EXPECT_EQ(memory.status, 0);
    EXPECT_FALSE(memory.output.empty());
    std::size_t lines = 0;
    for (std::size_t at = 0; at < memory.output.size(); ++lines) {
        std::size_t end = memory.output.find('\n', at);
        std::string line = memory.output.substr(at, end - at);
        EXPECT_TRUE(line.find(" proc  ") != std::string::npos) << line;
        at = end + 1;
    }
    EXPECT_LE(lines, 15u);

    auto maintenance = test::runProgram(BRAMWICK_BINARY, {"--maintenance"});
    EXPECT_EQ(maintenance.status, 0);
    EXPECT_NE(maintenance.output.find("MISSING  Rebuild the Open With list\n"), std::string::npos)
        << maintenance.output;
    EXPECT_NE(maintenance.output.find("\nNot offered:\n  Run the periodic maintenance scripts\n"),
              std::string::npos);
}
