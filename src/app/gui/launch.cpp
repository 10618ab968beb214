#include "app/gui/launch.h"

#include <algorithm>
#include <cstdlib>

namespace bramwick::Launch {

namespace {

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

bool wantsWindow(const std::vector<std::string>& arguments) {
    return std::find(arguments.begin(), arguments.end(), "--window") != arguments.end();
}

bool openWindowAtLaunch(const std::vector<std::string>& arguments,
                        const std::function<bool()>& fullDiskAccessGranted,
                        bool skippedFullDiskAccess) {
    if (wantsWindow(arguments)) return true;
    if (fullDiskAccessGranted()) return false;
    return !skippedFullDiskAccess;
}

DisplayEnvironment displayEnvironment() {
    return {variable("DISPLAY"), variable("WAYLAND_DISPLAY"), variable("QT_QPA_PLATFORM")};
}

bool hasDisplay(const DisplayEnvironment& environment) {
    if (!environment.display.empty() || !environment.waylandDisplay.empty()) return true;
    // A plugin list such as "wayland;xcb" still needs one of the two displays.
    const std::string& platform = environment.platform;
    return !platform.empty() && !startsWith(platform, "xcb") && !startsWith(platform, "wayland");
}

bool onlyX11(const DisplayEnvironment& environment) {
    if (environment.display.empty()) return false;
    if (!environment.platform.empty()) return startsWith(environment.platform, "xcb");
    return environment.waylandDisplay.empty();
}

std::string noDisplayMessage(const std::string& unanswered) {
    std::string why = unanswered.empty()
                          ? "neither DISPLAY nor WAYLAND_DISPLAY is set"
                          : "the display DISPLAY names, " + unanswered + ", does not answer";
    return "bramwick: no display to open a window on (" + why +
           "); without one use a command-line mode: --memory, --running, --report, "
           "--auto-clean, --maintenance, --duplicates, --scan TERM, --picture-pair A B, "
           "--pictures, --leftovers [TERM], --open-at-login [on|off|status] (bramwick --help "
           "says what each prints)\n";
}

} // namespace bramwick::Launch
