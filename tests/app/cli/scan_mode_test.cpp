#include <chrono>
#include <filesystem>
#include <sstream>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "app/cli/modes.h"
#include "base/text.h"
#include "support/fixture.h"

using namespace bramwick;

namespace {
std::int64_t blocksOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return static_cast<std::int64_t>(st.st_blocks) * 512;
}
} // namespace

TEST(ScanMode, PrintsHeadingAndItemsLargestFirst) {
    test::clearHome();
    auto big = test::makeFile(test::home() + "/Library/Logs/big.log", 300'000);
    auto small = test::makeFile(test::home() + "/Library/Logs/DiagnosticReports/r.ips", 20'000);
    std::ostringstream out;
    EXPECT_EQ(Cli::scanMode("LOGS", out), 0);
    std::string total = Text::byteCount(blocksOf(big) + blocksOf(small));
    std::string expected =
        "\nSystem & App Logs \u2014 user-logs \u2014 Safe to Remove \u2014 2 items, " + total +
        "\n" + "  " + Text::pad(Text::byteCount(blocksOf(big)), 10) + " big.log\n" + "  " +
        Text::pad(Text::byteCount(blocksOf(small)), 10) + " DiagnosticReports\n";
    EXPECT_EQ(out.str(), expected);
}

TEST(ScanMode, MatchesIdsAndLowercasedNames) {
    test::clearHome();
    std::ostringstream out;
    // "Xcode" is searched as "xcode": names match whatever their case.
    EXPECT_EQ(Cli::scanMode("Xcode", out), 0);
    std::string text = out.str();
    for (const char* id : {"derived-data", "simulators", "archives"})
        EXPECT_NE(text.find(std::string("\u2014 ") + id + " \u2014"), std::string::npos) << id;
    EXPECT_NE(text.find("Xcode Simulators \u2014 simulators \u2014 Review \u2014 0 items, Zero KB"),
              std::string::npos);
}

TEST(ScanMode, NoMatchIsStatusOne) {
    std::ostringstream out;
    EXPECT_EQ(Cli::scanMode("Nothing-Like-This", out), 1);
    EXPECT_EQ(out.str(), "no category matching nothing-like-this\n");
}

TEST(Program, ScanRunsWithoutADisplayUnderASandboxHome) {
    std::string home = test::makeTemporaryFolder("program-home");
    test::makeFile(home + "/.npm/_cacache/index", 50'000);
    auto run = test::runProgram(BRAMWICK_BINARY, {"--scan", "npm"},
                                {"BRAMWICK_HOME=" + home, "DISPLAY=", "WAYLAND_DISPLAY="});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.output.find("\nNPM Cache \u2014 npm \u2014 Safe to Remove \u2014 1 items, "),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find(" ~/.npm/_cacache\n"), std::string::npos) << run.output;

    auto none = test::runProgram(BRAMWICK_BINARY, {"--scan", "zzz"}, {"BRAMWICK_HOME=" + home});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.output, "no category matching zzz\n");

    auto plain = test::runProgram(BRAMWICK_BINARY, {"--help"}, {"BRAMWICK_HOME=" + home});
    EXPECT_EQ(plain.status, 0);
    EXPECT_NE(plain.output.find("--scan TERM"), std::string::npos);
    EXPECT_FALSE(test::exists(home + "/.config/bramwick/settings.json"))
        << "a read-only run writes nothing";
    test::removeTree(home);
}

TEST(ScanMode, NotesShowAFileNameThatIsNotValidTextAsReplacementCharacters) {
    test::clearHome();
    std::string home = test::home();
    // The kept copy's name, which the note of the other copy quotes, holds a stray byte.
    auto kept = test::makeFile(home + "/Documents/kept\xff.bin", 1'500'000, 'k');
    std::filesystem::last_write_time(kept, std::filesystem::file_time_type::clock::now() -
                                               std::chrono::hours(24 * 30));
    std::filesystem::copy_file(kept, test::makeFolder(home + "/Desktop") + "/copy.bin");
    std::ostringstream out;
    EXPECT_EQ(Cli::scanMode("duplicates", out), 0);
    EXPECT_NE(out.str().find("/copy.bin\n" + std::string(13, ' ') +
                             "Copy 2 of 2 \u00b7 keeping kept\uFFFD.bin\n"),
              std::string::npos)
        << out.str();
}
