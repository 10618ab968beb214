#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

#include "base/text.h"
#include "engine/models.h"
#include "platform/files.h"
#include "support/fixture.h"

using namespace bramwick;
using namespace std::chrono;

namespace {

// Runs `bramwick --auto-clean` on a home whose settings file holds `settings` (none when empty),
// in UTC and the C locale, and checks that the run leaves the file exactly as it was.
struct DryRun {
    std::string home = test::makeTemporaryFolder("auto-clean");
    std::string file = home + "/.config/bramwick/settings.json";
    test::ProgramRun run;

    explicit DryRun(const std::string& settings) {
        if (!settings.empty()) {
            Files::makeFolders(home + "/.config/bramwick");
            Files::writeAtomically(file, settings);
        }
        run = test::runProgram(BRAMWICK_BINARY, {"--auto-clean"},
                               {"BRAMWICK_HOME=" + home, "TZ=UTC", "LC_ALL=C"});
        if (settings.empty())
            EXPECT_FALSE(test::exists(home + "/.config/bramwick")) << "nothing is created";
        else
            EXPECT_EQ(test::readFile(file), settings) << "the settings file is not touched";
    }
    ~DryRun() { test::removeTree(home); }
};

std::string inUtc(Date date) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    return Text::dateTime(date);
}

} // namespace

TEST(AutoCleanMode, PrintsTheScheduleTheLastRunTheNextDueAndThePlan) {
    Date last = sys_days(year(2025) / 3 / 31) + hours(20) + minutes(10);
    std::string settings =
        "{\n  \"autoCleanSchedule\": \"monthly\",\n  \"autoCleanHour\": 7,\n"
        "  \"autoCleanMinute\": 5,\n  \"autoCleanOnLowSpace\": true,\n"
        "  \"autoCleanLowSpaceGB\": 25,\n  \"autoCleanLastRun\": " +
        std::to_string(secondsSinceReferenceDate(last)) +
        ",\n  \"autoCleanLastFreed\": 1500000000,\n  \"autoCleanExcluded\": [\"npm\"]\n}\n";
    DryRun dry(settings);
    EXPECT_EQ(dry.run.status, 0);
    const std::string& out = dry.run.output;
    Date due = sys_days(year(2025) / 4 / 30) + hours(7) + minutes(5);
    EXPECT_TRUE(
        out.starts_with("Schedule: Monthly at 07:05, and below 25 GB free\n"
                        "Last run: " +
                        inUtc(last) +
                        " \u2014 freed 1.5 GB\n"
                        "Next due: " +
                        inUtc(due) +
                        "\n"
                        "\nWould clean:\n  Application Caches\n  Command-Line Tool Cache\n"))
        << out;
    EXPECT_NE(out.find("\n  System & App Logs\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\nWould skip:\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\n  NPM Cache \u2014 you turned this one off\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\n  Trash \u2014 only ever cleaned by hand\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("Review"), std::string::npos) << "only safe categories are listed";
}

TEST(AutoCleanMode, AChosenScheduleIsNotArmedByADryRun) {
    DryRun dry("{\"autoCleanSchedule\":\"daily\"}");
    EXPECT_EQ(dry.run.status, 0);
    EXPECT_TRUE(dry.run.output.starts_with("Schedule: Daily at 13:00\n\nWould clean:\n"))
        << dry.run.output;
}

TEST(AutoCleanMode, LowSpaceAloneAndNoSettingsAtAll) {
    DryRun lowSpace("{\"autoCleanOnLowSpace\":true}");
    EXPECT_TRUE(
        lowSpace.run.output.starts_with("Schedule: Off, and below 10 GB free\n\nWould clean:\n"))
        << lowSpace.run.output;
    DryRun none("");
    EXPECT_EQ(none.run.status, 0);
    EXPECT_TRUE(none.run.output.starts_with("Schedule: Off\n\nWould clean:\n")) << none.run.output;
    DryRun corrupt("{\"autoCleanSchedule\": \"daily\",");
    EXPECT_TRUE(corrupt.run.output.starts_with("Schedule: Off\n\nWould clean:\n"))
        << corrupt.run.output;
}
