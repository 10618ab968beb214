#include <gtest/gtest.h>

#include "finders/resample.h"

using namespace bramwick;
using Resample::Pixels;

namespace {

std::vector<int> values(const Pixels& p) {
    return {p.bytes.begin(), p.bytes.end()};
}

} // namespace

// A ramp of four pixels made larger and smaller along either axis: every output pixel blends the
// input pixels under it, centred on its own middle, and the edge pixel stands for what lies past
// the edge.
TEST(Resample, BlendsThePixelsUnderEachOutputPixel) {
    struct Case {
        int width, height;
        std::vector<int> expected;
    };
    const std::vector<unsigned char> ramp{0, 100, 200, 250};
    const std::vector<Case> across{
        {4, 1, {0, 100, 200, 250}},
        {8, 1, {0, 25, 75, 125, 175, 213, 238, 250}},
        {2, 1, {63, 213}},
        {3, 1, {27, 150, 236}},
        {1, 1, {136}}, // the edges stand in for the pixels past them
    };
    for (const auto& c : across) {
        EXPECT_EQ(values(Resample::resized({4, 1, 1, ramp}, c.width, c.height)), c.expected)
            << c.width << " across";
        EXPECT_EQ(values(Resample::resized({1, 4, 1, ramp}, c.height, c.width)), c.expected)
            << c.width << " down";
    }
}

TEST(Resample, KeepsFlatAreasFlatAndChannelsApart) {
    // Three channels, each its own level: any size keeps every pixel at those levels.
    Pixels flat{7, 5, 3, {}};
    for (int p = 0; p < 35; ++p)
        flat.bytes.insert(flat.bytes.end(), {10, 128, 255});
    for (auto [w, h] : {std::pair{512, 512}, {3, 2}, {1, 9}, {64, 48}}) {
        auto out = Resample::resized(flat, w, h);
        ASSERT_EQ(out.bytes.size(), std::size_t(w) * h * 3);
        for (std::size_t i = 0; i < out.bytes.size(); i += 3)
            ASSERT_EQ((std::vector<int>{out.bytes[i], out.bytes[i + 1], out.bytes[i + 2]}),
                      (std::vector<int>{10, 128, 255}))
                << w << "x" << h << " at " << i;
    }
}

TEST(Resample, GivesNothingForAPictureOrSizeWithoutPixels) {
    Pixels one{1, 1, 1, {7}};
    EXPECT_TRUE(Resample::resized(one, 0, 5).bytes.empty());
    EXPECT_TRUE(Resample::resized(Pixels{}, 5, 5).bytes.empty());
    EXPECT_TRUE(Resample::resized(Pixels{2, 2, 1, {1, 2, 3}}, 4, 4).bytes.empty()) << "too short";
    EXPECT_EQ(values(Resample::resized(one, 3, 2)), (std::vector<int>(6, 7)));
}
