// What keeps running in the background and can be stopped: booted simulators with every
// process that belongs to each, and long-lived "log stream" processes that tools leave behind.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <unistd.h>
#include <variant>
#include <vector>

#include "base/shell.h"
#include "engine/models.h"
#include "platform/process_table.h"

namespace bramwick {

struct RunningItem {
    // A booted simulator, stopped by shutting it down.
    struct Simulator {
        std::string udid;
        bool operator==(const Simulator&) const = default;
    };
    // Log-watcher processes: the root first, then its direct children, in listing order.
    struct Watcher {
        std::vector<std::int32_t> pids;
        // Who each pid was right after the listing (one per pid; none when it could not be read).
        // Stopping signals a pid only while it is still that process.
        std::vector<std::optional<ProcessTable::Identity>> identities;
        bool operator==(const Watcher&) const = default;
    };
    using Kind = std::variant<Simulator, Watcher>;

    std::string id; // "sim-" + udid, or "watch-" + the root pid
    Kind kind;
    std::string name;
    std::string detail;
    double cpu = 0;          // percent of one core, summed; may exceed 100
    std::int64_t memory = 0; // resident bytes, summed

    bool operator==(const RunningItem&) const = default;
};

struct RunningSnapshot {
    std::vector<RunningItem> items; // simulators first, then log watchers
    std::int64_t swapUsed = 0;
    std::int64_t swapTotal = 0;
    bool scanned = false; // true in every snapshot the scanner returns
    // Why the log watchers could not be listed (ps could not be run); empty when they were.
    std::string watchersProblem = {};
};

namespace RunningScanner {

// Where the scanner looks: the command runner (ps, simctl), the /proc root (swap, and who the
// watchers' pids are), the clock for running times, and this program's own pid, which is never
// listed, and user, whose watchers alone are.
struct Source {
    Shell::Runner runner = Shell::run;
    std::string root;
    std::function<Date()> now = [] { return std::chrono::system_clock::now(); };
    pid_t ownPid = ::getpid();
    uid_t ownUid = ::getuid(); // watchers of other users are not listed
};

// One snapshot: runs ps and simctl once each. Never fails: a tool that cannot run gives fewer
// items.
RunningSnapshot snapshot(const Source& source = {});

// The command that stops an item: ["xcrun", "simctl", "shutdown", udid] for a simulator,
// ["kill", pid...] for a watcher.
std::vector<std::string> stopCommand(const RunningItem& item);

// Stops an item. A simulator is shut down through `runner` (120 s). A watcher's pids are
// signalled (SIGTERM) one by one, each only while it is still the process the snapshot saw, so
// a pid that has ended and been reused is never hit. Status 0 when at least one process was
// signalled and everything that still ran was; otherwise 1 and the reasons (a watcher whose
// processes had all ended already was not stopped by anyone here).
Shell::Result stop(const RunningItem& item, const Shell::Runner& runner = Shell::run);

// The running time as one spelled-out unit: minutes, hours or days, at least "1 minute".
std::string runningTime(double seconds);

} // namespace RunningScanner

} // namespace bramwick
