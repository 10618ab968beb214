// Processes a test starts and ends itself: a child with an environment of its own, and a private
// X display (an Xvfb server) for the real program's windows.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace bramwick::test {

// Ended by the test that started it, and at the latest when it goes, so no child outlives a
// failed check (and keeps the test's output open for the runner to wait on).
struct ChildProcess {
    pid_t pid = -1;

    ChildProcess() = default;
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ~ChildProcess() { stop(); }

    // Where its standard output and error go: the caller's, or nowhere (for a benchmark, whose
    // own output is its figures).
    enum class Output { shared, discarded };

    // Runs `argv` with exactly `environment`; descriptors above 2 are closed but `keepOpen`.
    static ChildProcess start(const std::vector<std::string>& argv,
                              const std::vector<std::string>& environment, int keepOpen = -1,
                              Output output = Output::shared);

    // Its exit status (128 + the signal when a signal ended it), or none when it is still running
    // after `limit`.
    std::optional<int> wait(std::chrono::milliseconds limit);
    bool running();

    // Asked with SIGTERM first, so that a server takes its socket and lock file away with it;
    // killed only when it has not ended two seconds later.
    void stop();
};

// An Xvfb server on a free display, 1280 x 800 at depth 24, stopped when this goes.
struct PrivateDisplay {
    static constexpr const char* server = "/usr/bin/Xvfb";
    static bool installed();

    PrivateDisplay();
    bool running() const { return !name.empty(); }

    std::string name; // ":N", empty when the server did not start
    ChildProcess process;
};

} // namespace bramwick::test
