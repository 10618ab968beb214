#include <gtest/gtest.h>

#include "app/cli/modes.h"

using namespace bramwick::Cli;

TEST(Dispatch, FirstModeOfTheTableWins) {
    using Args = std::vector<std::string>;
    struct Case {
        Args arguments;
        std::optional<ModeCall> call;
    } cases[] = {
        {{"bramwick"}, std::nullopt},
        {{"bramwick", "--window"}, std::nullopt},
        {{"bramwick", "--pictures", "--memory"}, ModeCall{Mode::memory, {}}},
        {{"bramwick", "--memory", "--pictures"}, ModeCall{Mode::memory, {}}},
        {{"bramwick", "--report", "--window"}, ModeCall{Mode::report, {}}},
        {{"bramwick", "--scan"}, std::nullopt},
        {{"bramwick", "--scan", "Xcode"}, ModeCall{Mode::scan, {"Xcode"}}},
        {{"bramwick", "--scan", "a", "--scan", "b"}, ModeCall{Mode::scan, {"a"}}},
        {{"bramwick", "--pictures", "--picture-pair", "one"}, ModeCall{Mode::pictures, {}}},
        {{"bramwick", "--picture-pair", "one", "--pictures"},
         ModeCall{Mode::picturePair, {"one", "--pictures"}}},
        {{"bramwick", "--leftovers"}, ModeCall{Mode::leftovers, {}}},
        {{"bramwick", "--leftovers", "Zoom"}, ModeCall{Mode::leftovers, {"Zoom"}}},
        {{"bramwick", "--open-at-login"}, ModeCall{Mode::openAtLogin, {"status"}}},
        {{"bramwick", "--open-at-login", "--window"}, ModeCall{Mode::openAtLogin, {"--window"}}},
        {{"bramwick", "--duplicates", "--scan", "x"}, ModeCall{Mode::duplicates, {}}},
        {{"bramwick", "--MEMORY"}, std::nullopt},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (const auto& a : c.arguments)
            shown += a + " ";
        EXPECT_EQ(dispatch(c.arguments), c.call) << shown;
    }
}
