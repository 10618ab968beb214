// An ending signal from outside while Clean All Safe deletes: the clean stops at its next item,
// what it removed is recorded and saved, and the run ends within a few seconds.
#include <atomic>
#include <csignal>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include "app/gui/ending_signals.h"
#include "base/ending.h"
#include "base/text.h"
#include "platform/files.h"
#include "platform/safe_delete.h"
#include "store/store_harness.h"
#include "store/stored_lists.h"
#include "support/fixture.h"

using namespace bramwick;

TEST(EndingSignals, EachEndingSignalStopsCleanAllSafeAtItsNextItemAndRecordsWhatWent) {
    test::ensureApplication();
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
