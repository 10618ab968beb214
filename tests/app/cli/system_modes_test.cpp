#include <sstream>

#include <gtest/gtest.h>

#include "app/cli/system_modes.h"
#include "engine/text.h"
#include "support/fixture.h"

using namespace bramwick;

TEST(RunningMode, PrintsSwapThenOneLinePerItem) {
    RunningSnapshot snapshot;
    snapshot.swapUsed = 1'500'000;
    snapshot.swapTotal = 2'000'000'000;
    snapshot.scanned = true;
    std::ostringstream empty;
    Cli::printRunning(snapshot, empty);
    EXPECT_EQ(empty.str(), "Swap: 1.5 MB of 2 GB\nNo simulators or leftover log watchers running.\n");

    snapshot.items = {{"sim-U", RunningItem::Simulator{"U"}, "iPhone 15", "iOS 17.2", 123.45, 2'000'000},
                      {"watch-7", RunningItem::Watcher{{7}, {}}, "Log watcher", "Running for 1 hour", 0, 0}};
    std::ostringstream out;
    Cli::printRunning(snapshot, out);
    EXPECT_EQ(out.str(), "Swap: 1.5 MB of 2 GB\n"
                         "123.5% CPU  2 MB  iPhone 15 \u2014 iOS 17.2\n"
                         "  0.0% CPU  Zero KB  Log watcher \u2014 Running for 1 hour\n");
}

TEST(SystemModes, PrintRealRowsOnThisMachine) {
    auto running = test::runProgram(BRAMWICK_BINARY, {"--running"});
    EXPECT_EQ(running.status, 0);
    EXPECT_TRUE(Text::startsWith(running.output, "Swap: ")) << running.output;
}
