// Which links on the way to an item are followed when it is held: those a user sets up to keep a
// folder on another drive, never those deep in an application's own folders.
#include <gtest/gtest.h>

#include "base/edition.h"
#include "platform/held_item.h"
#include "support/fixture.h"

using namespace bramwick;

TEST(HeldItem, LinksAreFollowedOnlyNearTheTopOfTheHomeOrOfTheDisk) {
    test::clearHome();
    const std::string h = Edition::home();
    const std::string outside = test::makeTemporaryFolder("held"); // /tmp/<name>: two levels
    test::makeFile(outside + "/real/inner/item", 10);
    test::makeFile(h + "/real/inner/item", 10);
    test::makeLink(outside + "/real", outside + "/link");
    test::makeLink(outside + "/real", h + "/.top");
    test::makeFolder(h + "/.var/app/org.example.App");
    test::makeLink(h + "/real", h + "/.var/app/org.example.App/cache");
    test::makeFolder(h + "/a/b");
    test::makeLink(h + "/real", h + "/a/b/c");
    // Top folders that lead to the home, above it or to a folder everyone shares hold none of
    // the user's own things apart: nothing is reached through them.
    test::makeLink(h, h + "/.home");
    test::makeLink("/", h + "/.root");
    test::makeLink("/tmp", h + "/.tmp");
    test::makeFolder(h + "/.config");
    test::makeLink(h, h + "/.config/again");
    const std::string inTmp = outside.substr(std::string("/tmp/").size());

    struct Case {
        std::string folder;
        std::optional<std::string> followed; // none: not followed, so holding there fails
    } cases[] = {
        {h + "/.top/inner", outside + "/real/inner"},
        {h + "/a/b/c/inner", h + "/real/inner"}, // the third level
        {h + "/.var/app/org.example.App/cache/inner", std::nullopt},
        {outside + "/real/inner", outside + "/real/inner"},
        {outside + "/link/inner", std::nullopt}, // the third level of the disk
        {h + "/.home/real/inner", std::nullopt},
        {h + "/.config/again/real/inner", std::nullopt},
        {h + "/.root" + outside + "/real/inner", std::nullopt},
        {h + "/.tmp/" + inTmp + "/real/inner", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        auto held = Held::hold(c.folder + "/item");
        if (c.followed) {
            ASSERT_TRUE(std::holds_alternative<HeldItem>(held));
            EXPECT_EQ(std::get<HeldItem>(held).path, *c.followed + "/item");
        } else {
            ASSERT_TRUE(std::holds_alternative<int>(held));
            EXPECT_EQ(std::get<int>(held), ELOOP);
        }
    }
    test::removeTree(outside);
}
