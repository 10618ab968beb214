// An ending signal from outside, or a quit the user asks for, while a clean works: the clean
// stops at its next item, what it removed is recorded and saved, and the run ends within a few
// seconds.
#include <atomic>
#include <csignal>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include "app/gui/ending_signals.h"
#include "base/ending.h"
#include "base/text.h"
#include "gui_support.h"
#include "platform/files.h"
#include "platform/safe_delete.h"
#include "store/store_harness.h"
#include "store/stored_lists.h"
#include "support/fixture.h"

using namespace bramwick;

TEST(EndingSignals, EachEndingSignalStopsCleanAllSafeAtItsNextItemAndRecordsWhatWent) {
    test::guiApplication(); // the one application of this binary, which windows need
    for (int ending : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(ending);
        test::clearHome();
        const std::string many = test::makeFolder(test::home() + "/.cache/many");
        constexpr int files = 2000;
        for (int i = 0; i < files; ++i)
            test::makeFile(many + "/f" + std::to_string(i), 1);
        const std::string settingsFile = test::home() + "/.config/bramwick/settings.json";
        Settings settings(settingsFile);

        CleanupCategory caches = test::category("caches");
        caches.name = "Caches";
        caches.source = Source{Source::Kind::contents, {"~/.cache/many"}, 0};
        StoreServices services = StoreServices::standard();
        test::FakeApplications applications;
        test::FakeNotifier notifier;
        services.applications = &applications;
        services.notifier = &notifier;
        services.settings = &settings;
        services.catalog = [caches] { return std::vector<CleanupCategory>{caches}; };
        // The real cleaner; the signal comes from outside once 100 files are gone. The kernel
        // hands it to whichever thread it picks, whenever that one runs: the cleaner waits until
        // it was heard, so that on a loaded machine "its next item" is still the 101st.
        std::atomic<int> removed{0};
        services.clean = [&](const std::vector<ScanItem>& items, const CleanupCategory& category) {
            Cleaner::Services cleaner;
            cleaner.remove = [&](const HeldItem& held) {
                auto problem = SafeDelete::remove(held);
                if (++removed == 100) {
                    ::kill(::getpid(), ending);
                    for (int waited = 0; !Ending::requested() && waited < 5000; ++waited)
                        ::usleep(1000);
                }
                return problem;
            };
            return Cleaner::clean(items, category, cleaner);
        };
        Store store(services);
        QElapsedTimer clock;
        clock.start();
        while (!store.lastScan() && clock.elapsed() < 60'000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        ASSERT_TRUE(store.state("caches"));
        ASSERT_EQ(store.state("caches")->items.size(), static_cast<std::size_t>(files));
        const std::int64_t each = store.state("caches")->items.front().size;

        EndingSignals endings;
        bool quit = false;
        qint64 heard = -1;
        QObject::connect(&endings, &EndingSignals::received, [&] {
            heard = clock.elapsed();
            finishThenQuit(store, settings, [&] { quit = true; });
        });
        store.cleanAllSafe();
        while (!quit && clock.elapsed() < 120'000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        ASSERT_TRUE(quit);
        ASSERT_GE(heard, 0);
        EXPECT_LT(clock.elapsed() - heard, 3000) << "the run took too long to end";

        const auto left = Files::names(many).size();
        const auto gone = static_cast<std::size_t>(files) - left;
        EXPECT_GE(gone, 100u);
        EXPECT_LT(gone, 200u) << "the clean went on after the signal";
        // What went is recorded, and the record is in the file before the run ends.
        ASSERT_EQ(store.log().size(), 1u);
        EXPECT_EQ(store.log()[0].title, "Cleaned all safe categories");
        const std::string freed =
            "Freed " + Text::byteCount(static_cast<std::int64_t>(gone) * each);
        EXPECT_EQ(store.log()[0].detail.rfind(freed, 0), 0u) << store.log()[0].detail;
        auto saved = StoredLists::history(Settings(settingsFile)).value;
        ASSERT_EQ(saved.size(), 1u);
        EXPECT_EQ(saved[0].id, store.log()[0].id);
        Ending::clear();
    }
}

namespace {

// Lets the event loop run until `done` holds, for two seconds at most.
void runUntil(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
}

std::vector<CleanupRecord> savedHistory(const test::StoreHarness& h) {
    return StoredLists::history(Settings(h.folder + "/settings.json")).value;
}

} // namespace

// The files are gone as soon as the result comes: a quit while the categories are measured again
// must not cost their record.
TEST(EndingSignals, AQuitWhileACleanMoveOrUninstallMeasuresAgainKeepsItsRecord) {
    test::guiApplication();
    struct Case {
        const char* name;
        std::function<QCoro::Task<>(Store&, const CleanupCategory&)> start;
        const char* title;
    } cases[] = {
        {"clean",
         [](Store& store, const CleanupCategory& caches) {
             return store.clean(caches, {test::item("a", 1'000'000)});
         },
         "Caches: 1 MB"},
        {"move",
         [](Store& store, const CleanupCategory& caches) {
             return store.move(caches, {test::item("a", 1'000'000)}, "/elsewhere");
         },
         "Caches: 1 MB"},
        {"uninstall",
         [](Store& store, const CleanupCategory&) {
             UninstallPlan plan;
             plan.id = "p";
             plan.app = test::item("Foo", 100);
             return store.uninstalls().perform(plan, {});
         },
         "Uninstalled Foo: 100 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::StoreHarness h;
        auto caches = test::category("caches");
        caches.name = "Caches";
        auto apps = test::category(Store::applicationsId);
        h.catalog = {caches, apps};
        h.contents["caches"] = {test::item("a", 1'000'000), test::item("b", 5)};
        h.contents[Store::applicationsId] = {test::item("Foo", 100)};
        auto services = h.services();
        services.uninstall = [](const ScanItem& app, const std::vector<AppLeftover>&) {
            Cleaner::Outcome outcome;
            outcome.cleaned = {app};
            return outcome;
        };
        auto store = std::make_unique<Store>(services);
        test::deliver();
        h.user.runAll(); // the first scan
        auto working = c.start(*store, caches);
        ASSERT_EQ(h.user.pending(), 1u);
        h.user.run(); // the removal is over; what it changed is being measured again
        ASSERT_GE(h.user.pending(), 1u);

        bool quit = false;
        finishThenQuit(*store, *h.settings, [&] { quit = true; });
        runUntil([&] { return quit; });
        EXPECT_TRUE(quit);
        ASSERT_EQ(store->log().size(), 1u);
        EXPECT_EQ(store->log()[0].title, c.title);
        const std::string id = store->log()[0].id;
        store.reset(); // what the program does next
        auto saved = savedHistory(h);
        ASSERT_EQ(saved.size(), 1u) << "the record is not in the settings file";
        EXPECT_EQ(saved[0].id, id);
        Ending::clear();
    }
}

// Measuring can take longer than the program has left: what went is recorded without it, and no
// further category is cleaned, even when the measurement ends after all.
TEST(EndingSignals, CleanAllSafeEndedWhileItMeasuresAgainRecordsWhatWentWithoutWaiting) {
    test::guiApplication();
    test::StoreHarness h;
    auto caches = test::category("caches");
    auto logs = test::category("logs");
    h.catalog = {caches, logs};
    h.contents["caches"] = {test::item("a", 1'000'000)};
    h.contents["logs"] = {test::item("b", 2'000)};
    auto store = h.make();
    auto cleaning = store->cleanAllSafe();
    h.user.run(); // Caches is cleaned; measuring it again takes long
    ASSERT_GE(h.user.pending(), 1u);

    bool quit = false;
    QElapsedTimer clock;
    clock.start();
    finishThenQuit(*store, *h.settings, [&] { quit = true; });
    runUntil([&] { return quit; });
    ASSERT_TRUE(quit);
    EXPECT_LT(clock.elapsed(), 1000) << "it waited for the measurement";
    ASSERT_EQ(store->log().size(), 1u);
    EXPECT_EQ(store->log()[0].title, "Cleaned all safe categories");
    EXPECT_EQ(store->log()[0].detail.rfind("Freed 1 MB.", 0), 0u) << store->log()[0].detail;
    ASSERT_TRUE(store->report());
    EXPECT_EQ(store->report()->message,
              "Bramwick was asked to quit, so what it had not cleaned yet was left as it is.");
    EXPECT_FALSE(store->cleansUnderway());
    const std::string id = store->log()[0].id;

    h.user.runAll(); // the measurement ends after all
    EXPECT_EQ(h.cleans.size(), 1u) << "a category was cleaned after the quit";
    EXPECT_EQ(store->log().size(), 1u);
    store.reset();
    auto saved = savedHistory(h);
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].id, id);
    Ending::clear();
}

// The cleaner leaves what it did not reach with a reason of its own: those items are no app's.
TEST(EndingSignals, CleanAllSafeStoppedMidCleanStartsNoOtherCategoryAndBlamesNoApp) {
    test::guiApplication();
    test::StoreHarness h;
    h.catalog = {test::category("caches"), test::category("logs")};
    h.contents["caches"] = {test::item("a", 1'000'000), test::item("b", 7)};
    h.contents["logs"] = {test::item("c", 2'000)};
    auto services = h.services();
    std::vector<std::string> cleaned;
    services.clean = [&](const std::vector<ScanItem>& items, const CleanupCategory& category) {
        cleaned.push_back(category.id);
        // Stopped after its first item, as the cleaner does once asked to end.
        Cleaner::Outcome outcome;
        outcome.cleaned = {items.front()};
        for (std::size_t i = 1; i < items.size(); ++i)
            outcome.failures.push_back({items[i], Cleaner::endingReason});
        return outcome;
    };
    auto store = std::make_unique<Store>(services);
    test::deliver();
    h.user.runAll();
    auto cleaning = store->cleanAllSafe();
    bool quit = false;
    finishThenQuit(*store, *h.settings, [&] { quit = true; });
    test::deliver();
    EXPECT_FALSE(quit) << "the clean of Caches still runs";
    h.user.run();
    runUntil([&] { return quit; });
    ASSERT_TRUE(quit);
    h.user.runAll();
    EXPECT_EQ(cleaned, std::vector<std::string>{"caches"});
    ASSERT_TRUE(store->report());
    EXPECT_EQ(store->report()->title, "Freed 1 MB");
    EXPECT_EQ(store->report()->message,
              "Bramwick was asked to quit, so what it had not cleaned yet was left as it is.");
    EXPECT_FALSE(store->report()->hasFailures);
    store.reset();
    EXPECT_EQ(savedHistory(h).size(), 1u);
    Ending::clear();
}

// Every quit the user asks for goes the way of an ending signal: the clean under way stops,
// records and saves what it removed, and only then does the run end.
TEST(EndingSignals, EveryQuitTheUserAsksForLetsTheCleanUnderWayRecordFirst) {
    struct Case {
        const char* name;
        bool tray;
        std::function<void(test::ScenesHarness&)> quit;
    } cases[] = {
        {"the tray's menu", true,
         [](test::ScenesHarness& h) { h.scenes->tray()->menu().actions().back()->trigger(); }},
        {"the panel", true,
         [](test::ScenesHarness& h) {
             h.scenes->showPanel(std::nullopt);
             h.scenes->panel()->findChild<QToolButton*>("quit")->click();
         }},
        {"closing the window without a tray", false,
         [](test::ScenesHarness& h) { h.scenes->mainWindow()->close(); }},
        {"Quit & Reopen", true, [](test::ScenesHarness& h) { h.scenes->store().relaunch(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::ScenesHarness h(c.tray, false);
        auto caches = test::category("caches");
        caches.name = "Caches";
        h.store.catalog = {caches};
        h.store.contents["caches"] = {test::item("a", 1'000'000)};
        h.start();
        h.store.runToTheEnd(); // the first scan
        auto cleaning = h.scenes->store().clean(caches, h.store.contents["caches"]);
        ASSERT_EQ(h.store.user.pending(), 1u);

        c.quit(h);
        test::settle();
        EXPECT_EQ(h.quits, 0) << "the run ended in the middle of the clean";
        h.store.user.run(); // the clean ends
        runUntil([&] { return h.quits > 0; });
        EXPECT_EQ(h.quits, 1);
        auto saved = savedHistory(h.store);
        ASSERT_EQ(saved.size(), 1u) << "the record is not in the settings file";
        EXPECT_EQ(saved[0].title, "Caches: 1 MB");
    }
}
