// Which links on the way to an item are followed when it is held: those a user sets up to keep a
// folder on another drive, never those deep in an application's own folders.
#include <unistd.h>

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
    // Nor one that leads to another user's folder.
    test::makeFolder(outside + "/theirs/inner");
    test::makeFile(outside + "/theirs/inner/item", 10);
    // Only root can give a folder away; as another user the folder stays the test's own.
    const bool given = ::chown((outside + "/theirs").c_str(), 65534, 65534) == 0;
    test::makeLink(outside + "/theirs", h + "/.theirs");

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
        {h + "/.theirs/inner",
         given ? std::nullopt : std::optional<std::string>(outside + "/theirs/inner")},
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

    // A folder chosen for walking is walked where a deep link leads, when that is the user's own,
    // and not at all through a link to what is not.
    test::makeFolder(h + "/d/e/f");
    test::makeLink("/var/lib", h + "/d/e/system");
    test::makeLink("/var/lib", h + "/d/e/f/system");
    test::makeLink(h + "/real", h + "/d/e/f/mine");
    struct Walk {
        std::string folder;
        std::string walked;
    } walks[] = {
        {h + "/real", h + "/real"},
        {h + "/.top", h + "/.top"},
        {h + "/.var/app/org.example.App/cache", h + "/real"},
        {h + "/d/e/f/mine", h + "/real"},
        {h + "/d/e/system", ""},
        {h + "/d/e/f/system", ""},
        {h + "/.home", ""},
        {h + "/.theirs", given ? "" : h + "/.theirs"},
        {h + "/missing", h + "/missing"},
    };
    for (const auto& w : walks)
        EXPECT_EQ(Held::walkableFolder(w.folder), w.walked) << w.folder;
    test::removeTree(outside);
}
