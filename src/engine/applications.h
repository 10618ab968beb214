// Installed applications: the ".app" bundles directly inside /Applications and ~/Applications,
// and the Flatpak applications and AppImage files of a Linux desktop, each with its size, whether
// it runs now, and the latest moment anything says it was used; and which of them count as unused
// for a number of days.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/linux_applications.h"
#include "engine/models.h"

namespace bramwick {
class RunningApplications;
}

namespace bramwick::Scanner {

// Where the applications scan looks; tests point it at fixtures.
struct ApplicationSources {
    std::vector<std::string> roots{"/Applications", "~/Applications"};
    // The app-usage database ("~" allowed).
    std::string usageDatabase = "~/Library/Application Support/Knowledge/knowledgeC.db";
    const RunningApplications* running = nullptr; // null: RunningApplications::system()
    std::string ownBundle;                        // empty: the running program's own
    // Flatpak installations and AppImage folders; none: LinuxApplications::defaultPlaces().
    std::optional<LinuxApplications::Places> linuxPlaces;
};

// Every installed application, in root order and then name order: one item each, noted with
// whether it runs and when it was last opened, `lastUsed` set when anything says so. The
// bundles come first, then the Flatpak applications (each carrying the flatpak command that
// uninstalls it, so its files are never removed by hand) and the AppImages. The program's own
// bundle is left out. What cannot be read is left out or left empty.
std::vector<ScanItem> applications(const ApplicationSources& sources = {});

// The items not used within `days` days (last used strictly before now − days), in their
// order; an item with no last-used date always counts as unused.
std::vector<ScanItem> unusedApplications(const std::vector<ScanItem>& apps, std::int64_t days);

// Bundle identifier → the latest date the app-usage database records it in use or in focus.
// Empty when the database is missing, unreadable or of another layout.
std::map<std::string, Date> appUsageHistory(const std::string& databasePath);

} // namespace bramwick::Scanner
