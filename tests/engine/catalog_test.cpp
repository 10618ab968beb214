#include <gtest/gtest.h>

#include "base/edition.h"
#include "engine/catalog.h"
#include "platform/settings.h"
#include "support/fixture.h"

using namespace bramwick;

TEST(Catalog, ClaimedPaths) {
    const auto& claimed = Catalog::claimedPaths();
    EXPECT_EQ(claimed.at(Catalog::expand("~/Library/Caches/Homebrew")), "homebrew");
    EXPECT_EQ(claimed.at(Catalog::expand("~/.cache/Homebrew")), "homebrew");
    EXPECT_EQ(claimed.at(Catalog::expand("~/.cache/google-chrome")), "chrome-cache");
    // The Flatpak installation is measured as the applications it holds.
    EXPECT_EQ(claimed.at(Catalog::expand("~/.local/share/flatpak")), "applications");
    EXPECT_EQ(*Catalog::claimant(Catalog::expand("~/.var/app/org.gnome.Maps/cache")), "app-caches");
    EXPECT_EQ(Catalog::claimant(Catalog::expand("~/.var/app/org.gnome.Maps/config")), nullptr);
    EXPECT_EQ(claimed.at(Catalog::expand("~/Library/Caches")), "app-caches");
    EXPECT_FALSE(claimed.contains(Catalog::expand("~/Projects")));
}

TEST(Catalog, Expand) {
    const auto& home = Edition::home();
    EXPECT_EQ(Catalog::expand("~"), home);
    EXPECT_EQ(Catalog::expand("~/x"), home + "/x");
    EXPECT_EQ(Catalog::expand("/Library/Developer/CoreSimulator/Caches/dyld"),
              "/Library/Developer/CoreSimulator/Caches/dyld");
    EXPECT_EQ(Catalog::expand("~root/x"), "/root/x");
    EXPECT_EQ(Catalog::expand("~no-such-user-here/x"), "~no-such-user-here/x");
}

TEST(Catalog, ShortFolder) {
    const auto& home = Edition::home();
    EXPECT_EQ(Catalog::shortFolder(home + "/Downloads"), "~/Downloads");
    EXPECT_EQ(Catalog::shortFolder(home + "/Documents/Work/2024/Old"), "\u2026/2024/Old");
    EXPECT_EQ(Catalog::shortFolder("/Volumes/Disk/x"), "/Volumes/Disk/x");
    EXPECT_EQ(Catalog::shortFolder("/Volumes/Disk/x/y"), "\u2026/x/y");
    EXPECT_EQ(Catalog::shortFolder(home), home);
}

TEST(Catalog, UnusedAppDaysTakesOnlyAStoredInteger) {
    auto& settings = Settings::standard();
    settings.remove("unusedAppDays");
    EXPECT_EQ(Catalog::unusedAppDays(settings), 100);
    settings.set("unusedAppDays", 30);
    EXPECT_EQ(Catalog::unusedAppDays(settings), 30);
    settings.set("unusedAppDays", "30");
    EXPECT_EQ(Catalog::unusedAppDays(settings), 100);
    settings.set("unusedAppDays", 30.5);
    EXPECT_EQ(Catalog::unusedAppDays(settings), 100);
    // Below 1 counts as 1, as in the window.
    settings.set("unusedAppDays", 0);
    EXPECT_EQ(Catalog::unusedAppDays(settings), 1);
    settings.set("unusedAppDays", -30);
    EXPECT_EQ(Catalog::unusedAppDays(settings), 1);
    settings.remove("unusedAppDays");
}

TEST(Edition, FoldersFollowTheSandboxHome) {
    EXPECT_EQ(Edition::home(), test::home());
    EXPECT_TRUE(Edition::isSandboxed());
    EXPECT_EQ(Edition::configHome(), test::home() + "/.config");
    EXPECT_EQ(Edition::dataHome(), test::home() + "/.local/share");
    EXPECT_EQ(Settings::standardPath(), test::home() + "/.config/bramwick/settings.json");
}
