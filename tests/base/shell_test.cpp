#include <csignal>
#include <dirent.h>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "base/edition.h"
#include "base/shell.h"
#include "support/fixture.h"

using namespace bramwick;

namespace {
std::set<std::string> logFiles(const std::string& folder) {
    std::set<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (auto* e = ::readdir(dir))
            if (std::string_view(e->d_name).starts_with("bramwick-")) names.insert(e->d_name);
        ::closedir(dir);
    }
    return names;
}
} // namespace

TEST(Shell, CollectsOutputAndErrorsTogether) {
    std::string folder = test::makeTemporaryFolder("tmp");
    ::setenv("TMPDIR", folder.c_str(), 1);
    auto r = Shell::run({"sh", "-c", "printf a; printf b >&2"}, 10);
    auto stopped = Shell::run({"sleep", "5"}, 0.2);
    ::unsetenv("TMPDIR");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, "ab");
    EXPECT_EQ(stopped.status, -1);
    EXPECT_TRUE(logFiles(folder).empty()) << "the output file of a run must be gone";
    test::removeTree(folder);
}

TEST(Shell, ReportsTheExitStatus) {
    EXPECT_EQ(Shell::run({"sh", "-c", "exit 3"}, 10).status, 3);
}

TEST(Shell, StopsAtTheTimeLimit) {
    struct Case {
        double timeout;
        const char* line;
    } cases[] = {{1, "\nStopped after 1 seconds."}, {1.9, "\nStopped after 1 seconds."}};
    for (const auto& c : cases) {
        auto start = std::chrono::steady_clock::now();
        auto r = Shell::run({"sh", "-c", "echo started; sleep 30"}, c.timeout);
        auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(r.status, -1);
        EXPECT_EQ(r.output, std::string("started\n") + c.line);
        EXPECT_LT(took, std::chrono::seconds(5));
    }
}

TEST(Shell, StopsAChildThatIgnoresTerminationAndItsChildren) {
    auto start = std::chrono::steady_clock::now();
    auto r = Shell::run({"sh", "-c", "trap '' TERM; sleep 30 & sleep 30"}, 0.5);
    EXPECT_EQ(r.status, -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));
}

// A command that became root (as one started through pkexec does) cannot be stopped by the
// user's program: the call still returns soon after its limit, and says the command still runs.
TEST(Shell, ACommandThatCannotBeStoppedDoesNotHoldTheCallPastItsLimit) {
    if (!test::runningAsRoot()) GTEST_SKIP() << "making a command of another user needs root";
    std::string folder = test::makeTemporaryFolder("shell");
    std::string python = folder + "/python-as-root";
    if (std::system(("cp /usr/bin/python3 '" + python + "'").c_str()) != 0 ||
        ::chmod(folder.c_str(), 0755) != 0 || ::chmod(python.c_str(), 04755) != 0)
        GTEST_SKIP() << "no python3 to make such a command of";
    pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(77);
        auto start = std::chrono::steady_clock::now();
        auto r = Shell::run({python, "-c",
                             "import os, time\nos.setresuid(0, 0, 0)\nprint('root', flush=True)\n"
                             "time.sleep(12)"},
                            1);
        auto took = std::chrono::steady_clock::now() - start;
        if (r.output.find("root") != 0) ::_exit(77); // the folder does not honour set-user-id
        bool ok = r.status == -1 &&
                  r.output ==
                      "root\n\nStill running after 1 seconds as another user, who alone can "
                      "stop it." &&
                  took < std::chrono::seconds(8);
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    test::removeTree(folder);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no command of another user could be made here";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(Shell, MissingProgramIsEnvsStatusNotAThrow) {
    auto r = Shell::run({"bramwick-no-such-tool"}, 10);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output.find("bramwick-no-such-tool"), std::string::npos);
}

TEST(Shell, StandardInputIsEmpty) {
    auto r = Shell::run({"sh", "-c", "cat; echo done"}, 10);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, "done\n");
}

TEST(Shell, FixedSearchPathAndVariables) {
    ::setenv("PATH", "/nowhere", 1);
    auto r =
        Shell::run({"sh", "-c", "echo $PATH $HOMEBREW_NO_AUTO_UPDATE $HOMEBREW_NO_ENV_HINTS"}, 10);
    ::setenv("PATH", "/usr/local/bin:/usr/bin:/bin", 1);
    EXPECT_EQ(r.output, std::string(Shell::searchPath) + " 1 1\n");
}

TEST(Shell, InvalidUtf8IsRepairedNotDropped) {
    auto r = Shell::run({"printf", "ok\\377"}, 10);
    EXPECT_EQ(r.output, "ok\uFFFD");
}

TEST(Shell, ArgumentsAreNotInterpreted) {
    auto r = Shell::run({"printf", "%s", "$HOME; rm -rf *"}, 10);
    EXPECT_EQ(r.output, "$HOME; rm -rf *");
}

TEST(Shell, ARunawayWriterIsStoppedBeforeItFillsTheDisk) {
    std::string folder = test::makeTemporaryFolder("tmp");
    test::EnvironmentChange tmp("TMPDIR", folder);
    auto start = std::chrono::steady_clock::now();
    auto r = Shell::run({"yes"}, 120);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(r.status, -1);
    std::string line = "\nStopped after writing more than 64 MB.";
    EXPECT_LE(r.output.size(), Shell::outputLimit + line.size());
    EXPECT_TRUE(r.output.ends_with(line)) << r.output.substr(r.output.size() - 100);
    EXPECT_TRUE(r.output.starts_with("y\ny\n"));
    EXPECT_TRUE(logFiles(folder).empty());
    test::removeTree(folder);
}

TEST(Shell, AStatusThatCannotBeReadIsAFailureUntilChildSignalsAreReset) {
    // A launcher that left SIGCHLD ignored: the system reaps every child itself. In a child
    // process, so the change dies with it.
    pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGCHLD, SIG_IGN);
        auto succeeded = Shell::run({"true"}, 10);
        auto failed = Shell::run({"false"}, 10);
        bool unknown = succeeded.status != 0 && failed.status != 0 &&
                       succeeded.output.find("could not be read") != std::string::npos;
        Shell::resetChildSignal();
        bool read = Shell::run({"true"}, 10).status == 0 && Shell::run({"false"}, 10).status == 1;
        ::_exit(unknown ? (read ? 0 : 2) : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: an unread status passed for success; 2: not reset";
}

TEST(Shell, InputOfAnySizeReachesTheCommand) {
    // Far more than one argument may carry.
    std::string input(1'000'000, 'x');
    auto r = Shell::runWithInput({"wc", "-c"}, 10, input);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("1000000"), std::string::npos) << r.output;
}
