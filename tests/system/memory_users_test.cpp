#include <algorithm>
#include <stdexcept>

#include <gtest/gtest.h>

#include "base/edition.h"
#include "support/long_named_process.h"
#include "support/system_tree.h"
#include "system/memory_users.h"

using namespace bramwick;
using MemoryUsers::Entry;
using MemoryUsers::QuitResult;

namespace {

class FakeApplications : public RunningApplications {
  public:
    std::vector<RunningApplication> apps;
    std::optional<std::string> refusal; // what requestQuit answers
    bool activates = true;
    std::vector<pid_t> activated, askedToQuit;

    std::vector<RunningApplication> list() const override { return apps; }
    bool activate(const RunningApplication& app) override {
        activated.push_back(app.pid);
        return activates;
    }
    std::optional<std::string> requestQuit(const RunningApplication& app) override {
        askedToQuit.push_back(app.pid);
        return refusal;
    }
};

RunningApplication app(pid_t pid, std::string id, std::string name, bool regular = true) {
    RunningApplication a;
    a.pid = pid;
    a.bundleIdentifier = std::move(id);
    a.name = std::move(name);
    a.regular = regular;
    return a;
}

Shell::Runner recorded(std::string output, int* runs = nullptr) {
    return [output, runs](const std::vector<std::string>& arguments, double timeout) {
        EXPECT_EQ(arguments,
                  (std::vector<std::string>{"ps", "-Ao", "pid=,ppid=,pcpu=,rss=,comm="}));
        EXPECT_EQ(timeout, 20);
        if (runs) ++*runs;
        return Shell::Result{0, output};
    };
}

Entry entry(std::optional<std::string> bundleID) {
    Entry e;
    e.id = bundleID.value_or("x");
    e.name = "X";
    e.bundleID = std::move(bundleID);
    return e;
}

} // namespace

TEST(MemoryUsers, ProcessesBelongToTheApplicationUpToSixGenerationsUp) {
    FakeApplications apps;
    apps.apps = {app(100, "org.example.Editor", "Editor")};
    std::string listing = "  100     1  1.0  1000 /usr/bin/editor\n";
    // 101 … 107: each the child of the one before; 106 is six generations below 100.
    for (int pid = 101; pid <= 107; ++pid)
        listing +=
            "  " + std::to_string(pid) + "   " + std::to_string(pid - 1) + "  0.5   100 worker\n";
    auto users = MemoryUsers::current(15, recorded(listing), apps);
    ASSERT_EQ(users.size(), 2u);
    EXPECT_EQ(users[0], (Entry{"org.example.Editor",
                               "Editor",
                               (1000 + 6 * 100) * 1024,
                               4.0,
                               {100, 101, 102, 103, 104, 105, 106},
                               "org.example.Editor"}));
    EXPECT_EQ(users[1], (Entry{"worker", "worker", 100 * 1024, 0.5, {107}, std::nullopt}));
    EXPECT_TRUE(users[0].canQuit());
    EXPECT_FALSE(users[1].canQuit());
}

TEST(MemoryUsers, GroupsAndNamesProcessesWithoutAnApplication) {
    FakeApplications apps;
    apps.apps = {app(200, "org.example.Helper", "Helper", false), app(300, "", "Nameless Id"),
                 app(400, "org.example.Blank", "")};
    auto users = MemoryUsers::current(
        15,
        recorded("  200     1  0.0  5000 helperd\n" // an accessory app
                 "  201   200  0.0  1000 helper-child\n"
                 "  300     1  0.0  4000 tool\n"               // no identifier: by name
                 "  400     1  0.0  3500 blank-app\n"          // no name: its process name
                 "  500   499  0.0  3000 kworker/0:1-events\n" // parent not listed
                 "  501     2  0.0  3000 kworker/0:1-events\n" // same name: one entry
                 "  600     1  0.0  2000 /opt/Some App.app/Contents/MacOS/run\n"
                 "  601     1  1,5  9999 comma\n" // skipped
                 "  abc     1  0.0  9999 word\n"  // skipped
                 "  602     1  0.0\n"             // skipped
                 "Stopped after 20 seconds.\n"),
        apps);
    ASSERT_EQ(users.size(), 5u);
    EXPECT_EQ(users[0],
              (Entry{"org.example.Helper", "Helper", 6000 * 1024, 0, {200, 201}, std::nullopt}));
    EXPECT_EQ(
        users[1],
        (Entry{
            "kworker/0:1-events", "kworker/0:1-events", 6000 * 1024, 0, {500, 501}, std::nullopt}))
        << "equal sizes keep the order of first appearance";
    EXPECT_EQ(users[2], (Entry{"Nameless Id", "Nameless Id", 4000 * 1024, 0, {300}, std::nullopt}));
    EXPECT_EQ(
        users[3],
        (Entry{"org.example.Blank", "blank-app", 3500 * 1024, 0, {400}, "org.example.Blank"}));
    EXPECT_EQ(users[4].name, "Some App");
}

TEST(MemoryUsers, AStrayProcessDoesNotTakeOverAnApplicationsEntry) {
    FakeApplications apps;
    apps.apps = {app(100, "firefox-esr", "Firefox")};
    auto users = MemoryUsers::current(15,
                                      recorded("  100     1  0.0  1000 firefox-esr\n"
                                               "  900     1  0.0  1000 firefox-esr\n"),
                                      apps);
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0],
              (Entry{"firefox-esr", "Firefox", 2000 * 1024, 0, {100, 900}, "firefox-esr"}));
    EXPECT_TRUE(users[0].isBrowser());
}

TEST(MemoryUsers, ProcessesAreNamedByTheirWholeExecutableName) {
    FakeApplications apps;
    test::LongNamedProcess helper;
    ASSERT_GT(helper.pid(), 0);
    // Counted as the helper's own, not as this test's child.
    auto users = MemoryUsers::current(100000, Shell::run, apps, "", -1);
    auto found = std::find_if(users.begin(), users.end(), [&](const Entry& user) {
        return std::find(user.pids.begin(), user.pids.end(), helper.pid()) != user.pids.end();
    });
    ASSERT_NE(found, users.end());
    EXPECT_EQ(found->name, test::LongNamedProcess::name);
    EXPECT_EQ(found->id, test::LongNamedProcess::name);

    // A process that ended, or whose pid went to another one, keeps the name ps printed.
    test::SystemTree tree;
    tree.write("/proc/300/comm", "someone-else\n");
    auto listed = MemoryUsers::current(
        15, recorded("  300     1  0.0  100 backup-agent-fo\n  301     1  0.0  50 short\n"), apps,
        tree.root());
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].name, "backup-agent-fo");
    EXPECT_EQ(listed[1].name, "short");
}

TEST(MemoryUsers, LimitsAndFailures) {
    FakeApplications apps;
    std::string listing = "  1  0  0.0  100 a\n  2  0  0.0  300 b\n  3  0  0.0  200 c\n";
    int runs = 0;
    EXPECT_TRUE(MemoryUsers::current(0, recorded(listing, &runs), apps).empty());
    EXPECT_TRUE(MemoryUsers::current(-3, recorded(listing, &runs), apps).empty());
    EXPECT_EQ(runs, 0);
    auto two = MemoryUsers::current(2, recorded(listing), apps);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0].name, "b");
    EXPECT_EQ(two[1].name, "c");
    EXPECT_EQ(MemoryUsers::current(99, recorded(listing), apps).size(), 3u);
    auto broken = [](const std::vector<std::string>&, double) -> Shell::Result {
        throw std::runtime_error("cannot launch");
    };
    EXPECT_TRUE(MemoryUsers::current(15, broken, apps).empty());
}

TEST(MemoryUsers, QuitAsksPolitelyAndSaysWhyNot) {
    FakeApplications apps;
    apps.apps = {app(10, "org.example.Editor", "Editor"), app(11, "org.other", "Other"),
                 app(12, "org.example.Editor", "Editor")};
    EXPECT_EQ(MemoryUsers::quit(entry(std::nullopt), apps),
              QuitResult::refused("Not an application \u2014 it has no Quit to ask for. Close it "
                                  "where you started it."));
    EXPECT_EQ(MemoryUsers::quit(entry(Edition::appId), apps),
              QuitResult::refused("That is Bramwick."));
    EXPECT_EQ(MemoryUsers::quit(entry("org.gone"), apps), QuitResult::notRunning());
    EXPECT_TRUE(apps.askedToQuit.empty());

    EXPECT_EQ(MemoryUsers::quit(entry("org.example.Editor"), apps), QuitResult::asked());
    EXPECT_EQ(apps.askedToQuit, (std::vector<pid_t>{10, 12}));

    apps.refusal = "It has no window to close.";
    EXPECT_EQ(MemoryUsers::quit(entry("org.example.Editor"), apps),
              QuitResult::refused("It has no window to close."));
}

TEST(MemoryUsers, ShowBringsTheFirstMatchingApplicationForward) {
    FakeApplications apps;
    apps.apps = {app(10, "org.other", "Other"), app(11, "org.example.Editor", "Editor"),
                 app(12, "org.example.Editor", "Editor")};
    EXPECT_FALSE(MemoryUsers::show(entry(std::nullopt), apps));
    EXPECT_FALSE(MemoryUsers::show(entry("org.gone"), apps));
    EXPECT_TRUE(MemoryUsers::show(entry("org.example.Editor"), apps));
    EXPECT_EQ(apps.activated, (std::vector<pid_t>{11}));
    apps.activates = false;
    EXPECT_FALSE(MemoryUsers::show(entry("org.example.Editor"), apps));
}

TEST(MemoryUsers, ThisProgramIsRecognisedByItsOwnProcessWithoutADesktopEntry) {
    // Run from a build folder: the desktop lists no application for it.
    FakeApplications apps;
    auto users = MemoryUsers::current(15,
                                      recorded("  4242     1  2.0  90000 bramwick\n"
                                               "  4243  4242  0.0  1000 ps\n"
                                               "  5000     1  0.0  5000 other\n"),
                                      apps, "", 4242);
    ASSERT_EQ(users.size(), 2u);
    EXPECT_EQ(users[0], (Entry{std::string(Edition::appId),
                               Edition::displayName,
                               91000 * 1024,
                               2.0,
                               {4242, 4243},
                               std::string(Edition::appId)}));
    EXPECT_FALSE(users[0].canQuit()) << "shows as this app, never with Quit";
    EXPECT_EQ(users[1].bundleID, std::nullopt);
}

TEST(MemoryUsers, BrowsersAndThisProgram) {
    struct Case {
        std::optional<std::string> id;
        bool browser, canQuit;
    } cases[] = {{"com.google.Chrome", true, true},   {"org.mozilla.firefox", true, true},
                 {"firefox-esr", true, true},         {"com.vivaldi.Vivaldi", true, true},
                 {"org.gnome.Nautilus", false, true}, {Edition::appId, false, false},
                 {std::nullopt, false, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(entry(c.id).isBrowser(), c.browser) << c.id.value_or("none");
        EXPECT_EQ(entry(c.id).canQuit(), c.canQuit) << c.id.value_or("none");
    }
}
