#include <csignal>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>

#include <unistd.h>

#include <gtest/gtest.h>

#include "support/system_tree.h"
#include "system/running.h"

using namespace bramwick;
using namespace std::chrono_literals;

extern char** environ;

namespace {

// A recorded "xcrun simctl list devices booted -j", runtimes in document order.
const char* twoRuntimes = R"({
  "devices" : {
    "com.apple.CoreSimulator.SimRuntime.watchOS-11-0" : [
      { "udid" : "W-1", "name" : "Apple Watch", "state" : "Booted" },
      { "udid" : "W-2", "name" : "Old Watch", "state" : "Shutdown" }
    ],
    "com.apple.CoreSimulator.SimRuntime.iOS-17-2" : [
      { "udid" : "P-1", "name" : "iPhone 15", "state" : "Booted",
        "lastBootedAt" : "2024-05-01T10:00:00.250Z" },
      { "name" : "No udid", "state" : "Booted" },
      { "udid" : "P-1", "name" : "Same udid again", "state" : "Booted" }
    ]
  }
})";

const char* oneSimulator = R"({"devices": {"com.apple.CoreSimulator.SimRuntime.iOS-17-2": [
    {"udid": "AAAA-1111", "name": "iPhone 15", "state": "Booted", "lastBootedAt": "2024-05-01T10:00:00Z"}]}})";

Date at(const char* when) {
    std::tm tm{};
    ::strptime(when, "%Y-%m-%d %H:%M:%S", &tm);
    return std::chrono::system_clock::from_time_t(::timegm(&tm));
}

struct Recorded {
    std::string ps;
    Shell::Result simctl{0, R"({"devices": {}})"};
    bool psFails = false;
};

RunningSnapshot scan(const Recorded& recorded, const test::SystemTree& tree, pid_t ownPid = 999999,
                     uid_t ownUid = ::getuid()) {
    RunningScanner::Source source;
    source.root = tree.root();
    source.ownPid = ownPid;
    source.ownUid = ownUid;
    source.now = [] { return at("2024-05-01 12:30:00"); };
    source.runner = [&](const std::vector<std::string>& arguments, double) -> Shell::Result {
        if (arguments.at(0) == "ps") {
            if (recorded.psFails) throw std::runtime_error("cannot launch");
            return {0, recorded.ps};
        }
        if (arguments ==
            std::vector<std::string>{"xcrun", "simctl", "list", "devices", "booted", "-j"})
            return recorded.simctl;
        return {127, "unexpected"};
    };
    return RunningScanner::snapshot(source);
}

const RunningItem::Watcher& watcherOf(const RunningItem& item) {
    return std::get<RunningItem::Watcher>(item.kind);
}

} // namespace

TEST(Running, NothingRunningStillReportsSwap) {
    test::SystemTree tree;
    tree.write("/proc/meminfo", "SwapTotal: 1000 kB\nSwapFree: 400 kB\n");
    auto snapshot = scan({"    1     0  0.0  1000 10-00:00:00 /sbin/init\n"}, tree);
    EXPECT_TRUE(snapshot.scanned);
    EXPECT_TRUE(snapshot.items.empty());
    EXPECT_EQ(snapshot.swapUsed, 600 * 1024);
    EXPECT_EQ(snapshot.swapTotal, 1000 * 1024);
}

TEST(Running, ABootedSimulatorGathersItsProcessTreeOnce) {
    test::SystemTree tree;
    Recorded recorded;
    recorded.simctl.output = oneSimulator;
    recorded.ps =
        "    1     0  0.0  1000 10-00:00:00 /sbin/init\n"
        "  100     1  1.5  2048    02:00:00 /sim/launchd_sim /Devices/AAAA-1111/boot.plist\n"
        "  101   100  2.0  1024       01:00 child of the root\n"
        "  102   101  0.5   512       01:00 grandchild\n"
        // a second root that is also a child of the first: counted once
        "  103   100  0.25  256       00:30 /sim/launchd_sim AAAA-1111 again\n"
        // its own parent: the walk must not loop
        "  106   106  0.0    64       00:10 launchd_sim AAAA-1111 odd\n"
        "  104     1  3.0  4096    01:00:00 /Library/SimRenderServer\n"
        "  105     1  9.0  8192    01:00:00 unrelated\n";
    auto snapshot = scan(recorded, tree);
    ASSERT_EQ(snapshot.items.size(), 1u);
    const auto& item = snapshot.items[0];
    EXPECT_EQ(item.id, "sim-AAAA-1111");
    EXPECT_EQ(item.kind, RunningItem::Kind(RunningItem::Simulator{"AAAA-1111"}));
    EXPECT_EQ(item.name, "iPhone 15");
    EXPECT_EQ(item.detail, "iOS 17.2 \u00B7 running for 2 hours");
    EXPECT_DOUBLE_EQ(item.cpu, 1.5 + 2.0 + 0.5 + 0.25 + 0.0 + 3.0);
    EXPECT_EQ(item.memory, (2048 + 1024 + 512 + 256 + 64 + 4096) * 1024);
}

TEST(Running, SharedRenderersCountOnlyWithOneSimulator) {
    test::SystemTree tree;
    Recorded recorded;
    recorded.simctl.output = twoRuntimes;
    recorded.ps = "  104     1  3.0  4096    01:00:00 /Library/SimRenderServer\n"
                  "  107     1  1.0  1024    01:00:00 SimMetalHost\n";
    auto snapshot = scan(recorded, tree);
    ASSERT_EQ(snapshot.items.size(), 3u);
    // Document order of the runtimes, then of the devices.
    EXPECT_EQ(snapshot.items[0].name, "Apple Watch");
    EXPECT_EQ(snapshot.items[0].detail, "watchOS 11.0")
        << "no boot date, no processes: the OS alone";
    EXPECT_EQ(snapshot.items[1].detail, "iOS 17.2 \u00B7 running for 2 hours");
    EXPECT_EQ(snapshot.items[2].name, "Same udid again");
    for (const auto& item : snapshot.items) {
        EXPECT_EQ(item.cpu, 0);
        EXPECT_EQ(item.memory, 0);
    }

    recorded.simctl.output = oneSimulator;
    auto single = scan(recorded, tree);
    ASSERT_EQ(single.items.size(), 1u);
    EXPECT_EQ(single.items[0].cpu, 4.0);
    EXPECT_EQ(single.items[0].detail, "iOS 17.2 \u00B7 running for 2 hours");
}

TEST(Running, SimulatorListsThatCannotBeReadGiveNoSimulators) {
    test::SystemTree tree;
    const char* watcher =
        "  300     1  0.0  100    02:00:00 xcrun simctl spawn booted log stream\n";
    std::vector<Shell::Result> failures = {
        {127, "/usr/bin/env: 'xcrun': No such file or directory\n"},
        {1, oneSimulator},
        {0, "not json"},
        {0, R"({"devices": {"rt": {"udid": "x"}}})"},
        {0, R"({"devices": {"rt": [{"udid": "x", "state": "Booted"}, 7]}})"},
        {0, R"({"devices": []})"},
    };
    for (const auto& failure : failures) {
        Recorded recorded;
        recorded.simctl = failure;
        recorded.ps = watcher;
        auto snapshot = scan(recorded, tree);
        ASSERT_EQ(snapshot.items.size(), 1u) << failure.output;
        EXPECT_EQ(snapshot.items[0].detail,
                  "Running for 2 hours \u00B7 left behind by a tool that has quit \u00B7 its "
                  "simulator isn't running");
    }
}

TEST(Running, LogWatchers) {
    test::SystemTree tree;
    Recorded recorded;
    recorded.simctl.output = oneSimulator;
    recorded.ps = "  200     1  1.0  1000       59:00 log stream --level debug\n" // too young
                  "  201     1  1.0  1000    01:01:00 log stream --level debug\n" // a root
                  "  202   201  2.0  2000    01:01:00 log stream --child\n"       // member of 201
                  "  203   202  4.0  4000    01:01:00 log stream --grandchild\n"  // neither
                  "  204   201  8.0  8000    01:01:00 not a watcher\n"            // not a member
                  "  210     1  0.5   500  2-01:02:03 /Applications/Xcode.app/x log stream\n"
                  "  220    50  0.5   500    05:00:00 /Applications/Claude.app/y log stream\n"
                  "  230    50  0.0   100    03:00:00 xcrun simctl spawn AAAA-1111 log stream\n"
                  "  240     1  0.0   100    03:00:00 log stream RuntimeRoot/x\n"    // skipped
                  "  250     1  0.0   100    03:00:00 log stream of this program\n"; // own pid
    auto snapshot = scan(recorded, tree, 250);
    ASSERT_EQ(snapshot.items.size(), 5u);
    EXPECT_EQ(snapshot.items[0].id, "sim-AAAA-1111");

    const auto& root = snapshot.items[1];
    EXPECT_EQ(root.id, "watch-201");
    EXPECT_EQ(root.name, "Log watcher");
    EXPECT_EQ(watcherOf(root).pids, (std::vector<std::int32_t>{201, 202}));
    EXPECT_EQ(root.cpu, 3.0);
    EXPECT_EQ(root.memory, 3000 * 1024);
    EXPECT_EQ(root.detail, "Running for 1 hour \u00B7 left behind by a tool that has quit");

    EXPECT_EQ(
        snapshot.items[2].detail,
        "Started by Xcode \u00B7 running for 2 days \u00B7 left behind by a tool that has quit");
    EXPECT_EQ(snapshot.items[3].detail, "Started by Claude \u00B7 running for 5 hours");
    EXPECT_EQ(snapshot.items[4].name, "Log watcher on iPhone 15");
    EXPECT_EQ(snapshot.items[4].detail, "Running for 3 hours");

    recorded.psFails = true;
    auto withoutPs = scan(recorded, tree, 250);
    ASSERT_EQ(withoutPs.items.size(), 1u) << "no process list: the simulator alone";
    EXPECT_EQ(withoutPs.items[0].memory, 0);
    EXPECT_EQ(withoutPs.watchersProblem, "Couldn't run ps: cannot launch");
    EXPECT_EQ(snapshot.watchersProblem, "");
}

TEST(Running, WatchersRememberWhoTheirPidsWere) {
    test::SystemTree tree;
    tree.write("/proc/201/stat",
               "201 (log) S 1 201 201 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 5555 0 0\n");
    tree.write("/proc/201/cmdline", std::string("log\0stream\0", 11));
    tree.write("/proc/202/stat",
               "202 (vi) S 201 201 201 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 6666 0 0\n");
    tree.write("/proc/202/cmdline", std::string("vi\0notes\0", 9)); // the pid changed hands
    Recorded recorded;
    recorded.ps = "  201     1  0.0  100    02:00:00 log stream\n"
                  "  202   201  0.0  100    02:00:00 log stream --child\n"
                  "  203   201  0.0  100    02:00:00 log stream --gone\n";
    auto snapshot = scan(recorded, tree);
    ASSERT_EQ(snapshot.items.size(), 1u);
    const auto& watcher = watcherOf(snapshot.items[0]);
    ASSERT_EQ(watcher.identities.size(), 3u);
    ASSERT_TRUE(watcher.identities[0]);
    EXPECT_EQ(watcher.identities[0]->startTime, 5555u);
    EXPECT_FALSE(watcher.identities[1]) << "not a log stream any more";
    EXPECT_FALSE(watcher.identities[2]) << "ended";
}

// ps lists every user's processes: only the user's own watchers are offered for stopping.
TEST(Running, WatchersOfOtherUsersAreNotListed) {
    test::SystemTree tree;
    tree.write("/proc/301/stat",
               "301 (log) S 1 301 301 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 5555 0 0\n");
    tree.write("/proc/301/cmdline", std::string("log\0stream\0", 11));
    Recorded recorded;
    recorded.ps = "  301     1  0.0  100    02:00:00 log stream\n";
    EXPECT_EQ(scan(recorded, tree).items.size(), 1u) << "the folder is the test's own";
    EXPECT_TRUE(scan(recorded, tree, 999999, ::getuid() + 1).items.empty());
}

TEST(Running, RunningTimeReadsAsOneUnit) {
    struct Case {
        double seconds;
        const char* text;
    } cases[] = {{0, "1 minute"},
                 {45, "1 minute"},
                 {119, "1 minute"},
                 {120, "2 minutes"},
                 {3723, "1 hour"},
                 {7199, "1 hour"},
                 {2 * 86400 + 3723, "2 days"},
                 {-50, "1 minute"}};
    for (const auto& c : cases)
        EXPECT_EQ(RunningScanner::runningTime(c.seconds), c.text) << c.seconds;
}

TEST(Running, StopCommands) {
    RunningItem simulator{"sim-U", RunningItem::Simulator{"U"}, "iPhone", "", 0, 0};
    RunningItem watcher{"watch-10", RunningItem::Watcher{{10, 12}, {}}, "Log watcher", "", 0, 0};
    EXPECT_EQ(RunningScanner::stopCommand(simulator),
              (std::vector<std::string>{"xcrun", "simctl", "shutdown", "U"}));
    EXPECT_EQ(RunningScanner::stopCommand(watcher), (std::vector<std::string>{"kill", "10", "12"}));

    std::vector<std::string> ran;
    double limit = 0;
    auto result = RunningScanner::stop(
        simulator, [&](const std::vector<std::string>& arguments, double timeout) {
            ran = arguments;
            limit = timeout;
            return Shell::Result{0, ""};
        });
    EXPECT_EQ(ran, RunningScanner::stopCommand(simulator));
    EXPECT_EQ(limit, 120);
    EXPECT_EQ(result.status, 0);
}

TEST(Running, StoppingAWatcherHitsOnlyTheProcessesItListed) {
    // Three processes of this test's own: one listed as it is, one whose pid "was reused" (its
    // recorded start time differs), one never confirmed as a watcher.
    std::vector<pid_t> children;
    for (int i = 0; i < 3; ++i) {
        pid_t pid = -1;
        char sleep[] = "sleep", seconds[] = "60";
        char* argv[] = {sleep, seconds, nullptr};
        ASSERT_EQ(::posix_spawnp(&pid, "sleep", nullptr, nullptr, argv, environ), 0);
        children.push_back(pid);
    }
    auto reap = [&] {
        for (pid_t pid : children)
            if (::waitpid(pid, nullptr, WNOHANG) == 0) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
            }
    };
    RunningItem::Watcher watcher;
    watcher.pids = {children[0], children[1], children[2]};
    auto first = ProcessTable::identity(children[0]);
    auto second = ProcessTable::identity(children[1]);
    ASSERT_TRUE(first && second);
    second->startTime += 7;
    watcher.identities = {first, second, std::nullopt};
    RunningItem item{"watch-x", watcher, "Log watcher", "", 0, 0};

    auto result = RunningScanner::stop(item);
    int status = 0;
    ASSERT_EQ(::waitpid(children[0], &status, 0), children[0]);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_EQ(::waitpid(children[1], nullptr, WNOHANG), 0) << "a changed process is never hit";
    EXPECT_EQ(::waitpid(children[2], nullptr, WNOHANG), 0);
    EXPECT_EQ(result.status, 1) << "a pid left running is no success";
    EXPECT_NE(result.output.find(std::to_string(children[2])), std::string::npos) << result.output;
    reap();

    // Everything listed has ended by now: nothing was stopped, and that is no success.
    auto allGone = RunningScanner::stop(item);
    EXPECT_EQ(allGone.status, 1);
    EXPECT_EQ(allGone.output, "Its processes had already ended.");
    RunningItem single{
        "watch-y", RunningItem::Watcher{{children[0]}, {first}}, "Log watcher", "", 0, 0};
    auto gone = RunningScanner::stop(single);
    EXPECT_EQ(gone.status, 1);
    EXPECT_EQ(gone.output, "The process had already ended.");
}
