// The uninstaller: what an application left outside its bundle (in the user's Library and in the
// system's /Library), which of those places may go and which are kept with a reason, and the
// removal of the application with the leftovers the user chose, all through the cleaner.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/cleaner.h"
#include "engine/linux_applications.h"
#include "engine/models.h"

namespace bramwick {

class RunningApplications;

// One place an application left behind, found on disk when its plan was made.
struct AppLeftover {
    // Where it lies decides how it goes: the user's own Library to the Trash, the system's
    // /Library permanently in one administrator batch.
    enum class Ownership { user, system };

    std::string id;        // the absolute path; unique within a plan
    std::string url;       // the path as the search produced it
    std::string kind;      // "Preferences", "Container", "Privileged helper"…
    std::int64_t size = 0; // allocated bytes of the file or folder tree
    Ownership ownership = Ownership::user;
    std::optional<FoundEntry> found{}; // as the search looked at it, for the removal to check

    bool operator==(const AppLeftover&) const = default;
};

// An application with what it left behind. A system application has no leftovers and no kept
// paths, and is never uninstalled.
struct UninstallPlan {
    // A place that was found but is never removed, with the reason shown to the user.
    struct Kept {
        std::string path; // "~" for the home folder
        std::string reason;

        bool operator==(const Kept&) const = default;
    };

    std::string id; // a fresh UUID for every plan
    ScanItem app;
    std::optional<std::string> bundleID;
    // The bundle identifier, then those of the helper bundles inside it, each once.
    std::vector<std::string> identifiers;
    std::vector<AppLeftover> leftovers; // largest first
    std::vector<Kept> kept;             // in the order found
    bool isRunning = false;
    bool isSystemApp = false;

    // The sum of the leftovers' sizes; 0 without any.
    std::int64_t leftoverBytes() const;

    bool operator==(const UninstallPlan&) const = default;
};

namespace Uninstaller {

// What the uninstaller looks at and acts through. The defaults are the real ones; tests point
// them at fixtures and fakes.
struct Environment {
    // Stands for "~" in the user's Library locations; empty: Edition::home().
    std::string home;
    // Stands for "/" in the system's /Library locations and in "/System/".
    std::string systemRoot = "/";
    // Null: RunningApplications::system().
    const RunningApplications* running = nullptr;
    // How the removal moves to the Trash, deletes and runs the administrator batch.
    Cleaner::Services cleaner;
    // The Flatpak installations and AppImage folders; none: LinuxApplications::defaultPlaces().
    std::optional<LinuxApplications::Places> linuxPlaces;
};

// Works out what belongs to the application (an item of the applications category whose `url`
// is the bundle, the Flatpak application folder or the AppImage file) outside it. A Flatpak or
// an AppImage leaves its data in the Linux places only, all of them the user's own: its data
// folder under ~/.var/app, the XDG configuration, data, cache and state folders, and the user's
// desktop and autostart entries that name it. Never fails: a bundle or folder that cannot be read
// adds nothing. Blocks while it lists folders and measures; safe from any thread.
UninstallPlan plan(const ScanItem& app, const Environment& environment = {});

// Moves the application to the Trash (a Flatpak application is uninstalled by flatpak instead,
// through the command runner, with administrator rights for the system's installation); once it
// is gone, moves its user-owned leftovers to the Trash and removes the system-owned ones in one
// administrator batch (one password prompt, only when there are any). Nothing is removed of an
// application that is running now or belongs to the system: every item then fails with the
// reason. When the application itself could not be removed, its leftovers stay and are in
// neither list of the outcome. Never throws.
Cleaner::Outcome uninstall(const ScanItem& app, const std::vector<AppLeftover>& leftovers,
                           const Environment& environment = {});

// The system's folders the search looks in for leftovers removed with administrator rights
// (/Library/Caches…), as absolute paths: the only places such a removal may reach.
std::vector<std::string> systemPlaces();

} // namespace Uninstaller

} // namespace bramwick

template <> struct std::hash<bramwick::AppLeftover> {
    std::size_t operator()(const bramwick::AppLeftover& leftover) const noexcept;
};
