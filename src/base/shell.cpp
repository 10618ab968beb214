#include "base/shell.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

#include <fmt/format.h>

#include "base/edition.h"
#include "base/text.h"
#include "base/unique_fd.h"

extern char** environ;

namespace bramwick::Shell {

namespace {

std::vector<std::string> commandEnvironment() {
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        std::string_view entry(*e);
        if (entry.starts_with("PATH=") || entry.starts_with("HOMEBREW_NO_AUTO_UPDATE=") ||
            entry.starts_with("HOMEBREW_NO_ENV_HINTS="))
            continue;
        env.emplace_back(entry);
    }
    env.push_back(std::string("PATH=") + searchPath);
    env.push_back("HOMEBREW_NO_AUTO_UPDATE=1");
    env.push_back("HOMEBREW_NO_ENV_HINTS=1");
    return env;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (auto& s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

// The output file of one run, closed and removed however the run ends.
struct OutputFile {
    std::string path;
    UniqueFd fd;
    ~OutputFile() {
        fd.reset();
        if (!path.empty()) ::unlink(path.c_str());
    }

    // A new private file in the temporary folder. Throws std::system_error when none can be made.
    static OutputFile create() {
        std::string path = Edition::temporaryDirectory() + "/bramwick-" + Text::newUuid() + ".log";
        UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
        if (!fd) throw std::system_error(errno, std::generic_category(), "cannot create " + path);
        return {std::move(path), std::move(fd)};
    }
};

// Whether the command has written more than a run keeps, going by the file's size.
bool overflowing(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && st.st_size > static_cast<off_t>(outputLimit);
}

enum class Waited { ended, unknown, running };

// Waits for the child for at most `seconds`, or until `giveUp` says so. `ended` when it was
// reaped into `status`; `unknown` when it is gone but its status cannot be had (SIGCHLD
// ignored makes the system reap it itself). Uses a process descriptor where the kernel has
// one, so a quick command returns at once; otherwise polls. Either way it looks every 0.1 s.
Waited waitFor(pid_t pid, double seconds, int& status, const std::function<bool()>& giveUp = {}) {
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(std::max(0.0, seconds)));
#ifdef SYS_pidfd_open
    UniqueFd pidfd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
#else
    UniqueFd pidfd;
#endif
    for (;;) {
        pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid || (r < 0 && errno != EINTR)) {
            return r == pid ? Waited::ended : Waited::unknown;
        }
        auto now = Clock::now();
        if (now >= deadline || (giveUp && giveUp())) break;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        if (pidfd) {
            pollfd p{pidfd.get(), POLLIN, 0};
            ::poll(&p, 1, static_cast<int>(std::min<long long>(left + 1, 100)));
        } else {
            std::this_thread::sleep_for(
                std::chrono::milliseconds(std::min<long long>(left + 1, 100)));
        }
    }
    return Waited::running;
}

// The input as a file of no name that only this run holds, read from its start: no length limit
// as for arguments, and no other program can change it on the way. Throws std::system_error when
// it cannot be stored.
UniqueFd storedInput(const std::string& input) {
    UniqueFd file(
        ::open(Edition::temporaryDirectory().c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (!file) {
        // A file system without unnamed files: a private named one, unlinked at once.
        std::string name =
            Edition::temporaryDirectory() + "/bramwick-" + Text::newUuid() + ".input";
        file.reset(::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
        if (file) ::unlink(name.c_str());
    }
    if (!file) throw std::system_error(errno, std::generic_category(), "cannot store the input");
    for (std::size_t done = 0; done < input.size();) {
        ssize_t n = ::write(file.get(), input.data() + done, input.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            throw std::system_error(errno, std::generic_category(), "cannot store the input");
        done += static_cast<std::size_t>(n);
    }
    ::lseek(file.get(), 0, SEEK_SET);
    return file;
}

// Launches the command through /usr/bin/env in a process group of its own, reading `input` (none:
// /dev/null) and writing output and errors to `output`. Throws std::system_error when it cannot
// be launched.
pid_t spawn(const std::vector<std::string>& arguments, const UniqueFd& input, int output) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input)
        posix_spawn_file_actions_adddup2(&actions, input.get(), 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, output, 1);
    posix_spawn_file_actions_adddup2(&actions, output, 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Its own process group, so a stop at the time limit reaches whatever it started.
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGCHLD);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF |
                                              POSIX_SPAWN_SETSIGMASK);

    std::vector<std::string> argv{"/usr/bin/env"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    auto env = commandEnvironment();
    auto argvPointers = pointers(argv);
    auto envPointers = pointers(env);

    pid_t pid = -1;
    int spawned = ::posix_spawn(&pid, "/usr/bin/env", &actions, &attributes, argvPointers.data(),
                                envPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0)
        throw std::system_error(
            spawned, std::generic_category(),
            "cannot launch " + (arguments.empty() ? std::string("/usr/bin/env") : arguments[0]));
    return pid;
}

// How a run ended.
struct Ending {
    Waited waited = Waited::running; // as the wait within the time limit found the command
    int status = 0;                  // as reaped, when it ended
    bool overflowed = false;         // stopped for writing more than a run keeps
    bool unstoppable = false;        // still running after the stop, as another user
};

// Stops the command's process group: SIGTERM, then SIGKILL 2 s later. True when the command
// still runs after all that.
bool stop(pid_t pid, int& status) {
    ::kill(-pid, SIGTERM);
    if (waitFor(pid, 2.0, status) != Waited::running) return false;
    ::kill(-pid, SIGKILL);
    // A command that became another user (root, through pkexec) cannot be signalled by us: the
    // call returns all the same, and the command is reaped whenever it ends.
    if (waitFor(pid, 2.0, status) != Waited::running) return false;
    std::thread([pid] {
        int ignored = 0;
        while (::waitpid(pid, &ignored, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

// Waits for the command until it ends, `timeout` seconds pass or its output grows past the
// limit; in the last two cases stops it.
Ending waitAndStop(pid_t pid, double timeout, int output) {
    Ending ending;
    ending.waited = waitFor(pid, timeout, ending.status, [output] { return overflowing(output); });
    if (ending.waited != Waited::running) return ending;
    ending.overflowed = overflowing(output);
    ending.unstoppable = stop(pid, ending.status);
    return ending;
}

// The first outputLimit bytes of the output file, as written.
std::string collectedOutput(int fd) {
    std::string output;
    char buffer[65536];
    off_t offset = 0;
    while (offset < static_cast<off_t>(outputLimit)) {
        auto want =
            std::min<std::size_t>(sizeof buffer, outputLimit - static_cast<std::size_t>(offset));
        ssize_t n = ::pread(fd, buffer, want, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        output.append(buffer, static_cast<std::size_t>(n));
        offset += n;
    }
    return output;
}

// The run's status and output, with the line that says why it was stopped or has no status.
Result resultOf(const Ending& ending, const std::string& output, double timeout,
                const std::vector<std::string>& arguments) {
    Result result;
    result.output = Text::repairUtf8(output);
    const bool ended = ending.waited != Waited::running;
    if (ending.overflowed) {
        result.status = -1;
        result.output +=
            fmt::format("\nStopped after writing more than {} MB.", outputLimit / 1'000'000);
    } else if (ending.unstoppable) {
        // Not stopped, so never said to be: what it does may still happen.
        result.status = -1;
        result.output += fmt::format("\nStill running after {} seconds as another user, who "
                                     "alone can stop it.",
                                     static_cast<long long>(timeout));
    } else if (!ended) {
        result.status = -1;
        result.output +=
            fmt::format("\nStopped after {} seconds.", static_cast<long long>(timeout));
    } else if (ending.waited == Waited::unknown) {
        // Never a success that cannot be shown.
        result.status = -1;
        if (!result.output.empty() && result.output.back() != '\n') result.output += '\n';
        result.output += fmt::format("The exit status of {} could not be read.",
                                     arguments.empty() ? std::string("the command") : arguments[0]);
    } else if (WIFEXITED(ending.status)) {
        result.status = WEXITSTATUS(ending.status);
    } else if (WIFSIGNALED(ending.status)) {
        result.status = 128 + WTERMSIG(ending.status);
    } else {
        result.status = -1;
    }
    return result;
}

} // namespace

void resetChildSignal() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGCHLD, &action, nullptr);
}

Result run(const std::vector<std::string>& arguments, double timeout) {
    return runWithInput(arguments, timeout, {});
}

Result runWithInput(const std::vector<std::string>& arguments, double timeout,
                    const std::optional<std::string>& input) {
    if (!std::isfinite(timeout) || timeout < 0) timeout = 0;
    timeout = std::min(timeout, 9.0e15);
    OutputFile log = OutputFile::create();
    UniqueFd inputFile = input ? storedInput(*input) : UniqueFd();
    pid_t pid = spawn(arguments, inputFile, log.fd.get());
    Ending ending = waitAndStop(pid, timeout, log.fd.get());
    return resultOf(ending, collectedOutput(log.fd.get()), timeout, arguments);
}

} // namespace bramwick::Shell
