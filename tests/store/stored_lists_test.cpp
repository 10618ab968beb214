// The history as the settings keep it, at the lengths years of automatic cleans reach.
#include <chrono>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "base/text.h"
#include "engine/settings_keys.h"
#include "platform/files.h"
#include "store/stored_lists.h"
#include "support/fixture.h"

using namespace bramwick;
using Clock = std::chrono::steady_clock;

namespace {

CleanupRecord record(std::size_t i) {
    return {Text::newUuid(), dateFromReferenceSeconds(700'000'000.0 + static_cast<double>(i)),
            "Cleaned all safe categories: 12 MB", "Freed 12 MB. Free space went up by 3 MB."};
}

void writeHistory(const std::string& file, std::size_t records) {
    nlohmann::json log = nlohmann::json::array();
    for (std::size_t i = 0; i < records; ++i)
        log.push_back(toJson(record(i)));
    nlohmann::json document = {{"skin", "classic"}, {SettingsKeys::history, std::move(log)}};
    Files::makeFolders(file.substr(0, file.rfind('/')));
    ASSERT_FALSE(Files::writeAtomically(file, document.dump(2)));
}

double seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

TEST(StoredHistory, ALongHistoryLoadsInTimeLinearInItsLengthAndSavesWithoutWaitingOnTheFile) {
    const std::string folder = test::makeTemporaryFolder("history");
    const std::string file = folder + "/settings.json";
    // Sixteen times the records take about sixteen times as long to load, not 256 times.
    auto load = [&](std::size_t records) {
        writeHistory(file, records);
        double best = 1e9;
        for (int run = 0; run < 2; ++run) {
            auto start = Clock::now();
            Settings settings(file);
            auto history = StoredLists::history(settings);
            best = std::min(best, seconds(start));
            EXPECT_EQ(history.value.size(), records);
        }
        return best;
    };
    const double small = load(10'000);
    const double large = load(160'000);
    EXPECT_LT(large / small, 48.0)
        << small << " s for 10,000 records, " << large << " s for 160,000";

    // One more record: the caller hands the write off and goes on.
    Settings settings(file);
    auto log = StoredLists::history(settings).value;
    log.insert(log.begin(), record(160'000));
    auto start = Clock::now();
    StoredLists::saveHistory(log, settings);
    const double handedOff = seconds(start);
    settings.flush();
    const double written = seconds(start);
    EXPECT_LT(handedOff, written / 4) << handedOff << " s of " << written << " s";
    std::printf("load: %.3f s for 10,000 records, %.3f s for 160,000; save: %.4f s of %.3f s\n",
                small, large, handedOff, written);
    EXPECT_FALSE(settings.unsaved());
    auto again = StoredLists::history(Settings(file)).value;
    ASSERT_EQ(again.size(), 160'001u);
    EXPECT_EQ(again.front().id, log.front().id);
    EXPECT_EQ(again.back().id, log.back().id);
    test::removeTree(folder);
}
