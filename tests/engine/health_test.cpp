#include <gtest/gtest.h>

#include "engine/folder_access.h"
#include "engine/health.h"
#include "platform/settings.h"
#include "support/fixture.h"

using namespace bramwick;

TEST(DiskHealth, RatesByShareUsedAndSpaceLeft) {
    struct Case {
        std::int64_t total, available;
        DiskHealth health;
    } cases[] = {
        {1'000'000'000'000, 40'000'000'000, DiskHealth::almostFull},   // 96 % used
        {1'000'000'000'000, 100'000'000'000, DiskHealth::gettingFull}, // 90 % used
        {1'000'000'000'000, 150'000'000'000, DiskHealth::healthy},     // 85 % exactly
        {100'000'000'000, 5'000'000'000,
         DiskHealth::gettingFull},                               // 95 % exactly, 5 GB free exactly
        {50'000'000'000, 4'999'999'999, DiskHealth::almostFull}, // under the free-space floor
        {0, 0, DiskHealth::almostFull},
        {INT64_MAX, INT64_MIN, DiskHealth::almostFull},
        {INT64_MAX, INT64_MAX, DiskHealth::healthy},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DiskHealths::rate({c.total, c.available, c.available}), c.health)
            << c.total << " " << c.available;
    EXPECT_EQ(DiskHealths::healthyGreen, (Colour{0.31, 0.85, 0.5, 1}));
}

TEST(DiskHealth, FiguresOfTheHomeVolume) {
    auto disk = Disk::figures();
    EXPECT_GT(disk.total, 0);
    EXPECT_GE(disk.available, 0);
    EXPECT_LE(disk.available, disk.total);
    EXPECT_EQ(disk.availableIncludingPurgeable, disk.available);
    EXPECT_EQ(Disk::figures(test::home() + "/no/such/folder"), DiskFigures{});
}

TEST(FolderAccess, RemoveForgetsTheFoldersSetting) {
    test::clearHome();
    Settings settings(test::home() + "/settings.json");
    settings.set("folderAccess.downloads", true);
    settings.set("folderAccess.other", true);
    FolderAccess access(settings);
    int told = 0;
    access.subscribe([&] { ++told; });
    access.remove({"downloads", "Downloads", "~/Downloads", "why", "purpose"});
    EXPECT_FALSE(settings.contains("folderAccess.downloads"));
    EXPECT_TRUE(settings.contains("folderAccess.other"));
    EXPECT_TRUE(access.granted().empty());
    EXPECT_TRUE(access.scoped().empty());
    EXPECT_EQ(told, 0) << "nothing granted changed";
    access.remove({"never", "", "", "", ""});
    EXPECT_TRUE(access.granted().empty());
}

TEST(FolderAccess, TheSuggestedFoldersAndTheirOwnSettings) {
    const auto& folders = FolderAccess::suggested();
    std::vector<std::string> ids;
    for (const auto& folder : folders) {
        ids.push_back(folder.id);
        EXPECT_TRUE(folder.path.starts_with("~/")) << folder.id;
        EXPECT_FALSE(folder.name.empty() || folder.why.empty() || folder.purpose.empty());
    }
    EXPECT_EQ(ids,
              (std::vector<std::string>{"caches", "developer", "logs", "desktop", "documents"}));
    EXPECT_EQ(folders[3], (SuggestedFolder{"desktop", "Desktop", "~/Desktop",
                                           "Your own files, for Large Files and the duplicate "
                                           "finders.",
                                           "look for large files and duplicates on your Desktop"}));

    // Removing one forgets its own setting and leaves the other four.
    test::clearHome();
    Settings settings(test::home() + "/settings.json");
    for (const auto& folder : folders)
        settings.set("folderAccess." + folder.id, true);
    FolderAccess access(settings);
    access.remove(folders[3]);
    for (const auto& folder : folders)
        EXPECT_EQ(settings.contains("folderAccess." + folder.id), folder.id != "desktop")
            << folder.id;
}
