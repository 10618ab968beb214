// Administrator rights: one shell command run as root through pkexec, which shows the desktop's
// own password prompt. The cleaner's batch removal and the maintenance tasks both come here.
#pragma once

#include <string>
#include <string_view>

#include "base/shell.h"

namespace bramwick::Admin {

// pkexec's status when the prompt was dismissed or the password refused.
inline constexpr int cancelledStatus = 126;
// env's status when pkexec itself is not installed.
inline constexpr int unavailableStatus = 127;

// Runs `command` with "pkexec /bin/sh -c". Throws only as Shell::run does.
Shell::Result run(const std::string& command, double timeout, const Shell::Runner& runner = Shell::run);

// A path quoted for the shell: wrapped in single quotes, each ' written as '\''.
std::string quote(std::string_view path);

// What to tell the user about a failed run: a missing pkexec and a refused password get a
// sentence of their own; anything else is the command's own output, trimmed.
std::string failureReason(const Shell::Result& result);

} // namespace bramwick::Admin
