#include <gtest/gtest.h>

#include "base/edition.h"

using namespace bramwick;

TEST(Edition, AnXdgBaseFolderIsTheUsersOwnOrNone) {
    struct Case {
        const char* value;
        const char* home;
        bool usable;
    } cases[] = {
        {"/home/ana/.cache", "/home/ana", true},
        {"/mnt/fast/cache", "/home/ana", true}, // kept on another drive
        {"/tmp/ana-cache", "/home/ana", true},  // a folder of its own in the temporary folder
        {"/home/ana", "/home/ana", false},      // all of the user's files would be a cache
        {"/home/ana/", "/home/ana", false},
        {"relative/cache", "/home/ana", false}, // not absolute
        {"", "/home/ana", false},
        {"/tmp", "/home/ana", false}, // everyone's
        {"/var/tmp/", "/home/ana", false},
        {"/tmp/../var/tmp", "/home/ana", false},
        {"/dev/shm", "/home/ana", false},
        {"/", "/home/ana", false},
        {"/srv/homes", "/srv/homes/ana", false}, // above the home
        {"/var/cache", "/home/ana", false},      // the system's own, at any depth
        {"/var/lib/apt", "/home/ana", false},
        {"/usr/share", "/home/ana", false},
        {"/libfoo", "/home/ana", true}, // only whole names of the system's trees
        {"/var/home/ana/.cache", "/var/home/ana", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Edition::usableBaseFolder(c.value, c.home), c.usable) << c.value;
}
