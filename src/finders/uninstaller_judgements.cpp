#include "finders/uninstaller_judgements.h"

#include <algorithm>
#include <unordered_set>

#include "base/paths.h"
#include "base/text.h"
#include "engine/linux_locations.h"
#include "platform/running_apps.h"

namespace bramwick::Uninstaller {

namespace {

// Vendor names too generic to stand for one application: a whole name among them finds
// nothing by name, a first word among them finds the vendor's folder for the product.
const std::unordered_set<std::string>& sharedNames() {
    static const std::unordered_set<std::string> names{"Google",   "Microsoft", "Adobe",
                                                       "Apple",    "Mozilla",   "Dropbox",
                                                       "Logitech", "Steam",     "Epic Games"};
    return names;
}

// Folders and files of the XDG base folders that many programs share or the desktop itself
// owns: an application named like one of them ("dconf", "systemd", "applications") finds
// nothing there by name. Compared without letter case.
const std::unordered_set<std::string>& sharedFolderNames() {
    static const std::unordered_set<std::string> names{"applications",
                                                       "autostart",
                                                       "flatpak",
                                                       "trash",
                                                       "icons",
                                                       "fonts",
                                                       "mime",
                                                       "systemd",
                                                       "dconf",
                                                       "pulse",
                                                       "keyrings",
                                                       "gnome-shell",
                                                       "menus",
                                                       "environment.d",
                                                       "gtk-2.0",
                                                       "gtk-3.0",
                                                       "gtk-4.0",
                                                       "fontconfig",
                                                       "thumbnails",
                                                       "bramwick",
                                                       "user-dirs.dirs",
                                                       "mimeapps.list",
                                                       "recently-used.xbel",
                                                       "desktop-directories",
                                                       "sounds",
                                                       "themes",
                                                       "nautilus",
                                                       "evolution",
                                                       "tracker3",
                                                       "xorg",
                                                       "pipewire",
                                                       "wireplumber",
                                                       "kdeglobals",
                                                       "plasma-workspace"};
    return names;
}

// The path as written and with its links resolved, so a linked folder on the way changes
// nothing.
std::vector<std::string> forms(const std::string& path) {
    std::vector<std::string> out{Paths::standardised(path)};
    if (auto real = Paths::resolved(path); real && *real != out.front()) out.push_back(*real);
    return out;
}

bool insidePhotoLibrary(const std::string& path) {
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (Text::asciiLowercased(path.substr(start, end - start)).ends_with(".photoslibrary"))
            return true;
        start = end + 1;
    }
    return false;
}

} // namespace

bool isVendorName(const std::string& name) {
    return sharedNames().contains(name);
}

bool isSharedName(const std::string& name) {
    std::string lower = Text::lowercased(name);
    return std::any_of(
               sharedNames().begin(), sharedNames().end(),
               [&](const std::string& vendor) { return Text::lowercased(vendor) == lower; }) ||
           sharedFolderNames().contains(lower);
}

bool isRunning(const std::string& appPath, const Environment& environment) {
    if (appPath.empty()) return false;
    const RunningApplications& provider =
        environment.running ? *environment.running : RunningApplications::system();
    auto mine = forms(appPath);
    for (const auto& application : provider.list()) {
        if (application.bundlePath.empty()) continue;
        for (const auto& form : forms(application.bundlePath))
            if (std::find(mine.begin(), mine.end(), form) != mine.end()) return true;
    }
    return false;
}

bool isRunning(const LinuxApplications::Application& application, const Environment& environment) {
    const RunningApplications& provider =
        environment.running ? *environment.running : RunningApplications::system();
    auto mine = forms(application.path);
    for (const auto& running : provider.list()) {
        if (application.id && running.bundleIdentifier == *application.id) return true;
        // An AppImage runs as its own file, whatever its desktop entry calls it.
        if (application.kind == LinuxApplications::Kind::appImage &&
            !running.executablePath.empty())
            for (const auto& form : forms(running.executablePath))
                if (std::find(mine.begin(), mine.end(), form) != mine.end()) return true;
    }
    return false;
}

bool isSystemApplication(const std::string& appPath, const std::optional<std::string>& bundleID,
                         const Roots& roots) {
    std::string path = Paths::standardised(appPath);
    if (path.starts_with("/System/") ||
        (!roots.system().empty() && path.starts_with(roots.system() + "/System/")))
        return true;
    return bundleID && bundleID->starts_with("com.apple.") && *bundleID != "com.apple.dt.Xcode";
}

std::string keptReason(const std::string& path, const Roots& roots) {
    if (insidePhotoLibrary(path)) return "Photos library — Bramwick never touches one";
    if (path.starts_with(roots.expand("~/Library/Application Support/Google")))
        return "Holds Chrome's saved passwords and sign-ins";
    for (const auto& profile : LinuxLocations::browserProfiles())
        if (path == profile || path.starts_with(profile + "/") || profile.starts_with(path + "/"))
            return "Holds Chrome's saved passwords and sign-ins";
    return "Protected folder";
}

} // namespace bramwick::Uninstaller
