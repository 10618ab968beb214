// What the kernel says about one process, and a signal that reaches only the process that was
// meant: a pid that has ended and been given to another process is never hit.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace bramwick::ProcessTable {

// Who a pid is: its start time (clock ticks after boot, /proc/<pid>/stat) and its command line
// (/proc/<pid>/cmdline, arguments joined by NUL). A pid that is reused gets a new start time.
struct Identity {
    unsigned long long startTime = 0;
    std::string commandLine;

    bool operator==(const Identity&) const = default;
};

// The identity of `pid` under `root` ("" for the running system); none when the process does
// not exist or cannot be read.
std::optional<Identity> identity(pid_t pid, const std::string& root = "");

// The path `<processFolder>/exe` points to (a /proc/<pid> folder), without the mark the kernel
// adds when the file has been replaced since; "" when it cannot be read (a kernel thread, or
// another user's process).
std::string executableIn(const std::string& processFolder);

// What a listed process runs, read from the process itself, since the kernel's own name is cut
// at 15 characters: the path of its executable where it can be read; else the first word of
// its command line, when that continues a kernel name that was cut; else the kernel name. None
// when the process has ended or its kernel name is no longer `kernelName`, as ps listed it
// (the pid has gone to another process since).
std::optional<std::string> executable(pid_t pid, std::string_view kernelName,
                                      const std::string& root = "");

struct SignalOutcome {
    enum class Kind {
        sent,    // the process that was meant got the signal
        gone,    // it has ended (its pid is free or belongs to another process now)
        refused, // the kernel refused the signal
    };
    Kind kind = Kind::gone;
    std::string reason; // for `refused`: the system's message
};

// Sends `signal` to `pid` only while it is still the process `expected` describes. The pid is
// pinned (pidfd) before it is compared, so it cannot change hands between the check and the
// signal.
SignalOutcome signalIfUnchanged(pid_t pid, const Identity& expected, int signal);

} // namespace bramwick::ProcessTable
