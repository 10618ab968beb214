// The top-level windows of a process on the X11 display, asked to close or brought forward the
// way a window manager's own pager does it. Works for X11 sessions and for X11 clients under
// Wayland; talks to $DISPLAY with a connection of its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

struct xcb_connection_t;

namespace bramwick::X11Windows {

// What a top-level window says about itself.
struct TopLevel {
    std::uint32_t window = 0;
    std::optional<std::uint32_t> pid; // _NET_WM_PID
    std::string machine;              // WM_CLIENT_MACHINE
    bool acceptsClose = false;        // WM_DELETE_WINDOW among its WM_PROTOCOLS

    bool operator==(const TopLevel&) const = default;
};

// The windows of `pid` among `windows`, in their order: a pid counts only for windows of this
// machine (`hostname`), since clients of other machines have pids of their own.
std::vector<TopLevel> ofProcess(const std::vector<TopLevel>& windows, pid_t pid,
                                const std::string& hostname);

enum class Outcome {
    done,        // the request went to every window it applies to
    noDisplay,   // no X11 display to talk to
    noWindows,   // the process has no top-level window
    notAccepted, // its windows do not take that request (no WM_DELETE_WINDOW, or no window
                 // manager that activates windows)
};

// Sends WM_DELETE_WINDOW to each of the process's windows that accepts it: the same request as
// the window's close button, so the application may ask about unsaved work.
Outcome requestClose(pid_t pid);

// Asks the window manager (_NET_ACTIVE_WINDOW) to activate each of the process's windows,
// lowest first, so that all come forward and the top one gets the focus.
Outcome activate(pid_t pid);

// Whether the X11 display $DISPLAY names accepts a connection now.
bool displayAnswers();

// A connection of its own to the display $DISPLAY names, with its screen's number and root
// window; `connection` is null when there is no such display or it refuses. The caller
// disconnects it (xcb_disconnect).
struct ScreenConnection {
    xcb_connection_t* connection = nullptr;
    int screen = 0;
    std::uint32_t root = 0;
};
ScreenConnection connectToScreen();

} // namespace bramwick::X11Windows
