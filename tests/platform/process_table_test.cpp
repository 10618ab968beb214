#include <chrono>
#include <csignal>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

#include <gtest/gtest.h>

#include "platform/process_table.h"
#include "support/long_named_process.h"
#include "support/system_tree.h"

using namespace bramwick;

extern char** environ;

namespace {

// A process of the test's own, ended and reaped by the test. Returns once the child runs
// sleep, so its command line is sleep's and not the test's from before the exec.
pid_t startSleeper() {
    pid_t pid = -1;
    char sleep[] = "sleep", seconds[] = "60";
    char* argv[] = {sleep, seconds, nullptr};
    if (::posix_spawnp(&pid, "sleep", nullptr, nullptr, argv, environ) != 0) return -1;
    for (int i = 0; i < 500; ++i) {
        std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline");
        std::string first;
        std::getline(in, first, '\0');
        if (first == "sleep") break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return pid;
}

bool stillRunning(pid_t pid) {
    return ::waitpid(pid, nullptr, WNOHANG) == 0;
}

// Ends the test's own child if a failed expectation left it running. An unreaped child keeps
// its pid, so this can hit no other process.
struct Reaper {
    pid_t pid;
    ~Reaper() {
        if (pid > 0 && stillRunning(pid)) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
};

} // namespace

TEST(ProcessTable, IdentityIsTheStartTimeAndCommandLine) {
    test::SystemTree tree;
    tree.write("/proc/42/stat", "42 (a) b c) S 1 42 42 0 -1 4194560 100 0 0 0 5 3 0 0 20 0 1 0 "
                                "123456 1000 10 18446744073709551615\n");
    tree.write("/proc/42/cmdline", std::string("log\0stream\0", 11));
    auto identity = ProcessTable::identity(42, tree.root());
    ASSERT_TRUE(identity);
    EXPECT_EQ(identity->startTime, 123456u);
    EXPECT_EQ(identity->commandLine, std::string("log\0stream\0", 11));
    tree.write("/proc/43/stat", "43 (short) S 1 2 3\n");
    EXPECT_FALSE(ProcessTable::identity(43, tree.root()));
    EXPECT_FALSE(ProcessTable::identity(44, tree.root()));
}

TEST(ProcessTable, SignalsOnlyTheProcessThatWasMeant) {
    pid_t pid = startSleeper();
    ASSERT_GT(pid, 0);
    Reaper reaper{pid};
    auto identity = ProcessTable::identity(pid);
    ASSERT_TRUE(identity);

    auto reused = *identity; // the same pid, started at another time: another process
    reused.startTime += 1;
    EXPECT_EQ(ProcessTable::signalIfUnchanged(pid, reused, SIGTERM).kind,
              ProcessTable::SignalOutcome::Kind::gone);
    auto otherCommand = *identity;
    otherCommand.commandLine = "something else";
    EXPECT_EQ(ProcessTable::signalIfUnchanged(pid, otherCommand, SIGTERM).kind,
              ProcessTable::SignalOutcome::Kind::gone);
    EXPECT_TRUE(stillRunning(pid));

    EXPECT_EQ(ProcessTable::signalIfUnchanged(pid, *identity, SIGTERM).kind,
              ProcessTable::SignalOutcome::Kind::sent);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_EQ(ProcessTable::signalIfUnchanged(pid, *identity, SIGTERM).kind,
              ProcessTable::SignalOutcome::Kind::gone);
}

TEST(ProcessTable, TheExecutableIsReadFromTheProcessItself) {
    test::SystemTree tree;
    auto process = [&](int pid, const std::string& comm, const std::string& cmdline,
                       const char* exe = nullptr) {
        std::string folder = "/proc/" + std::to_string(pid);
        tree.write(folder + "/comm", comm + "\n");
        tree.write(folder + "/cmdline", cmdline);
        if (exe) {
            ASSERT_EQ(::symlink(exe, (tree.root() + folder + "/exe").c_str()), 0);
        }
    };
    using namespace std::string_literals;
    process(10, "backup-agent-fo", "backup-agent-fo\0"s, "/opt/backup-agent-for-the-office");
    process(11, "backup-agent-fo", "/opt/backup-agent-for-the-office (deleted)\0"s,
            "/opt/backup-agent-for-the-office (deleted)");
    process(12, "backup-agent-fo", "/opt/bin/backup-agent-for-the-office\0--quiet\0"s);
    process(13, "backup-agent-fo", "./backup-agent-for-the-office --quiet"s); // one rewritten word
    process(14, "sshd", "sshd: someone@pts/0"s);                              // a title of its own
    process(15, "Isolated Web Co", "/usr/lib/firefox/firefox\0-contentproc\0"s);
    process(16, "kworker/0:1", ""s);
    struct Case {
        pid_t pid;
        const char* listed;
        std::optional<std::string> expected;
    } cases[] = {
        {10, "backup-agent-fo", "/opt/backup-agent-for-the-office"},
        {11, "backup-agent-fo", "/opt/backup-agent-for-the-office"},
        {12, "backup-agent-fo", "/opt/bin/backup-agent-for-the-office"},
        {13, "backup-agent-fo", "backup-agent-for-the-office"},
        {14, "sshd", "sshd"},                       // a whole kernel name needs nothing more
        {15, "Isolated Web Co", "Isolated Web Co"}, // the command line is not its name
        {16, "kworker/0:1", "kworker/0:1"},
        {10, "other", std::nullopt}, // the pid went to another process since ps listed it
        {17, "gone", std::nullopt},
        {0, "none", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProcessTable::executable(c.pid, c.listed, tree.root()), c.expected) << c.pid;
}

TEST(ProcessTable, FindsTheWholeNameOfARunningProcess) {
    test::LongNamedProcess helper;
    ASSERT_GT(helper.pid(), 0);
    EXPECT_EQ(ProcessTable::executable(helper.pid(), test::LongNamedProcess::kernelName),
              helper.executable());
}
