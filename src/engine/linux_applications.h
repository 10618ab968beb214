// The applications a Linux user installs outside the distribution's package manager: Flatpak
// applications of the user's and of the system's installation, and AppImage files. What the
// distribution's packages install belongs to its package manager and is never listed here.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/models.h"

namespace bramwick::LinuxApplications {

struct Installation {
    std::string path; // the installation folder, holding app/ and exports/
    bool system = false;
};

// Where to look. Tests point these at fixtures.
struct Places {
    // The user's ($XDG_DATA_HOME/flatpak) and the system's (/var/lib/flatpak) installation.
    std::vector<Installation> flatpak;
    // Folders whose *.AppImage files ("~" allowed) are applications.
    std::vector<std::string> appImageFolders;
    // The per-application data folders of Flatpak ("~/.var/app").
    std::string flatpakData;
    // The desktop's record of when each application was last seen in use (GNOME Shell's
    // application_state); missing on other desktops.
    std::string usageRecord;
};
Places defaultPlaces();

enum class Kind { flatpak, appImage };

struct Application {
    Kind kind = Kind::flatpak;
    std::string path; // <installation>/app/<id>, or the AppImage file
    // The Flatpak application id; for an AppImage the name of the desktop entry inside its image
    // ("org.kde.krita"), when that is an id of this form; none otherwise.
    std::optional<std::string> id;
    // From the exported desktop entry, else the id; an AppImage's from the entry inside its
    // image, else its file name.
    std::string name;
    std::optional<std::string> icon; // the Icon of that desktop entry
    bool system = false;             // from the system's installation
    std::string installation;        // the Flatpak installation folder
};

// Whether a text is a Flatpak application id: three or more dot-separated elements of ASCII
// letters, digits, "_" and (in the last one only) "-", none empty or starting with a digit, at
// most 255 characters. Nothing else may name a folder or reach the flatpak command.
bool isFlatpakId(std::string_view text);

// The name an AppImage file stands for: the file name without ".AppImage" (any case) and without
// the version and architecture that usually follow ("Krita-5.2.2-x86_64.AppImage" → "Krita").
std::string appImageName(std::string_view fileName);

// Every deployed Flatpak application (the user's installation first) and every AppImage file
// (not a link), in folder order and then name order. What cannot be read is left out.
std::vector<Application> list(const Places& places);

// The application an item's path stands for: a Flatpak application folder of one of the
// installations, or an AppImage file in one of the folders. None for anything else.
std::optional<Application> identify(const std::string& path, const Places& places);

// The argument vector that uninstalls a Flatpak application: "flatpak uninstall
// --noninteractive --user|--system <id>", the system one wrapped for administrator rights. A
// user installation that is not where flatpak looks by itself (BRAMWICK_HOME, tests) is named
// to it through FLATPAK_USER_DIR. None for an AppImage, which is moved to the Trash.
std::optional<std::vector<std::string>> uninstallCommand(const Application& application);

// Desktop-file id ("org.gnome.Maps.desktop") → when the desktop last saw it in use. Empty when
// the record is missing or unreadable.
std::map<std::string, Date> usageHistory(const std::string& recordPath);

// The latest moment anything says the application was used: the desktop's usage record, the
// Flatpak data folder and its direct subfolders (changed as the application runs), or the
// AppImage file's last read. None when nothing says.
std::optional<Date> lastUsed(const Application& application, const Places& places,
                             const std::map<std::string, Date>& usage);

} // namespace bramwick::LinuxApplications
