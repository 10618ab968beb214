#include "finders/uninstaller_linux.h"

#include <algorithm>
#include <string_view>
#include <sys/stat.h>

#include "base/paths.h"
#include "base/text.h"
#include "finders/uninstaller_judgements.h"
#include "platform/desktop_entry.h"
#include "platform/files.h"

namespace bramwick::Uninstaller {

namespace {

// Where a Flatpak application or an AppImage keeps its data: its Flatpak data folder and the XDG
// base folders, all of them the user's own.
constexpr Location linuxPerIdentifier[] = {
    {"~/.var/app/", "", "Container", Ownership::user},
    {"$CONFIG/", "", "Preferences", Ownership::user},
    {"$DATA/", "", "Application support", Ownership::user},
    {"$CACHE/", "", "Cache", Ownership::user},
    {"$STATE/", "", "App state", Ownership::user},
};

constexpr Location linuxByName[] = {
    {"$CONFIG/", "", "Preferences", Ownership::user},
    {"$DATA/", "", "Application support", Ownership::user},
    {"$CACHE/", "", "Cache", Ownership::user},
    {"$STATE/", "", "App state", Ownership::user},
};

constexpr Location linuxByVendor[] = {
    {"$CONFIG/", "", "Preferences", Ownership::user},
    {"$DATA/", "", "Application support", Ownership::user},
    {"$CACHE/", "", "Cache", Ownership::user},
};

// The user's desktop entries (menus) and autostart entries.
constexpr Location linuxEntries[] = {
    {"$DATA/applications", "", "Desktop entry", Ownership::user},
    {"$CONFIG/autostart", "", "Login item", Ownership::user},
};

// Whether a desktop entry names the application: its Exec (or TryExec) starts the AppImage file,
// or runs the Flatpak application through flatpak.
bool entryNames(const std::string& entryPath, const LinuxApplications::Application& application) {
    struct stat st {};
    if (::lstat(entryPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > (1 << 20))
        return false;
    auto text = Files::read(entryPath);
    if (!text) return false;
    auto group = DesktopEntry::mainGroup(*text);
    std::string image = Paths::standardised(application.path);
    for (const char* key : {"Exec", "TryExec"}) {
        auto value = group.find(key);
        if (value == group.end()) continue;
        auto arguments = DesktopEntry::execArguments(value->second);
        if (application.kind == LinuxApplications::Kind::appImage) {
            for (const auto& argument : arguments)
                if (argument.starts_with('/') && Paths::standardised(argument) == image)
                    return true;
        } else if (application.id && !arguments.empty() &&
                   Paths::parent(arguments.front()) != arguments.front() &&
                   arguments.front().substr(arguments.front().rfind('/') + 1) == "flatpak" &&
                   std::find(arguments.begin(), arguments.end(), *application.id) !=
                       arguments.end()) {
            return true;
        }
    }
    return false;
}

// Whether a Flatpak may write to the home's own configuration, data and cache folders, from the
// file systems its metadata and the installations' overrides let it reach. Without that it keeps
// everything in its ~/.var/app folder, and a folder of its name in the XDG folders belongs to
// another copy of the application (a distribution package, an AppImage). True when the metadata
// cannot be read, so nothing is hidden on a guess.
bool reachesTheHomesFolders(const LinuxApplications::Application& application, const Roots& roots) {
    if (application.kind != LinuxApplications::Kind::flatpak || !application.id) return true;
    auto metadata = Files::read(application.path + "/current/active/metadata");
    if (!metadata) return true;
    std::vector<std::string> lists{DesktopEntry::group(*metadata, "Context")["filesystems"]};
    for (const auto& overrides :
         {application.installation + "/overrides", roots.expand("$DATA/flatpak/overrides")})
        for (const auto& file : {*application.id, std::string("global")})
            if (auto text = Files::read(overrides + "/" + file))
                lists.push_back(DesktopEntry::group(*text, "Context")["filesystems"]);
    // The whole home, or its XDG folders whole or in part.
    auto grants = [](std::string_view entry) {
        if (entry == "host" || entry == "home" || entry == "~") return true;
        for (std::string_view folder : {"xdg-config", "xdg-data", "xdg-cache", "xdg-state",
                                        "~/.config", "~/.local", "~/.cache"})
            if (entry == folder || (entry.starts_with(folder) && entry[folder.size()] == '/'))
                return true;
        return false;
    };
    for (const auto& list : lists) {
        std::string_view rest = list;
        while (!rest.empty()) {
            auto end = rest.find(';');
            std::string_view entry = rest.substr(0, end);
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
            if (grants(Text::trimmed(entry.substr(0, entry.find(':'))))) return true; // ":ro"…
        }
    }
    return false;
}

} // namespace

std::vector<Candidate> linuxCandidates(const LinuxApplications::Application& application,
                                       const std::string& appName, const Roots& roots) {
    std::vector<Candidate> out;
    auto add = [&](const Location& location, const std::string& name) {
        out.push_back({roots.expand(std::string(location.folder) + name + location.suffix),
                       location.kind, location.ownership});
    };
    std::vector<std::string> identifiers;
    if (application.id && LinuxApplications::isFlatpakId(*application.id))
        identifiers.push_back(*application.id);
    // An AppImage runs outside any sandbox and keeps nothing in ~/.var/app: a folder there of
    // its id is the Flatpak of the same application's.
    bool sandboxed = application.kind == LinuxApplications::Kind::flatpak;
    for (const auto& identifier : identifiers)
        for (const auto& location : linuxPerIdentifier)
            if (sandboxed || std::string_view(location.folder) != "~/.var/app/")
                add(location, identifier);
    for (const auto& location : linuxEntries) {
        std::string folder = roots.expand(location.folder);
        for (const auto& name : Files::names(folder)) {
            // A desktop entry is named after its application's id alone: one whose id only
            // begins with ours ("org.gnome.Maps.Devel") launches another application.
            bool byIdentifier =
                std::any_of(identifiers.begin(), identifiers.end(), [&](const auto& id) {
                    return name.ends_with(".desktop")
                               ? stem(name) == id
                               : namedAfter(name, id) || namedAfter(stem(name), id);
                });
            if (byIdentifier ||
                (name.ends_with(".desktop") && entryNames(folder + "/" + name, application)))
                out.push_back({folder + "/" + name, location.kind, location.ownership});
        }
    }

    auto usable = [&](const std::string& name) {
        return Paths::isPlainName(name) && Text::characterCount(name) >= 3 && !isSharedName(name);
    };
    if (!reachesTheHomesFolders(application, roots)) return out;
    std::vector<std::string> names;
    if (usable(appName)) names.push_back(appName);
    // Only A to Z are lowered in a name that folders are looked up by: lowering every letter
    // could turn one application's name into another's ("İnkscape" into "inkscape").
    if (std::string lower = Text::asciiLowercased(appName); lower != appName && usable(lower))
        names.push_back(lower);
    for (const auto& name : names)
        for (const auto& location : linuxByName)
            add(location, name);

    if (auto folder = vendorFolder(appName))
        for (const auto& location : linuxByVendor)
            add(location, *folder);
    return out;
}

LinuxApplications::Places placesOf(const Environment& environment) {
    return environment.linuxPlaces ? *environment.linuxPlaces : LinuxApplications::defaultPlaces();
}

} // namespace bramwick::Uninstaller
