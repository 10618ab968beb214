#include <spawn.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <system_error>

#include <QSignalSpy>
#include <gtest/gtest.h>

#include "base/ending.h"
#include "store_harness.h"
#include "support/fixture.h"

extern char** environ;

using namespace bramwick;
using test::category;
using test::item;

namespace {

RunningItem watcher() {
    return RunningItem{"watch-7", RunningItem::Watcher{{7}, {}}, "log stream", "", 12.6, 2'500'000};
}

} // namespace

TEST(StoreRunning, AStopReportsItsOutcomeAfterANewSnapshotAndTheDisk) {
    struct Case {
        std::function<Shell::Result(const RunningItem&)> stop;
        std::string title;
        std::string message;
        bool failed;
    };
    const std::vector<Case> cases = {
        {[](const RunningItem&) {
             return Shell::Result{0, ""};
         },
         "Stopped log stream", "It was using 13% of a CPU core and 2.5 MB of memory.", false},
        {[](const RunningItem&) {
             return Shell::Result{1, "gone\n"};
         },
         "Couldn't stop log stream", "gone", true},
        {[](const RunningItem&) -> Shell::Result {
             throw std::system_error(std::make_error_code(std::errc::no_such_file_or_directory));
         },
         "Couldn't stop log stream", "The command didn't run.", true},
    };
    for (const auto& c : cases) {
        test::StoreHarness h;
        h.access = false;
        h.stop = c.stop;
        Store store(h.services());
        QSignalSpy diskSpy(&store, &Store::diskChanged);
        auto stopping = store.vitals().stop(watcher());
        EXPECT_EQ(store.vitals().stopping(), (std::set<std::string>{"watch-7"}));
        h.user.run(); // the command
        EXPECT_TRUE(store.vitals().stopping().empty());
        EXPECT_TRUE(store.vitals().refreshingRunning());
        EXPECT_FALSE(store.report());
        h.user.run(); // the snapshot
        EXPECT_TRUE(stopping.isReady());
        EXPECT_FALSE(store.vitals().refreshingRunning());
        EXPECT_EQ(h.snapshots, 1);
        EXPECT_EQ(diskSpy.count(), 1);
        ASSERT_TRUE(store.report());
        EXPECT_EQ(store.report()->title, c.title);
        EXPECT_EQ(store.report()->message, c.message);
        EXPECT_EQ(store.report()->hasFailures, c.failed);
    }
}

TEST(StoreVitals, SamplesKeepThirtyOfHistoryAndAskForTheBusiestEveryFifth) {
    test::StoreHarness h;
    h.access = false;
    Store store(h.services());
    EXPECT_FALSE(store.vitals().latest().sampled);

    h.reading.topCPU = Vitals::Process{"first", 50, 1};
    store.vitals().startSampling();
    store.vitals().startSampling(); // a second start takes no second sample
    EXPECT_TRUE(store.vitals().sampling());
    EXPECT_FALSE(store.vitals().latest().sampled) << "read on a worker, applied when it comes back";
    h.user.runAll();
    EXPECT_EQ(h.samples, (std::vector<bool>{true}));
    EXPECT_EQ(store.vitals().latest().topCPU->name, "first");

    // The other samples keep the busiest processes of the last one that asked.
    h.reading.topCPU.reset();
    const double fullScale = Vitals::swapRateFullScale();
    for (int i = 1; i <= 30; ++i) {
        h.reading.cpuBusy = i / 100.0;
        h.reading.swapRate = static_cast<std::int64_t>(fullScale * (i == 30 ? 3 : 0.5));
        store.vitals().tick();
        h.user.runAll();
        if (i == 4) {
            EXPECT_EQ(store.vitals().latest().topCPU->name, "first");
        }
    }
    EXPECT_EQ(h.samples.size(), 31u);
    for (std::size_t n = 0; n < h.samples.size(); ++n)
        EXPECT_EQ(h.samples[n], n % 5 == 0) << n;
    EXPECT_FALSE(store.vitals().latest().topCPU) << "the 31st sample asked again and found none";

    ASSERT_EQ(store.vitals().latest().cpuHistory.size(), 30u);
    EXPECT_DOUBLE_EQ(store.vitals().latest().cpuHistory.front(), 0.01);
    EXPECT_DOUBLE_EQ(store.vitals().latest().cpuHistory.back(), 0.30);
    ASSERT_EQ(store.vitals().latest().swapHistory.size(), 30u);
    EXPECT_DOUBLE_EQ(store.vitals().latest().swapHistory.back(), 1.0) << "capped at full scale";
    EXPECT_NEAR(store.vitals().latest().swapHistory.front(), 0.5, 1e-6);
    EXPECT_TRUE(store.vitals().latest().sampled);

    store.vitals().stopSampling();
    EXPECT_FALSE(store.vitals().sampling());
    store.vitals().stopSampling();
    store.vitals().startSampling(); // the rhythm goes on from where it was
    h.user.runAll();
    EXPECT_EQ(h.samples.size(), 32u);
    EXPECT_FALSE(h.samples.back());
}

TEST(StoreVitals, ABusyShareNotYetMeasuredIsNeitherShownNorDrawn) {
    test::StoreHarness h;
    h.access = false;
    Store store(h.services());
    h.reading.cpuMeasured = false; // the sampler's first reading
    h.reading.loadPerCore = 1.4;
    store.vitals().startSampling();
    h.user.runAll();
    EXPECT_TRUE(store.vitals().latest().sampled);
    EXPECT_FALSE(store.vitals().latest().cpuMeasured);
    EXPECT_TRUE(store.vitals().latest().cpuHistory.empty());
    EXPECT_EQ(store.vitals().latest().swapHistory.size(), 1u);
    h.reading.cpuMeasured = true;
    h.reading.cpuBusy = 0.4;
    store.vitals().tick();
    h.user.runAll();
    EXPECT_TRUE(store.vitals().latest().cpuMeasured);
    EXPECT_EQ(store.vitals().latest().cpuHistory, (std::vector<double>{0.4}));
    h.reading.cpuMeasured = false; // ticks unreadable this once: the last share stays
    h.reading.cpuBusy = 0;
    store.vitals().tick();
    h.user.runAll();
    EXPECT_TRUE(store.vitals().latest().cpuMeasured);
    EXPECT_DOUBLE_EQ(store.vitals().latest().cpuBusy, 0.4);
    EXPECT_EQ(store.vitals().latest().cpuHistory, (std::vector<double>{0.4}));
}

TEST(StoreVitals, ATickWhileAReadingIsOutIsNotTakenAndDoesNotCount) {
    test::StoreHarness h;
    h.access = false;
    Store store(h.services());
    h.reading.cpuBusy = 0.25;
    store.vitals().startSampling();
    store.vitals().tick(); // the first reading has not come back yet
    EXPECT_EQ(h.user.pending(), 1u);
    h.user.runAll();
    EXPECT_EQ(h.samples, (std::vector<bool>{true}));
    EXPECT_EQ(store.vitals().latest().cpuHistory, (std::vector<double>{0.25}));

    // The fifth sample after the first still lists the processes.
    for (int i = 0; i < 5; ++i) {
        store.vitals().tick();
        h.user.runAll();
    }
    EXPECT_EQ(h.samples, (std::vector<bool>{true, false, false, false, false, true}));
}

TEST(StoreMaintenance, ReportsTheOutcomeAndRecordsOnlyASuccessThatFreedSpace) {
    struct Case {
        bool succeeded;
        std::string output;
        std::int64_t frees;
        std::string message;
        bool recorded;
    };
    const std::vector<Case> cases = {
        {true, "Rotated.", 2'000'000'000, "Free space went up by 2 GB.\n\nRotated.", true},
        {true, "", 0, "Done.", false},
        {false, "refused", 2'000'000'000, "refused", false},
    };
    for (const auto& c : cases) {
        test::StoreHarness h;
        h.access = false;
        h.maintenance = {c.succeeded, c.output};
        h.maintenanceFrees = c.frees;
        Store store(h.services());
        MaintenanceTask task;
        task.id = "logs";
        task.name = "Rotate Logs";
        task.detail = "Rotates the system logs.";
        auto running = store.maintenance().run(task);
        EXPECT_EQ(store.maintenance().runningTask(), "logs");
        EXPECT_TRUE(store.isBusy());
        h.user.runAll();
        EXPECT_TRUE(running.isReady());
        EXPECT_FALSE(store.maintenance().runningTask());
        EXPECT_EQ(store.report()->title, "Rotate Logs");
        EXPECT_EQ(store.report()->message, c.message);
        EXPECT_EQ(store.report()->hasFailures, !c.succeeded);
        EXPECT_EQ(store.log().size(), c.recorded ? 1u : 0u);
        if (c.recorded) {
            EXPECT_EQ(store.log()[0].title, "Rotate Logs: 2 GB");
            EXPECT_EQ(store.log()[0].detail, "Rotates the system logs.");
        }
    }
}

// One task at a time, and none once the program is ending; the one running holds the ending
// until it has recorded what it freed.
TEST(StoreMaintenance, OneTaskAtATimeNoneOnceEndingAndTheRunningOneHoldsTheEnd) {
    test::StoreHarness h;
    h.access = false;
    h.maintenanceFrees = 2'000'000'000;
    Store store(h.services());
    MaintenanceTask logs;
    logs.id = "logs";
    logs.name = "Rotate Logs";
    MaintenanceTask dns = logs;
    dns.id = "dns";
    auto running = store.maintenance().run(logs);
    auto second = store.maintenance().run(dns);
    EXPECT_TRUE(second.isReady()) << "a second task started while one runs";
    EXPECT_EQ(store.maintenance().runningTask(), "logs");
    EXPECT_EQ(h.user.pending(), 1u);
    EXPECT_TRUE(store.cleansUnderway()) << "an ending would not wait for the task's record";

    store.endWork();
    EXPECT_TRUE(store.cleansUnderway());
    h.user.runAll();
    EXPECT_FALSE(store.cleansUnderway());
    EXPECT_EQ(store.log().size(), 1u);
    auto after = store.maintenance().run(dns);
    EXPECT_TRUE(after.isReady());
    EXPECT_FALSE(store.maintenance().runningTask()) << "a task started while ending";
    EXPECT_EQ(h.user.pending(), 0u);
    Ending::clear();
}

TEST(StoreDisk, FiguresAreKeptWhenTheyCannotBeRead) {
    test::StoreHarness h;
    h.access = false;
    h.disk = DiskFigures{1000, 400, 100};
    Store store(h.services());
    EXPECT_EQ(store.disk(), (DiskFigures{1000, 400, 400})) << "never below what is available";
    h.disk.reset();
    store.refreshDisk();
    EXPECT_EQ(store.disk(), (DiskFigures{1000, 400, 400}));
}

// Free space that could not be read before the work is no gain: the whole free space of the
// volume must not show up as freed once the figures can be read again.
TEST(StoreDisk, NoGainIsClaimedWhenTheFiguresBeforeTheWorkWereMissing) {
    enum class Work { maintenance, clean, cleanAllSafe };
    for (Work work : {Work::maintenance, Work::clean, Work::cleanAllSafe}) {
        test::StoreHarness h;
        h.access = false;
        h.catalog = {category("caches")};
        h.contents["caches"] = {item("a", 10)};
        h.disk.reset();
        Store store(h.services());
        ASSERT_FALSE(store.disk());
        auto scanning = store.scan(category("caches"));
        h.user.runAll();

        MaintenanceTask task;
        task.name = "Rotate Logs";
        QCoro::Task<> running = work == Work::maintenance ? store.maintenance().run(task)
                                : work == Work::clean
                                    ? store.clean(category("caches"), {item("a", 10)})
                                    : store.cleanAllSafe();
        h.disk = DiskFigures{1'000'000'000'000, 100'000'000'000, 100'000'000'000};
        h.user.runAll();
        ASSERT_TRUE(running.isReady());
        ASSERT_TRUE(store.disk());
        switch (work) {
        case Work::maintenance:
            EXPECT_EQ(store.report()->message, "Done.");
            EXPECT_TRUE(store.log().empty()) << "nothing measured, nothing recorded";
            break;
        case Work::clean:
            EXPECT_EQ(store.report()->message, "Removed 1 item (10 bytes). The system can take a "
                                               "minute to show the freed space in its total.");
            break;
        case Work::cleanAllSafe:
            EXPECT_EQ(store.log()[0].detail, "Freed 10 bytes. Free space went up by Zero KB.");
            break;
        }
    }
}

TEST(StoreDesktop, QuitAsksEveryInstanceOfTheBundleAndRevealHandsOverThePaths) {
    test::StoreHarness h;
    h.access = false;
    Store store(h.services());
    ScanItem app = item("Editor.app", 10);
    app.url = "/Applications/Editor.app";
    RunningApplication one{1, "org.editor", "Editor", "/Applications/Editor.app/", "", true};
    RunningApplication two{2, "org.editor", "Editor", "/Applications/./Editor.app", "", true};
    RunningApplication other{3, "org.other", "Other", "/Applications/Other.app", "", true};
    RunningApplication loose{4, "", "tool", "", "/usr/bin/tool", false};

    h.applications.running = {other, loose};
    store.uninstalls().quit(app);
    EXPECT_TRUE(h.applications.askedToQuit.empty());
    h.applications.running = {one, other, two};
    store.uninstalls().quit(app);
    EXPECT_EQ(h.applications.askedToQuit, (std::vector<RunningApplication>{one, two}));

    store.reveal({item("a", 1), item("b", 1)});
    EXPECT_EQ(h.revealed, (std::vector<std::vector<std::string>>{{"/fixture/a", "/fixture/b"}}));
}

// The applications of this desktop lie in no bundle: an AppImage runs as its own file, a Flatpak
// from its sandbox under the id its uninstall found.
TEST(StoreDesktop, QuitAsksTheRunningAppImageAndTheFlatpakOfTheUninstallShown) {
    test::StoreHarness h;
    h.access = false;
    Store store(h.services());
    ScanItem appImage = item("Tool.AppImage", 10);
    appImage.url = "/home/u/Applications/Tool.AppImage";
    ScanItem flatpak = item("Maps", 10);
    flatpak.url = "/home/u/.local/share/flatpak/app/org.gnome.Maps";
    RunningApplication tool{5, "", "Tool", "", "/home/u/Applications/./Tool.AppImage", false};
    RunningApplication maps{6, "org.gnome.Maps", "Maps", "", "/app/bin/gnome-maps", true};
    RunningApplication bundled{7, "org.gnome.Maps", "Maps", "/Applications/Maps.app", "", true};
    h.applications.running = {tool, maps, bundled};

    store.uninstalls().quit(appImage);
    store.uninstalls().quit(flatpak); // no uninstall shown: its id is not known
    EXPECT_EQ(h.applications.askedToQuit, std::vector{tool});

    UninstallPlan plan;
    plan.app = flatpak;
    plan.bundleID = "org.gnome.Maps";
    store.uninstalls().setPlan(plan);
    h.applications.askedToQuit.clear();
    store.uninstalls().quit(flatpak);
    EXPECT_EQ(h.applications.askedToQuit, std::vector{maps});
}

TEST(StoreBusy, OnlyLongOperationsAndCleansMakeTheStoreBusy) {
    test::StoreHarness h;
    h.catalog = {category("a")};
    h.contents["a"] = {item("x", 1)};
    auto store = h.make();
    EXPECT_FALSE(store->isBusy());
    auto scanning = store->scan(h.catalog[0]);
    EXPECT_FALSE(store->isBusy()) << "a single scan does not count";
    h.user.runAll();
    auto pass = store->scanAll();
    EXPECT_TRUE(store->isBusy());
    h.user.runAll();
    EXPECT_FALSE(store->isBusy());
    auto cleaning = store->clean(h.catalog[0], {item("x", 1)});
    EXPECT_TRUE(store->isBusy());
    h.user.runAll();
    EXPECT_FALSE(store->isBusy());
}

TEST(StoreUninstall, FindsLeftoversThenRemovesRescansReportsAndRecords) {
    test::StoreHarness h;
    auto apps = category(Store::applicationsId, Risk::caution, CleanAction::Kind::trash);
    auto trash = category(Store::trashId);
    h.catalog = {apps, trash};
    ScanItem app = item("Foo.app", 1'000'000);
    app.name = "Foo";
    h.access = false;

    UninstallPlan plan;
    plan.app = app;
    plan.leftovers = {AppLeftover{"/l/a", "/l/a", "Cache", 500'000, AppLeftover::Ownership::user}};
    std::vector<ScanItem> planned;
    StoreServices withUninstaller = h.services();
    withUninstaller.uninstallPlan = [&](const ScanItem& asked) {
        planned.push_back(asked);
        return plan;
    };
    std::vector<AppLeftover> removedLeftovers;
    withUninstaller.uninstall = [&](const ScanItem& asked, const std::vector<AppLeftover>& chosen) {
        removedLeftovers = chosen;
        ScanItem leftover = item("Cache \u2014 /l/a", 500'000);
        leftover.id = leftover.url = "/l/a";
        return Cleaner::Outcome{{asked, leftover}, {}};
    };
    Store own(withUninstaller);

    auto finding = own.uninstalls().findLeftovers(app);
    EXPECT_EQ(own.uninstalls().findingLeftovers(), app.id);
    EXPECT_FALSE(own.uninstalls().plan());
    h.user.runAll();
    EXPECT_TRUE(finding.isReady());
    EXPECT_FALSE(own.uninstalls().findingLeftovers());
    ASSERT_TRUE(own.uninstalls().plan());
    EXPECT_EQ(own.uninstalls().plan()->app, app);

    auto removing = own.uninstalls().perform(*own.uninstalls().plan(), plan.leftovers);
    EXPECT_TRUE(own.uninstalls().uninstalling());
    EXPECT_TRUE(own.isBusy());
    h.user.run();
    EXPECT_FALSE(own.uninstalls().uninstalling());
    EXPECT_FALSE(own.uninstalls().plan()) << "the sheet closes before the rescans";
    h.user.runAll();
    EXPECT_TRUE(removing.isReady());
    EXPECT_EQ(removedLeftovers, plan.leftovers);
    EXPECT_EQ(h.scans, (std::vector<std::string>{Store::applicationsId, Store::trashId}));
    EXPECT_EQ(own.report()->title, "Uninstalled Foo");
    EXPECT_EQ(own.report()->message, "Moved Foo and 1 leftover item to the Trash (1.5 MB). Empty "
                                     "the Trash to free the space.");
    ASSERT_EQ(own.log().size(), 1u);
    EXPECT_EQ(own.log()[0].title, "Uninstalled Foo: 1.5 MB");
    EXPECT_EQ(own.log()[0].detail, "Cache \u2014 /l/a");
}

TEST(StorePlatform, TheRelaunchWaitsForTheProcessToEndThenStartsTheProgramWhole) {
    const std::string folder = test::makeTemporaryFolder("relaunch");
    const std::string program = folder + "/my program";
    {
        FILE* file = std::fopen(program.c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fputs("#!/bin/sh\necho \"$0\" > \"$(dirname \"$0\")/marker\"\n", file);
        std::fclose(file);
        ::chmod(program.c_str(), 0755);
    }
    auto spawn = [](std::vector<std::string> arguments) {
        std::vector<char*> argv;
        for (auto& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        ::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
        return pid;
    };
    pid_t sleeper = spawn({"/bin/sleep", "0.4"});
    ASSERT_GT(sleeper, 0);
    pid_t script = spawn({"/bin/sh", "-c", StorePlatform::relaunchScript(sleeper), program});
    ASSERT_GT(script, 0);
    ::usleep(200'000);
    EXPECT_FALSE(test::exists(folder + "/marker")) << "still waiting for the old process";
    int status = 0;
    ::waitpid(sleeper, &status, 0); // ended and reaped: gone
    ::waitpid(script, &status, 0);
    EXPECT_EQ(test::readFile(folder + "/marker"), program + "\n");
    test::removeTree(folder);
}
