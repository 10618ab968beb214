// A real store over the test's home: the real catalog, scanner, cleaner, Trash, pools and
// settings file. Only the running applications and the notifier are the test's own.
#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "base/edition.h"
#include "platform/trash.h"
#include "store_harness.h"
#include "support/fixture.h"

using namespace bramwick;

TEST(RealStore, ScansCleansToTheTrashAndKeepsTheHistoryOnDisk) {
    test::ensureApplication();
    test::clearHome();
    const std::string folder = test::makeFolder(test::home() + "/Old Projects");
    test::makeFile(folder + "/draft.txt", 40'000);
    test::makeFile(folder + "/build/output.bin", 200'000);
    test::makeFile(folder + "/notes.md", 0);

    StoreServices services = StoreServices::standard();
    test::FakeApplications applications;
    test::FakeNotifier notifier;
    services.applications = &applications;
    services.notifier = &notifier;
    services.chooseFolders = [&](Level, std::function<void(std::vector<std::string>)> done) {
        done({folder});
    };
    Store store(services);
    ASSERT_TRUE(store.hasFullDiskAccess()) << "the home folder can be listed";
    ASSERT_TRUE(store.disk());
    EXPECT_GT(store.disk()->total, 0);

    // The first full scan starts by itself and measures every category.
    QElapsedTimer clock;
    clock.start();
    while (!store.lastScan() && clock.elapsed() < 120'000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    ASSERT_TRUE(store.lastScan());
    EXPECT_EQ(store.scannedThisPass().size(), store.categories().size());
    EXPECT_TRUE(store.vitals().running().scanned);

    QCoro::waitFor(store.addFolders(Level::safe));
    const CleanupCategory added = store.categories().back();
    ASSERT_EQ(added.customFolder, folder);
    const Store::CategoryState* found = store.state(added.id);
    ASSERT_NE(found, nullptr);
    std::vector<std::string> names;
    for (const auto& entry : found->items)
        names.push_back(entry.name);
    EXPECT_EQ(names, (std::vector<std::string>{"build", "draft.txt"})) << "larger first, empty out";
    EXPECT_EQ(store.yoursInSafe(), (std::vector<std::string>{"Old Projects"}));

    QCoro::waitFor(store.clean(added, found->items));
    EXPECT_FALSE(test::exists(folder + "/build"));
    EXPECT_FALSE(test::exists(folder + "/draft.txt"));
    EXPECT_TRUE(test::exists(folder + "/notes.md")) << "only what was chosen goes";
    const std::string trashFiles = Trash::homeTrash() + "/files";
    EXPECT_EQ(test::readFile(trashFiles + "/draft.txt").size(), 40'000u);
    EXPECT_TRUE(test::exists(trashFiles + "/build/output.bin"));
    EXPECT_TRUE(test::exists(Trash::homeTrash() + "/info/draft.txt.trashinfo"));

    EXPECT_TRUE(store.state(added.id)->items.empty());
    const Store::CategoryState* trash = store.state(Store::trashId);
    ASSERT_NE(trash, nullptr);
    EXPECT_EQ(trash->items.size(), 2u) << "the Trash was measured again";
    ASSERT_TRUE(store.report());
    EXPECT_EQ(store.report()->title, "Old Projects");
    EXPECT_EQ(store.report()->message.rfind("Moved to Trash 2 items (", 0), 0u);
    EXPECT_NE(store.report()->message.find("Empty the Trash to free the space."),
              std::string::npos);

    // The history is in the settings file (written in the background), and the next store
    // reads it back.
    Settings::standard().flush();
    auto stored = nlohmann::json::parse(test::readFile(Settings::standardPath()));
    ASSERT_TRUE(stored.contains("cleanupLog"));
    ASSERT_EQ(stored["cleanupLog"].size(), 1u);
    EXPECT_EQ(stored["cleanupLog"][0]["detail"], "build, draft.txt");
    EXPECT_EQ(stored["cleanupLog"][0]["id"], store.log()[0].id);

    Store next(services);
    ASSERT_EQ(next.log().size(), 1u);
    EXPECT_EQ(next.log()[0].title, store.log()[0].title);
    EXPECT_EQ(next.customFolders().size(), 1u);
}
