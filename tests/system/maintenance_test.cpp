#include <cstdlib>
#include <ctime>
#include <map>
#include <stdexcept>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/fixture.h"
#include "support/system_tree.h"
#include "system/maintenance.h"

using namespace bramwick;
using Commands = std::vector<std::vector<std::string>>;

namespace {

const char* definitionsPlist = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>CFBundleShortVersionString</key><string>5287</string></dict></plist>)";
const char* scannerPlist = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>CFBundleShortVersionString</key><string>145</string></dict></plist>)";
// A recorded "system_profiler -xml SPInstallHistoryDataType", shortened.
const char* installHistory = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><array><dict><key>_items</key><array>
<dict><key>_name</key><string>XProtectPlistConfigData</string><key>install_date</key><date>2024-03-01T10:00:00Z</date></dict>
<dict><key>_name</key><string>XProtectPlistConfigData</string><key>install_date</key><date>2024-05-02T10:00:00Z</date></dict>
<dict><key>_name</key><string>Other</string><key>install_date</key><date>2025-01-01T10:00:00Z</date></dict>
<dict><key>_name</key><string>XProtectPlistConfigData</string></dict>
</array></dict></array></plist>)";

// Answers each tool with its recorded output and counts the runs.
struct Tools {
    std::map<std::string, Shell::Result> answers;
    std::vector<std::vector<std::string>> ran;
    std::vector<double> limits;
    Shell::Runner runner() {
        return [this](const std::vector<std::string>& arguments, double timeout) -> Shell::Result {
            ran.push_back(arguments);
            limits.push_back(timeout);
            auto found = answers.find(arguments.at(0));
            if (found == answers.end())
                return {127, "/usr/bin/env: '" + arguments[0] + "': No such file or directory\n"};
            if (found->second.status == -99) throw std::runtime_error("cannot launch");
            return found->second;
        };
    }
    int runsOf(const std::string& tool) const {
        int n = 0;
        for (const auto& arguments : ran)
            n += arguments.at(0) == tool;
        return n;
    }
};

Maintenance::Probes probesFor(const test::SystemTree& tree, Tools& tools,
                              std::optional<MemorySnapshot> memory = std::nullopt,
                              std::vector<RunningApplication> apps = {}) {
    Maintenance::Probes probes;
    probes.root = tree.root();
    probes.runner = tools.runner();
    probes.memorySnapshot = [memory] { return memory; };
    probes.applications = [apps] { return apps; };
    return probes;
}

void makeExecutable(test::SystemTree& tree, const std::string& path) {
    tree.write(path, "#!/bin/sh\n");
    ::chmod((tree.root() + path).c_str(), 0755);
}

const MaintenanceTask& task(const std::vector<MaintenanceTask>& tasks, const std::string& id) {
    for (const auto& t : tasks)
        if (t.id == id) return t;
    throw std::runtime_error("no task " + id);
}

RunningApplication mail() {
    RunningApplication app;
    app.pid = 77;
    app.bundleIdentifier = "com.apple.mail";
    return app;
}

} // namespace

TEST(Maintenance, TheTableOfNineTasks) {
    test::SystemTree tree;
    Tools tools;
    auto tasks = Maintenance::all(probesFor(tree, tools));
    std::vector<std::string> ids;
    std::vector<bool> passwords;
    for (const auto& t : tasks) {
        ids.push_back(t.id);
        passwords.push_back(t.needsPassword);
    }
    EXPECT_EQ(ids, (std::vector<std::string>{"malware", "memory-purge", "logs", "snapshots", "dns",
                                             "launch-services", "mail-index", "spotlight",
                                             "verify-disk"}));
    EXPECT_EQ(passwords,
              (std::vector<bool>{false, false, true, true, true, false, false, true, false}));
    for (int i : {0, 1}) {
        EXPECT_TRUE(tasks[i].cost.empty());
        EXPECT_TRUE(tasks[i].commands().empty());
    }
    EXPECT_EQ(task(tasks, "dns").commands(),
              (Commands{{"dscacheutil", "-flushcache"}, {"killall", "-HUP", "mDNSResponder"}}));
    EXPECT_EQ(task(tasks, "snapshots").commands(),
              (Commands{{"tmutil", "thinlocalsnapshots", "/", "1000000000", "4"}}))
        << "at least 1000000000 bytes are asked for";
}

TEST(Maintenance, ATaskIsAvailableOnlyWhereItsToolExists) {
    test::SystemTree tree;
    Tools tools;
    auto available = [&](std::optional<MemorySnapshot> memory) {
        std::vector<std::string> ids;
        for (const auto& t : Maintenance::all(probesFor(tree, tools, memory)))
            if (t.isAvailable()) ids.push_back(t.id);
        return ids;
    };
    EXPECT_TRUE(available(std::nullopt).empty());
    EXPECT_EQ(available(MemorySnapshot{}), (std::vector<std::string>{"memory-purge"}));

    tree.write("/Library/Apple/System/Library/CoreServices/XProtect.bundle/Contents/Info.plist",
               "");
    for (const char* tool : {"/usr/sbin/newsyslog", "/usr/bin/tmutil", "/usr/bin/dscacheutil",
                             "/System/Library/Frameworks/CoreServices.framework/Frameworks/"
                             "LaunchServices.framework/Support/lsregister",
                             "/usr/bin/mdutil", "/usr/sbin/diskutil"})
        makeExecutable(tree, tool);
    tree.write("/usr/bin/not-executable", "");
    EXPECT_EQ(available(std::nullopt),
              (std::vector<std::string>{"malware", "logs", "snapshots", "dns", "launch-services",
                                        "spotlight", "verify-disk"}));
    ::chmod((tree.root() + "/usr/sbin/diskutil").c_str(), 0644);
    EXPECT_EQ(available(std::nullopt).back(), "spotlight") << "a file that cannot run is no tool";
}

TEST(Maintenance, MalwareProtectionSaysWhatItKnows) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    struct Case {
        bool definitions, scanner;
        std::optional<Shell::Result> history; // none: system_profiler missing
        Shell::Result spctl;
        const char* expected;
    } cases[] = {
        {false,
         false,
         Shell::Result{0, installHistory},
         {0, "assessments enabled\n"},
         "Gatekeeper on"},
        {true,
         true,
         Shell::Result{0, installHistory},
         {0, "assessments enabled\n"},
         // the date in the locale's own format: the C locale's, in which the tests run
         "Definitions 5287, updated 05/02/24 \u00B7 scanner 145 \u00B7 Gatekeeper on"},
        {true,
         false,
         std::nullopt,
         {0, "assessments enabled\n"},
         "Definitions 5287 \u00B7 Gatekeeper on"},
        {true,
         false,
         Shell::Result{0, "not a property list"},
         {1, "assessments disabled\n"},
         "Definitions 5287 \u00B7 GATEKEEPER IS OFF"},
        {false, false, std::nullopt, {0, "something else\n"}, "GATEKEEPER IS OFF"},
        // the check that cannot run never claims protection is off
        {false,
         true,
         std::nullopt,
         {127, "/usr/bin/env: 'spctl': No such file or directory\n"},
         "scanner 145 \u00B7 cannot tell whether Gatekeeper is on"},
        {false,
         false,
         std::nullopt,
         {-1, "\nStopped after 15 seconds."},
         "cannot tell whether Gatekeeper is on"},
        {false, false, std::nullopt, {-99, ""}, "cannot tell whether Gatekeeper is on"},
    };
    for (const auto& c : cases) {
        test::SystemTree tree;
        std::string core = "/Library/Apple/System/Library/CoreServices/";
        if (c.definitions)
            tree.write(core + "XProtect.bundle/Contents/Info.plist", definitionsPlist);
        if (c.scanner) tree.write(core + "XProtect.app/Contents/Info.plist", scannerPlist);
        Tools tools;
        if (c.history) tools.answers["system_profiler"] = *c.history;
        tools.answers["spctl"] = c.spctl;
        auto probes = probesFor(tree, tools);
        EXPECT_EQ(Maintenance::xprotectStatus(probes), c.expected);
        EXPECT_EQ(task(Maintenance::all(probes), "malware").measure(), c.expected);
        if (!c.definitions) {
            EXPECT_EQ(tools.runsOf("system_profiler"), 0) << "no definitions, no history";
        }
    }
}

TEST(Maintenance, WhatAMemoryPurgeWouldFree) {
    test::SystemTree tree;
    Tools tools;
    EXPECT_FALSE(Maintenance::purgeReality(probesFor(tree, tools)));
    EXPECT_EQ(Maintenance::purgeReality(probesFor(tree, tools, MemorySnapshot{})),
              "Would free Zero KB that is genuinely spare");
    EXPECT_EQ(
        Maintenance::purgeReality(
            probesFor(tree, tools, MemorySnapshot{0, 3'000'000'000, 1'500'000, 9, 0, 0})),
        "Would free Zero KB that is genuinely spare \u00B7 drop 3 GB of disk cache macOS reads "
        "straight back \u00B7 cannot touch the 1.5 MB the compressor holds");
}

TEST(Maintenance, LocalSnapshots) {
    struct Case {
        const char* listing;
        int total, purgeable;
        const char* measure;
    } cases[] = {
        {"", 0, 0, "No local snapshots."},
        {"/usr/bin/env: 'diskutil': No such file or directory\n", 0, 0, "No local snapshots."},
        {"Snapshots for disk3s1s1 (1 found)\n|\n+-- 4C3A\n    Name:        com.apple.os.update-X\n"
         "    Purgeable:   No\n",
         1, 0,
         "1 local snapshot, none purgeable \u2014 every one was made for an OS update, so this "
         "would free nothing"},
        {"|  Name: a\n| Purgeable: No\n|  Name: b\n+-\tName: c\n", 3, 0,
         "3 local snapshots, none purgeable \u2014 every one was made for an OS update, so this "
         "would free nothing"},
        {"+-- Name: a\n|   Purgeable: Yes\n+-- Name: b\n|   Purgeable: Yes \n+-- Name: c\n|   "
         "Purgeable: Yes, later\n",
         3, 2, "2 of 3 local snapshots can be dropped \u00B7 the volume reports Zero KB purgeable"},
    };
    for (const auto& c : cases) {
        test::SystemTree tree;
        Tools tools;
        tools.answers["diskutil"] = {0, c.listing};
        auto probes = probesFor(tree, tools);
        auto snapshots = Maintenance::localSnapshots(probes);
        EXPECT_EQ(snapshots.total, c.total) << c.listing;
        EXPECT_EQ(snapshots.purgeable, c.purgeable) << c.listing;
        EXPECT_EQ(task(Maintenance::all(probes), "snapshots").measure(), c.measure);
        EXPECT_EQ(tools.ran.back(),
                  (std::vector<std::string>{"diskutil", "apfs", "listSnapshots", "/"}));
    }
}

TEST(Maintenance, MailIndexes) {
    test::clearHome();
    test::SystemTree tree;
    Tools tools;
    auto tasks = Maintenance::all(probesFor(tree, tools));
    const auto& mailIndex = task(tasks, "mail-index");
    EXPECT_FALSE(mailIndex.isAvailable()) << "no ~/Library/Mail";
    EXPECT_TRUE(mailIndex.commands().empty());
    EXPECT_FALSE(mailIndex.measure());

    std::string mailFolder = test::home() + "/Library/Mail";
    test::makeFile(mailFolder + "/V9/MailData/Envelope Index", 0);
    EXPECT_TRUE(mailIndex.isAvailable());
    EXPECT_FALSE(mailIndex.measure()) << "indexes of 0 bytes: nothing to say";

    test::makeFile(mailFolder + "/V10/MailData/Envelope Index", 40'000);
    test::makeFolder(mailFolder + "/V8/MailData");
    // Links lead to another program's database: never compacted.
    std::string other = test::makeFile(test::home() + "/other.db", 40'000);
    test::makeFolder(mailFolder + "/V7/MailData");
    test::makeLink(other, mailFolder + "/V7/MailData/Envelope Index");
    test::makeFile(test::home() + "/elsewhere/MailData/Envelope Index", 40'000);
    test::makeLink(test::home() + "/elsewhere", mailFolder + "/V6");
    test::makeFolder(mailFolder + "/V5");
    test::makeLink(test::home() + "/elsewhere/MailData", mailFolder + "/V5/MailData");
    EXPECT_EQ(mailIndex.commands(),
              (Commands{{"sqlite3", mailFolder + "/V10/MailData/Envelope Index", "vacuum;"},
                        {"sqlite3", mailFolder + "/V9/MailData/Envelope Index", "vacuum;"}}));
    auto size = mailIndex.measure();
    ASSERT_TRUE(size);
    EXPECT_EQ(size->find("\u00B7"), std::string::npos);
    auto whileMailRuns =
        task(Maintenance::all(probesFor(tree, tools, std::nullopt, {mail()})), "mail-index");
    EXPECT_EQ(whileMailRuns.measure(), *size + " \u00B7 quit Mail first");
    test::clearHome();
}

TEST(Maintenance, TheActionsNotOffered) {
    test::SystemTree tree;
    Tools tools;
    auto probes = probesFor(tree, tools);
    auto retired = Maintenance::retired(probes);
    ASSERT_EQ(retired.size(), 4u);
    EXPECT_EQ(retired[0].name, "Run the periodic maintenance scripts");
    EXPECT_EQ(retired[1].name, "Scan for malware");
    EXPECT_EQ(retired[2].name, "Repair disk permissions");
    EXPECT_EQ(retired[3].name, "Free up RAM");
    EXPECT_TRUE(retired[0].why.starts_with("macOS no longer ships the `periodic` command"));
    makeExecutable(tree, "/usr/bin/periodic");
    EXPECT_TRUE(Maintenance::periodicExists(probes));
    EXPECT_TRUE(
        Maintenance::retired(probes)[0].why.starts_with("The daily, weekly and monthly scripts"));
}

TEST(Maintenance, RunningATaskWithoutPassword) {
    auto taskOf = [](Commands commands) {
        MaintenanceTask t;
        t.id = "verify-disk";
        t.commands = [commands] { return commands; };
        return t;
    };
    test::SystemTree tree;
    struct Case {
        std::map<std::string, Shell::Result> answers;
        Commands commands;
        Maintenance::Result expected;
        int runs;
    } cases[] = {
        {{}, {}, {true, ""}, 0},
        {{{"a", {0, "  first\n"}}, {"b", {0, "second\n\n"}}},
         {{"a"}, {"b"}},
         {true, "first\nsecond"},
         2},
        {{{"a", {0, "one"}}, {"b", {3, "two "}}, {"c", {0, "three"}}},
         {{"a"}, {"b"}, {"c"}},
         {false, "onetwo"},
         2},
        {{{"a", {-1, "partial\nStopped after 600 seconds."}}},
         {{"a"}, {"b"}},
         {false, "partial\nStopped after 600 seconds."},
         1},
        {{{"a", {-99, ""}}}, {{"a"}}, {false, "\nCouldn't run a."}, 1},
        {{{"a", {0, "ok "}}, {"b", {-99, ""}}}, {{"a"}, {"b"}}, {false, "ok \nCouldn't run b."}, 2},
        {{{"a", {0, "ok"}}}, {{"a"}, {}}, {false, "ok\nCouldn't run the command."}, 1},
    };
    for (const auto& c : cases) {
        Tools tools;
        tools.answers = c.answers;
        EXPECT_EQ(Maintenance::run(taskOf(c.commands), probesFor(tree, tools)), c.expected);
        EXPECT_EQ(static_cast<int>(tools.ran.size()), c.runs);
        for (double limit : tools.limits)
            EXPECT_EQ(limit, 600);
    }
}

TEST(Maintenance, TheMailIndexIsNotRewrittenWhileMailRuns) {
    test::SystemTree tree;
    Tools tools;
    MaintenanceTask t;
    t.id = "mail-index";
    int asked = 0;
    t.commands = [&] {
        ++asked;
        return Commands{{"sqlite3", "index", "vacuum;"}};
    };
    EXPECT_EQ(
        Maintenance::run(t, probesFor(tree, tools, std::nullopt, {mail()})),
        (Maintenance::Result{false, "Mail is open. Quit Mail and run this again \u2014 the index "
                                    "cannot be rewritten while Mail holds it."}));
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(tools.ran.empty());
}

TEST(Maintenance, RunningATaskWithThePassword) {
    MaintenanceTask dns;
    dns.id = "dns";
    dns.needsPassword = true;
    dns.commands = [] {
        return Commands{{"dscacheutil", "-flushcache"}, {"killall", "-HUP", "mDNSResponder"}};
    };
    test::SystemTree tree;
    struct Case {
        Shell::Result pkexec;
        Maintenance::Result expected;
    } cases[] = {
        {{0, "\n  flushed \n"}, {true, "flushed"}},
        {{126, "Error executing command as another user: Request dismissed\n"},
         {false, "Cancelled."}},
        {{1, " -128 is just a number here\n"}, {false, "-128 is just a number here"}},
        {{127, "/usr/bin/env: 'pkexec': No such file or directory\n"},
         {false, "Administrator rights are not available: pkexec is not installed."}},
        {{-99, ""}, {false, "Couldn't ask for the administrator password."}},
    };
    for (const auto& c : cases) {
        Tools tools;
        tools.answers["pkexec"] = c.pkexec;
        EXPECT_EQ(Maintenance::run(dns, probesFor(tree, tools)), c.expected);
        ASSERT_EQ(tools.ran.size(), 1u);
        EXPECT_EQ(tools.ran[0],
                  (std::vector<std::string>{
                      "pkexec", "/bin/sh", "-c",
                      "'dscacheutil' '-flushcache' && 'killall' '-HUP' 'mDNSResponder'"}));
        EXPECT_EQ(tools.limits[0], 900);
    }
}

TEST(Maintenance, AdministratorScriptsKeepEveryArgumentIntact) {
    // The prompt itself is skipped: the script runs through /bin/sh as pkexec would run it.
    MaintenanceTask t;
    t.needsPassword = true;
    t.commands = [] {
        return Commands{
            {"printf", "%s|", "it's", "a \"b\" \\c", "$(echo no)"}, {"false"}, {"echo", "never"}};
    };
    Maintenance::Probes probes;
    probes.runner = [](const std::vector<std::string>& arguments, double timeout) {
        return Shell::run({arguments.at(1), arguments.at(2), arguments.at(3)}, timeout);
    };
    auto result = Maintenance::run(t, probes);
    EXPECT_FALSE(result.succeeded) << "the chain stops at the first failing command";
    EXPECT_EQ(result.output, "it's|a \"b\" \\c|$(echo no)|");
}
