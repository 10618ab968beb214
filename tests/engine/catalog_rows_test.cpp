#include <map>
#include <set>

#include <gtest/gtest.h>

#include "engine/catalog.h"

using namespace bramwick;

TEST(Catalog, HasTheFortyFiveRowsInOrder) {
    const auto& all = Catalog::all();
    ASSERT_EQ(all.size(), 45u);
    EXPECT_EQ(all.front().id, "app-caches");
    EXPECT_EQ(all.back().id, "deleted-users");
    std::set<std::string> ids;
    for (const auto& c : all) {
        EXPECT_TRUE(ids.insert(c.id).second) << "duplicate id " << c.id;
        EXPECT_FALSE(c.info.empty()) << c.id;
        EXPECT_FALSE(c.summary.empty()) << c.id;
        EXPECT_EQ(c.action.kind == CleanAction::Kind::reviewOnly, !c.action.advice.empty()) << c.id;
        EXPECT_FALSE(c.needsFolder || c.movedFrom || c.customFolder) << c.id;
        EXPECT_TRUE(c.widenedBy.empty()) << c.id;
    }
}

TEST(Catalog, CountsPerGroupAndAction) {
    std::map<CategoryGroup, int> groups;
    std::map<CleanAction::Kind, int> actions;
    for (const auto& c : Catalog::all()) {
        ++groups[c.group];
        ++actions[c.action.kind];
    }
    using G = CategoryGroup;
    EXPECT_EQ(groups[G::caches], 6);
    EXPECT_EQ(groups[G::logs], 1);
    EXPECT_EQ(groups[G::developer], 7);
    EXPECT_EQ(groups[G::xcode], 7);
    EXPECT_EQ(groups[G::android], 2);
    EXPECT_EQ(groups[G::ai], 6);
    EXPECT_EQ(groups[G::apps], 8);
    EXPECT_EQ(groups[G::personal], 6);
    EXPECT_EQ(groups[G::system], 2);
    using A = CleanAction::Kind;
    EXPECT_EQ(actions[A::delete_], 24);
    EXPECT_EQ(actions[A::trash], 13);
    EXPECT_EQ(actions[A::reviewOnly], 5);
    EXPECT_EQ(actions[A::command], 2);
    EXPECT_EQ(actions[A::admin], 1);
}

TEST(Catalog, SpecialRows) {
    auto sdk = Catalog::find("android-sdk");
    ASSERT_TRUE(sdk);
    std::vector<std::string> expected{
        "/opt/homebrew/share/android-commandlinetools/ndk",
        "/opt/homebrew/share/android-commandlinetools/system-images",
        "/opt/homebrew/share/android-commandlinetools/emulator", "~/Library/Android/sdk/ndk",
        "~/Library/Android/sdk/system-images", "~/Library/Android/sdk/emulator",
        // Android Studio's own folder on this platform follows the listed ones.
        "~/Android/Sdk/ndk", "~/Android/Sdk/system-images", "~/Android/Sdk/emulator"};
    EXPECT_EQ(sdk->source.paths, expected);

    auto brew = Catalog::find("homebrew");
    ASSERT_TRUE(brew && brew->alsoRun);
    EXPECT_EQ(*brew->alsoRun, (std::vector<std::string>{"brew", "cleanup", "--prune=all"}));
    EXPECT_TRUE(Catalog::find("trash")->neverAutomatic);
    EXPECT_TRUE(Catalog::find("claude-scratchpad-builds")->neverAutomatic);
    EXPECT_EQ(Catalog::find("photos")->managedBy, (ManagedBy{"Photos", "com.apple.Photos"}));
    auto chrome = Catalog::find("chrome-profile")->managedBy;
    ASSERT_TRUE(chrome);
    EXPECT_EQ(chrome->bundleID, "com.google.Chrome");
    EXPECT_EQ(chrome->desktopIDs.front(), "google-chrome");
    EXPECT_EQ(Catalog::find("large-files")->source.minimumBytes, 200'000'000);
    EXPECT_EQ(Catalog::find("duplicates")->source.minimumBytes, 1'000'000);
    EXPECT_EQ(Catalog::find("repeated-pictures")->source.minimumBytes, 100'000);
    EXPECT_EQ(Catalog::find("derived-data")->busyApps,
              std::vector<std::string>{"com.apple.dt.Xcode"});
    // This platform's Trash, in the freedesktop.org layout, and that of every other drive.
    EXPECT_EQ(Catalog::find("trash")->source.paths,
              (std::vector<std::string>{"~/.local/share/Trash/files", "$DRIVE_TRASHES"}));
    EXPECT_NE(Catalog::find("repeated-pictures")->info.find("pixels. \n\nThis is NOT"),
              std::string::npos);
}
