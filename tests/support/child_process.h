// Programs a test starts on its own (a display server, a bus, the program under test): each is
// ended by the object that started it, and when the test stops early, so none outlives it.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace bramwick::test {

// A child process with an environment of its own, killed when the object goes.
struct Child {
    pid_t pid = -1;

    Child() = default;
    Child(Child&& other) noexcept;
    Child& operator=(Child&& other) noexcept;
    ~Child() { kill(); }

    // Starts `argv` with exactly `env`; every descriptor but `keepOpen` is closed in the child.
    static Child start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                       int keepOpen = -1);
    // Its exit status, or none when it is still running after `limit`.
    std::optional<int> wait(std::chrono::milliseconds limit);
    // Asked to end first, so that a server takes its socket and lock file away with it.
    void kill();
};

// A private X server (Xvfb) on a free display, 1280 by 800 at depth 24, that never resets.
struct PrivateDisplay {
    static constexpr const char* server = "/usr/bin/Xvfb";
    PrivateDisplay();
    bool running() const { return !display.empty(); }

    std::string display; // ":N"; empty when the server did not start
    Child child;
};

} // namespace bramwick::test
