// How a window run begins: whether the main window opens at launch, and whether there is a
// display to open windows on at all. Plain functions, so the launch rule is checked as a table.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace bramwick::Launch {

// Whether "--window" is among the arguments (the program path first, compared exactly).
bool wantsWindow(const std::vector<std::string>& arguments);

// The main window opens at launch with "--window"; else not when the files can be read (the
// program then starts in the tray only); else unless the user skipped the access setup once.
// `fullDiskAccessGranted` is asked only when "--window" is absent.
bool openWindowAtLaunch(const std::vector<std::string>& arguments,
                        const std::function<bool()>& fullDiskAccessGranted,
                        bool skippedFullDiskAccess);

// What the environment says about a display: a Wayland or X11 one, or a window-system plugin
// chosen by name that needs neither (for example the off-screen one of the tests).
struct DisplayEnvironment {
    std::string display;        // $DISPLAY
    std::string waylandDisplay; // $WAYLAND_DISPLAY
    std::string platform;       // $QT_QPA_PLATFORM
};
DisplayEnvironment displayEnvironment();

// True when windows could be opened: a display is named, or a plugin that needs none is chosen.
bool hasDisplay(const DisplayEnvironment& environment);
// True when the only display named is an X11 one (then it is worth checking that it answers).
bool onlyX11(const DisplayEnvironment& environment);

// The one line a window run prints when it has no display, naming the command-line modes: none is
// set, or the X11 display `unanswered` names did not accept a connection.
std::string noDisplayMessage(const std::string& unanswered = {});

} // namespace bramwick::Launch
