// The uninstaller's judgements: which names are too widely shared to find an application's
// places by, whether an application is running now or belongs to the system, and why a place the
// cleaner refuses is kept. The uninstaller's own: callers use finders/uninstaller.h.
#pragma once

#include <optional>
#include <string>

#include "finders/uninstaller_places.h"

namespace bramwick::Uninstaller {

// Whether the name, as written, is one of the vendor names too generic to stand for one
// application ("Google", "Steam"…).
bool isVendorName(const std::string& name);

// Whether the name, in any letter case, is a vendor name ("steam" is as much Steam's as "Steam")
// or a folder or file that many programs share in the XDG base folders.
bool isSharedName(const std::string& name);

// Whether the application is running now: a bundle by its path, a Flatpak application by its id,
// an AppImage by its file, each path compared as written and with its links resolved.
bool isRunning(const std::string& appPath, const Environment& environment);
bool isRunning(const LinuxApplications::Application& application, const Environment& environment);

// Whether the application belongs to the system: it lies in /System, or its bundle identifier is
// the system vendor's (but for the developer tools, which the user installs).
bool isSystemApplication(const std::string& appPath, const std::optional<std::string>& bundleID,
                         const Roots& roots);

// Why a place the cleaner refuses is kept.
std::string keptReason(const std::string& path, const Roots& roots);

} // namespace bramwick::Uninstaller
