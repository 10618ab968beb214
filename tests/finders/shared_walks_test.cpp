// The walk the two finders share in a run that measures both: each call finds exactly what a walk
// of its own would, and the folders are listed once while the sharing lasts.
#include <filesystem>

#include <gtest/gtest.h>

#include "finders/file_walk.h"
#include "support/fixture.h"

using namespace bramwick;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> paths(const std::vector<FileWalk::File>& files) {
    std::vector<std::string> result;
    for (const auto& file : files)
        result.push_back(file.path);
    return result;
}

bool isPicture(std::string_view name) {
    return name.ends_with(".jpg") || name.ends_with(".png");
}

} // namespace

TEST(SharedWalks, EachCallFindsWhatItsOwnWalkWouldAndTheFoldersAreListedOnce) {
    test::clearHome();
    const std::string home = test::home();
    test::makeFile(home + "/Documents/archive.bin", 2'000'000);
    test::makeFile(home + "/Documents/trip/photo.jpg", 300'000);
    test::makeFile(home + "/Documents/trip/thumb.png", 50'000);
    test::makeFile(home + "/Pictures/scan.png", 1'500'000);
    test::makeFile(home + "/Pictures/.hidden.jpg", 300'000);
    test::makeFile(home + "/Pictures/node_modules/icon.png", 300'000);
    // One file under two names, the first of them no picture's: the pictures' walk takes the
    // second, the files' walk the first.
    test::makeFile(home + "/Documents/a-copy.bin", 400'000);
    fs::create_hard_link(home + "/Documents/a-copy.bin", home + "/Documents/z-copy.jpg");
    const std::vector<std::string> roots{"~/Documents", "~/Pictures", "~/Documents/trip"};

    struct Case {
        std::int64_t minimum;
        bool pictures;
    } cases[] = {{1'000'000, false}, {100'000, true}, {100'000, false}, {40'000, true}};
    std::vector<std::vector<std::string>> alone;
    for (const auto& c : cases)
        alone.push_back(
            paths(FileWalk::regularFiles(roots, c.minimum, c.pictures ? isPicture : nullptr)));
    EXPECT_EQ(alone[1], (std::vector<std::string>{home + "/Documents/trip/photo.jpg",
                                                  home + "/Documents/z-copy.jpg",
                                                  home + "/Pictures/scan.png"}));
    {
        FileWalk::SharedWalks sharing(100'000);
        for (std::size_t k = 0; k < std::size(cases); ++k)
            EXPECT_EQ(paths(FileWalk::regularFiles(roots, cases[k].minimum,
                                                   cases[k].pictures ? isPicture : nullptr)),
                      alone[k])
                << cases[k].minimum;
        // Made after the shared walk: not seen by a call that shares it, but seen by one below
        // the shared floor, which walks on its own, and by one over other roots.
        test::makeFile(home + "/Pictures/later.png", 2'000'000);
        auto later = home + "/Pictures/later.png";
        auto has = [&](const std::vector<FileWalk::File>& files) {
            auto found = paths(files);
            return std::find(found.begin(), found.end(), later) != found.end();
        };
        EXPECT_FALSE(has(FileWalk::regularFiles(roots, 1'000'000)));
        EXPECT_TRUE(has(FileWalk::regularFiles(roots, 40'000)));
        EXPECT_TRUE(has(FileWalk::regularFiles({"~/Pictures"}, 1'000'000)));
    }
    EXPECT_EQ(paths(FileWalk::regularFiles(roots, 1'000'000)).size(), alone[0].size() + 1)
        << "once the sharing ends, every walk is a walk of its own";
}
