// The maintenance tasks offered beside cleaning, each carried out with the system's own tools,
// the actions deliberately not offered, and the runner that carries a task out.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/shell.h"
#include "platform/running_apps.h"
#include "system/vitals.h"

namespace bramwick {

struct MaintenanceTask {
    std::string id;
    std::string name;
    std::string detail;
    std::string cost; // empty for the information rows
    std::string symbol;
    bool needsPassword = false; // its commands run together behind one administrator prompt
    // Whether the task applies here (its tool exists); a few file tests, cheap.
    std::function<bool()> isAvailable;
    // One line on what running it would achieve now; may run tools for up to 45 s.
    std::function<std::optional<std::string>()> measure;
    // The argument vectors to run, in order, taken when called; empty for information rows.
    std::function<std::vector<std::vector<std::string>>()> commands;
};

namespace Maintenance {

// What the tasks look at: the prefix of the system paths they test, the command runner, the
// memory statistics and the running applications. The defaults are the running system.
struct Probes {
    std::string root;
    Shell::Runner runner = Shell::run;
    std::function<std::optional<MemorySnapshot>()> memorySnapshot = [] {
        return VitalsReader::memorySnapshot();
    };
    std::function<std::vector<RunningApplication>()> applications = [] {
        return RunningApplications::system().list();
    };
};

struct Retired {
    std::string name;
    std::string why;
};

struct Result {
    bool succeeded = false; // every command ran and ended with status 0
    std::string output;     // what the commands printed, or why nothing ran
    bool operator==(const Result&) const = default;
};

struct Snapshots {
    int total = 0;
    int purgeable = 0;
};

// The nine tasks in display order: "malware", "memory-purge", "logs", "snapshots", "dns",
// "launch-services", "mail-index", "spotlight", "verify-disk".
std::vector<MaintenanceTask> all(const Probes& probes = {});
// The four actions not offered, with the reason shown for each.
std::vector<Retired> retired(const Probes& probes = {});
bool periodicExists(const Probes& probes = {});

// The state of the built-in malware protection; never empty. A check that cannot run says it
// cannot tell rather than that protection is off.
std::string xprotectStatus(const Probes& probes = {});
// What a memory purge would really free; none without memory statistics.
std::optional<std::string> purgeReality(const Probes& probes = {});
Snapshots localSnapshots(const Probes& probes = {});
// Space the home volume could free on demand. File systems here keep none in reserve: 0.
std::int64_t purgeableBytes();
// The mail indexes under ~/Library/Mail, in name order of their folders.
std::vector<std::string> mailIndexes();
bool mailIsRunning(const Probes& probes = {});

// Runs a task's commands in order, stopping at the first failure; a task that needs the
// password runs them as one script through the administrator prompt. Never throws.
Result run(const MaintenanceTask& task, const Probes& probes = {});

} // namespace Maintenance

} // namespace bramwick
