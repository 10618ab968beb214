#include <gtest/gtest.h>

#include "base/paths.h"

using namespace bramwick;

TEST(Paths, WithinIsTheFolderOrWhatLiesInIt) {
    struct Case {
        const char* path;
        const char* folder;
        bool within;
    } cases[] = {
        {"/a/b", "/a/b", true},   {"/a/b/c", "/a/b", true}, {"/a/bc", "/a/b", false},
        {"/a", "/a/b", false},    {"/a/b", "/", true},      {"/", "/", true},
        {"relative", "/", false}, {"/ab", "/a", false},     {"/a/b/c/d", "/a", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Paths::within(c.path, c.folder), c.within) << c.path << " in " << c.folder;
}
