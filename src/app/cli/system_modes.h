// The rows of the modes that report the system tools, printed from values so that tests can
// check them without the live system.
#pragma once

#include <ostream>

#include "system/maintenance.h"
#include "system/memory_users.h"
#include "system/running.h"

namespace bramwick::Cli {

// --memory: one line per memory user, as given.
void printMemoryUsers(const std::vector<MemoryUsers::Entry>& entries, std::ostream& out);

// --maintenance: each task with its state, measurement and commands, then the actions not
// offered. Runs nothing but the tasks' own probes.
void printMaintenance(const std::vector<MaintenanceTask>& tasks,
                      const std::vector<Maintenance::Retired>& retired, std::ostream& out);

// --running: the swap line, then one line per item, or the line that says nothing runs, then
// why the log watchers could not be looked for, when they could not.
void printRunning(const RunningSnapshot& snapshot, std::ostream& out);

} // namespace bramwick::Cli
