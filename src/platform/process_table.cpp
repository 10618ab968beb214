#include "platform/process_table.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>
#include <string_view>
#include <sys/syscall.h>
#include <unistd.h>

#include "platform/files.h"

namespace bramwick::ProcessTable {

namespace {

// The start time: field 22 of /proc/<pid>/stat, counted after the command name in parentheses
// (which may itself hold spaces and parentheses, hence the last ')').
std::optional<unsigned long long> startTime(std::string_view stat) {
    std::size_t close = stat.rfind(')');
    if (close == std::string_view::npos) return std::nullopt;
    std::string_view rest = stat.substr(close + 1);
    for (int field = 3; field <= 22; ++field) {
        std::size_t begin = rest.find_first_not_of(' ');
        if (begin == std::string_view::npos) return std::nullopt;
        rest.remove_prefix(begin);
        std::size_t end = rest.find(' ');
        std::string_view word = rest.substr(0, end);
        if (field == 22) {
            unsigned long long value = 0;
            auto [last, error] = std::from_chars(word.data(), word.data() + word.size(), value);
            if (error != std::errc{} || last != word.data() + word.size()) return std::nullopt;
            return value;
        }
        if (end == std::string_view::npos) return std::nullopt;
        rest.remove_prefix(end);
    }
    return std::nullopt;
}

int openPidfd(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

int sendThroughPidfd(int pidfd, int signal) {
#ifdef SYS_pidfd_send_signal
    return static_cast<int>(::syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0));
#else
    (void)pidfd;
    (void)signal;
    errno = ENOSYS;
    return -1;
#endif
}

SignalOutcome outcomeOf(int result) {
    if (result == 0) return {SignalOutcome::Kind::sent, {}};
    if (errno == ESRCH) return {SignalOutcome::Kind::gone, {}};
    return {SignalOutcome::Kind::refused, std::strerror(errno)};
}

} // namespace

std::optional<Identity> identity(pid_t pid, const std::string& root) {
    if (pid <= 0) return std::nullopt;
    std::string folder = root + "/proc/" + std::to_string(pid);
    auto stat = Files::read(folder + "/stat");
    if (!stat) return std::nullopt;
    auto start = startTime(*stat);
    if (!start) return std::nullopt;
    auto commandLine = Files::read(folder + "/cmdline");
    if (!commandLine) return std::nullopt;
    return Identity{*start, std::move(*commandLine)};
}

std::string executableIn(const std::string& processFolder) {
    std::string target(4096, '\0');
    ssize_t n = ::readlink((processFolder + "/exe").c_str(), target.data(), target.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) return {};
    target.resize(static_cast<std::size_t>(n));
    constexpr std::string_view replaced = " (deleted)";
    if (target.ends_with(replaced)) target.resize(target.size() - replaced.size());
    return target;
}

std::optional<std::string> executable(pid_t pid, std::string_view kernelName,
                                      const std::string& root) {
    if (pid <= 0) return std::nullopt;
    std::string folder = root + "/proc/" + std::to_string(pid);
    auto name = Files::read(folder + "/comm");
    if (!name) return std::nullopt;
    if (name->ends_with('\n')) name->pop_back();
    if (*name != kernelName) return std::nullopt;
    if (std::string path = executableIn(folder); !path.empty()) return path;
    // The kernel keeps 15 characters of the name; a shorter one is whole. A command line can
    // be rewritten at will ("sshd: user@pts/0"), so its first word only counts when it carries
    // on from the cut name.
    constexpr std::size_t cutLength = 15;
    if (name->size() == cutLength) {
        if (auto commandLine = Files::read(folder + "/cmdline")) {
            std::string_view word(*commandLine);
            word = word.substr(0, word.find('\0'));
            word = word.substr(0, word.find(' '));
            std::string_view file = word.substr(word.rfind('/') + 1);
            if (file.size() > name->size() && file.starts_with(*name))
                return std::string(word.starts_with('/') ? word : file);
        }
    }
    return name;
}

SignalOutcome signalIfUnchanged(pid_t pid, const Identity& expected, int signal) {
    if (pid <= 0) return {SignalOutcome::Kind::gone, {}};
    int pidfd = openPidfd(pid);
    if (pidfd < 0 && errno == ESRCH) return {SignalOutcome::Kind::gone, {}};
    if (identity(pid) != expected) {
        if (pidfd >= 0) ::close(pidfd);
        return {SignalOutcome::Kind::gone, {}};
    }
    if (pidfd < 0) return outcomeOf(::kill(pid, signal)); // kernels without pidfd: check, then kill
    SignalOutcome outcome = outcomeOf(sendThroughPidfd(pidfd, signal));
    ::close(pidfd);
    return outcome;
}

} // namespace bramwick::ProcessTable
