// The program as a user starts it: what it refuses before any mode runs, and how it ends when
// its output cannot be written.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "support/fixture.h"

using namespace bramwick;
namespace fs = std::filesystem;

namespace {
// Runs the program through the shell, standard error on standard output, then its status.
test::ProgramRun shell(const std::string& script) {
    return test::runProgram("/bin/sh", {"-c", script + "; echo \"status $?\"", BRAMWICK_BINARY});
}
} // namespace

TEST(Program, AHomeThatCannotStandInForTheRealOneIsRefused) {
    std::string base = test::makeTemporaryFolder("program-homes");
    test::makeFile(base + "/a-file", 10);
    struct Case {
        std::string home;
        std::string message;
    } cases[] = {
        {base + "/missing",
         "bramwick: BRAMWICK_HOME " + base + "/missing: No such file or directory\n"},
        {base + "/a-file", "bramwick: BRAMWICK_HOME " + base + "/a-file is not a folder\n"},
        {"", "bramwick: BRAMWICK_HOME is set but empty; set it to a folder or unset it\n"},
    };
    for (const auto& c : cases) {
        for (const char* mode : {"--report", "--open-at-login on"}) {
            auto run = shell("BRAMWICK_HOME='" + c.home + "' \"$0\" " + mode + " 2>&1");
            EXPECT_EQ(run.output, c.message + "status 1\n") << c.home << " " << mode;
        }
    }
    EXPECT_EQ(fs::directory_iterator(base)->path().filename(), "a-file") << "nothing was made";
    test::removeTree(base);
}

TEST(Program, ARelativeHomeOrOneWithATrailingSlashIsTheSameHome) {
    std::string base = test::makeTemporaryFolder("program-homes");
    test::makeFile(base + "/home/.npm/_cacache/index", 50'000);
    for (const char* home : {"home", "./home/", "home//"}) {
        auto run = shell("cd '" + base + "' && BRAMWICK_HOME=" + home + " \"$0\" --scan npm 2>&1");
        EXPECT_NE(run.output.find("npm \u2014 Safe to Remove \u2014 1 items"), std::string::npos)
            << home << ": " << run.output;
        EXPECT_NE(run.output.find(" ~/.npm/_cacache\n"), std::string::npos) << home;
        EXPECT_TRUE(run.output.ends_with("status 0\n")) << home;
    }
    test::removeTree(base);
}

// The desktop's download folder inside ~/Downloads: its files are listed once, as the folder.
TEST(Program, ADownloadFolderInsideDownloadsListsItsFilesOnce) {
    std::string base = test::makeTemporaryFolder("program-downloads");
    test::makeFile(base + "/home/.config/user-dirs.dirs", 0);
    test::makeFile(base + "/home/Downloads/Incoming/movie.mp4", 400'000);
    {
        std::ofstream dirs(base + "/home/.config/user-dirs.dirs");
        dirs << "XDG_DOWNLOAD_DIR=\"$HOME/Downloads/Incoming\"\n";
    }
    auto run = shell("BRAMWICK_HOME='" + base + "/home' \"$0\" --scan downloads 2>&1");
    EXPECT_NE(run.output.find("Downloads Folder — downloads — Review — 1 items"), std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find("movie.mp4"), std::string::npos) << run.output;
    test::removeTree(base);
}

TEST(Program, OutputThatCannotBeWrittenIsAFailureNotASilentSuccess) {
    for (const char* mode : {"--auto-clean", "--maintenance", "--help"}) {
        auto run =
            shell("BRAMWICK_HOME='" + test::home() + "' \"$0\" " + mode + " 2>&1 >/dev/full");
        EXPECT_EQ(run.output, "bramwick: could not write all of the output\nstatus 1\n") << mode;
    }
}
