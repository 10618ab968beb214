// What a Flatpak application or an AppImage may have left, all of it the user's own: its data
// folder under ~/.var/app, the XDG configuration, data, cache and state folders, and the user's
// desktop and autostart entries that name it. The uninstaller's own: callers use
// finders/uninstaller.h.
#pragma once

#include <string>
#include <vector>

#include "finders/uninstaller_places.h"

namespace bramwick::Uninstaller {

// Every place a Flatpak application or an AppImage may have left something, in a fixed order:
// by identifier, then the desktop and autostart entries, then by name and by vendor and product.
std::vector<Candidate> linuxCandidates(const LinuxApplications::Application& application,
                                       const std::string& appName, const Roots& roots);

// The Flatpak installations and AppImage folders the environment names, else the default ones.
LinuxApplications::Places placesOf(const Environment& environment);

} // namespace bramwick::Uninstaller
