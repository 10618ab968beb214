// Administrator rights through pkexec, which shows the desktop's own password prompt: one shell
// command run as root (the maintenance tasks), or this program's own removal of a list of judged
// items (the cleaner's batch), which checks every item again as root before it removes it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/shell.h"

namespace bramwick::Admin {

// pkexec's status when the prompt was dismissed or the password refused.
inline constexpr int cancelledStatus = 126;
// env's status when pkexec itself is not installed.
inline constexpr int unavailableStatus = 127;

// The argument vector that runs `command` as root: "pkexec /bin/sh -c <command>".
std::vector<std::string> arguments(const std::string& command);

// Runs `command` with "pkexec /bin/sh -c". Throws only as Shell::run does.
Shell::Result run(const std::string& command, double timeout,
                  const Shell::Runner& runner = Shell::run);

// The flag of the program's own removal mode, for pkexec only: it is no mode of the user's.
inline constexpr const char* removalFlag = "--remove-listed-as-administrator";

// Runs this program's removal mode as root through pkexec, with `list` on its standard input
// (no length limit; one password prompt). Throws only as Shell::run does.
Shell::Result runRemoval(const std::string& list, double timeout);

// The running program's own executable, as pkexec needs it: an absolute path.
std::string ownExecutable();

// A path quoted for the shell: wrapped in single quotes, each ' written as '\''.
std::string quote(std::string_view path);

// What to tell the user about a failed run: a missing pkexec and a refused password get a
// sentence of their own; anything else is the command's own output, trimmed.
std::string failureReason(const Shell::Result& result);

} // namespace bramwick::Admin
