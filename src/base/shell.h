// The one way the program runs an external command: through /usr/bin/env with a fixed search
// path, output and errors collected together in a private temporary file, stopped at a time limit.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace bramwick::Shell {

struct Result {
    // Exit status; 128 + signal when killed; -1 when stopped (time or output) or when the status
    // could not be read (then a line of the output says so).
    int status = 0;
    std::string output; // standard output and error as written, repaired to valid UTF-8
};

// The search path every command sees.
inline constexpr const char* searchPath =
    "/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin";

// The most output a run keeps (the first bytes). A command still running when it has written
// more is stopped as at its time limit, with its own stop line, so a runaway tool fills neither
// the temporary folder nor memory.
inline constexpr std::size_t outputLimit = 64'000'000;

// Runs `arguments` (arguments[0] looked up in the search path, no shell interpretation) with
// empty standard input. Blocks until the command ends or `timeout` seconds pass; then the
// command's process group gets SIGTERM, SIGKILL 2 s later, and the stop line is appended.
// Throws std::system_error only when the output file cannot be made or the command cannot be
// launched; a program missing from the path is env's own non-zero status.
Result run(const std::vector<std::string>& arguments, double timeout);

// The same with `input` as the command's standard input (any size; none means empty).
Result runWithInput(const std::vector<std::string>& arguments, double timeout,
                    const std::optional<std::string>& input);

// Puts SIGCHLD back to its default. A launcher that left it ignored makes the system reap every
// child itself, and no command's status could be read: called once at start-up.
void resetChildSignal();

// The command runner as a replaceable function, so callers that run tools can be tested with
// recorded output.
using Runner = std::function<Result(const std::vector<std::string>&, double)>;

} // namespace bramwick::Shell
