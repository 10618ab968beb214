#include "finders/uninstaller.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <sys/stat.h>
#include <unordered_set>

#include "base/edition.h"
#include "base/paths.h"
#include "base/text.h"
#include "engine/linux_locations.h"
#include "engine/scanner.h"
#include "platform/bundle.h"
#include "platform/desktop_entry.h"
#include "platform/files.h"
#include "platform/running_apps.h"

namespace bramwick {

std::int64_t UninstallPlan::leftoverBytes() const {
    std::int64_t total = 0;
    for (const auto& leftover : leftovers)
        total += leftover.size;
    return total;
}

namespace Uninstaller {

namespace {

using Ownership = AppLeftover::Ownership;

constexpr const char* runningReason = "Running — quit it first";
constexpr const char* systemReason = "Part of the system — Bramwick won't uninstall it";

// A place where the application may have left something.
struct Candidate {
    std::string path;
    std::string kind;
    Ownership ownership;
};

// A location of the tables below: a folder ("~/" for the user's home, "/" for the system's
// root) and, for the per-identifier paths, the text that follows the identifier.
struct Location {
    const char* folder;
    const char* suffix;
    const char* kind;
    Ownership ownership;
};

constexpr Location perIdentifier[] = {
    {"~/Library/Preferences/", ".plist", "Preferences", Ownership::user},
    {"~/Library/Preferences/", ".plist.lockfile", "Preferences", Ownership::user},
    {"~/Library/Application Support/", "", "Application support", Ownership::user},
    {"~/Library/Caches/", "", "Cache", Ownership::user},
    {"~/Library/HTTPStorages/", "", "Web storage", Ownership::user},
    {"~/Library/HTTPStorages/", ".binarycookies", "Cookies", Ownership::user},
    {"~/Library/Cookies/", ".binarycookies", "Cookies", Ownership::user},
    {"~/Library/WebKit/", "", "Web storage", Ownership::user},
    {"~/Library/Saved Application State/", ".savedState", "Saved window state", Ownership::user},
    {"~/Library/Logs/", "", "Logs", Ownership::user},
    {"~/Library/Application Scripts/", "", "App scripts", Ownership::user},
    {"/Library/Application Support/", "", "Application support (system)", Ownership::system},
    {"/Library/Caches/", "", "Cache (system)", Ownership::system},
    {"/Library/Preferences/", ".plist", "Preferences (system)", Ownership::system},
    {"/Library/PrivilegedHelperTools/", "", "Privileged helper", Ownership::system},
};

// Shared folders whose entries are named after the identifiers of the applications they serve.
constexpr Location scanned[] = {
    {"~/Library/Containers", "", "Container", Ownership::user},
    {"~/Library/Group Containers", "", "Shared container", Ownership::user},
    {"~/Library/Application Scripts", "", "App scripts", Ownership::user},
    {"~/Library/Preferences/ByHost", "", "Preferences", Ownership::user},
    {"~/Library/LaunchAgents", "", "Login item", Ownership::user},
    {"/Library/LaunchAgents", "", "Login item", Ownership::system},
    {"/Library/LaunchDaemons", "", "Background service", Ownership::system},
};

constexpr Location byName[] = {
    {"~/Library/Application Support/", "", "Application support", Ownership::user},
    {"~/Library/Caches/", "", "Cache", Ownership::user},
    {"~/Library/Logs/", "", "Logs", Ownership::user},
    {"/Library/Application Support/", "", "Application support (system)", Ownership::system},
};

constexpr Location byVendor[] = {
    {"~/Library/Application Support/", "", "Application support", Ownership::user},
    {"~/Library/Caches/", "", "Cache", Ownership::user},
};

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

// Folders inside a bundle that hold helper bundles with identifiers of their own.
constexpr const char* helperFolders[] = {"Contents/Library/LoginItems",
                                         "Contents/Library/LaunchServices",
                                         "Contents/XPCServices",
                                         "Contents/PlugIns",
                                         "Contents/Helpers",
                                         "Contents/Frameworks",
                                         "Contents/Resources"};

// Vendor names too generic to stand for one application: a whole name among them finds
// nothing by name, a first word among them finds the vendor's folder for the product.
const std::unordered_set<std::string>& sharedNames() {
    static const std::unordered_set<std::string> names{"Google",   "Microsoft", "Adobe",
                                                       "Apple",    "Mozilla",   "Dropbox",
                                                       "Logitech", "Steam",     "Epic Games"};
    return names;
}

// "~" and "/" of the locations, as this environment places them.
class Roots {
  public:
    explicit Roots(const Environment& environment)
        : home_(prefix(environment.home.empty() ? Edition::home() : environment.home)),
          system_(prefix(environment.systemRoot)) {
        // The XDG base folders: the user's own, unless the environment names another home.
        bool own = environment.home.empty();
        bases_ = {{"$CONFIG", own ? Edition::configHome() : home_ + "/.config"},
                  {"$DATA", own ? Edition::dataHome() : home_ + "/.local/share"},
                  {"$CACHE", own ? Edition::cacheHome() : home_ + "/.cache"},
                  {"$STATE", own ? Edition::stateHome() : home_ + "/.local/state"}};
    }

    std::string expand(std::string_view location) const {
        if (location.starts_with("~/")) return home_ + std::string(location.substr(1));
        for (const auto& [token, folder] : bases_)
            if (location.starts_with(token) && location.size() > token.size() &&
                location[token.size()] == '/')
                return folder + std::string(location.substr(token.size()));
        return system_ + std::string(location);
    }
    const std::string& home() const { return home_; }
    // The root as a prefix of absolute paths: empty for "/".
    const std::string& system() const { return system_; }

  private:
    // A folder as the start of the paths below it: "/" becomes empty.
    static std::string prefix(std::string folder) {
        folder = Paths::withoutTrailingSlash(std::move(folder));
        return folder == "/" ? std::string() : folder;
    }
    std::string home_;
    std::string system_;
    std::vector<std::pair<std::string, std::string>> bases_;
};

// The name without its last extension; a name that only starts with a dot has none.
std::string_view stem(std::string_view name) {
    auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size()) return name;
    return name.substr(0, dot);
}

// An entry named after the identifier itself, the identifier with more after a dot
// ("com.example.app.agent"), or something and a dot before it ("TEAM.com.example.app"). The
// last two need a dotted identifier: a bare word such as "com" or "plist" would otherwise claim
// every other application's entries.
bool namedAfter(std::string_view name, const std::string& identifier) {
    if (name == identifier) return true;
    if (identifier.find('.') == std::string::npos) return false;
    return (name.starts_with(identifier) && name.size() > identifier.size() &&
            name[identifier.size()] == '.') ||
           (name.ends_with(identifier) && name.size() > identifier.size() &&
            name[name.size() - identifier.size() - 1] == '.');
}

// "Vendor/Product" for a name whose first word (leading spaces skipped) is a shared vendor name
// and whose product is all after that word's space; none otherwise.
std::optional<std::string> vendorFolder(const std::string& appName) {
    auto first = appName.find_first_not_of(' ');
    if (first == std::string::npos) return std::nullopt;
    auto space = appName.find(' ', first);
    if (space == std::string::npos || space + 1 >= appName.size()) return std::nullopt;
    std::string vendor = appName.substr(first, space - first);
    std::string product = appName.substr(space + 1);
    if (!sharedNames().contains(vendor) || !Paths::isPlainName(product)) return std::nullopt;
    return vendor + "/" + product;
}

void appendMatches(std::vector<Candidate>& out, const Location& location,
                   const std::vector<std::string>& identifiers, const Roots& roots) {
    if (identifiers.empty()) return;
    std::string folder = roots.expand(location.folder);
    for (const auto& name : Files::names(folder)) {
        bool matches = std::any_of(identifiers.begin(), identifiers.end(), [&](const auto& id) {
            return namedAfter(name, id) || namedAfter(stem(name), id);
        });
        if (matches) out.push_back({folder + "/" + name, location.kind, location.ownership});
    }
}

// Every place the application may have left something, in a fixed order; the first finding of
// a place gives its kind. Nothing here looks at whether the places exist.
std::vector<Candidate> candidates(const std::vector<std::string>& allIdentifiers,
                                  const std::string& appName, const Roots& roots) {
    // Identifiers and names come from bundles and stand as path components only as plain names:
    // an empty, "." or ".." identifier would turn "/Library/Application Support/" itself into a
    // leftover.
    std::vector<std::string> identifiers;
    for (const auto& identifier : allIdentifiers)
        if (Paths::isPlainName(identifier)) identifiers.push_back(identifier);

    std::vector<Candidate> out;
    auto add = [&](const Location& location, const std::string& name) {
        out.push_back({roots.expand(std::string(location.folder) + name + location.suffix),
                       location.kind, location.ownership});
    };
    for (const auto& identifier : identifiers)
        for (const auto& location : perIdentifier)
            add(location, identifier);
    for (const auto& location : scanned)
        appendMatches(out, location, identifiers, roots);

    if (Paths::isPlainName(appName) && Text::characterCount(appName) >= 3 &&
        !sharedNames().contains(appName))
        for (const auto& location : byName)
            add(location, appName);

    if (auto folder = vendorFolder(appName))
        for (const auto& location : byVendor)
            add(location, *folder);
    return out;
}

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

// Every place a Flatpak application or an AppImage may have left something, in a fixed order:
// by identifier, then the desktop and autostart entries, then by name and by vendor and product.
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

    // A vendor's name finds nothing in any letter case: "steam" is as much Steam's as "Steam".
    auto shared = [](const std::string& name) {
        std::string lower = Text::lowercased(name);
        return std::any_of(
                   sharedNames().begin(), sharedNames().end(),
                   [&](const std::string& vendor) { return Text::lowercased(vendor) == lower; }) ||
               sharedFolderNames().contains(lower);
    };
    auto usable = [&](const std::string& name) {
        return Paths::isPlainName(name) && Text::characterCount(name) >= 3 && !shared(name);
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

// The identifiers of the helper bundles (login items, services, extensions, frameworks…)
// directly inside the application's helper folders.
std::vector<std::string> helperIdentifiers(const std::string& appPath) {
    std::vector<std::string> out;
    for (const char* folder : helperFolders) {
        std::string path = appPath + "/" + folder;
        for (const auto& name : Files::names(path)) {
            std::string_view extension = name;
            auto dot = name.rfind('.');
            if (dot == std::string::npos) continue;
            extension = extension.substr(dot + 1);
            if (extension != "app" && extension != "xpc" && extension != "appex" &&
                extension != "bundle")
                continue;
            if (auto bundle = Bundles::open(path + "/" + name); bundle && bundle->identifier)
                out.push_back(*bundle->identifier);
        }
    }
    return out;
}

std::vector<std::string> uniqued(const std::vector<std::string>& texts) {
    std::vector<std::string> out;
    std::unordered_set<std::string> seen;
    for (const auto& text : texts)
        if (seen.insert(text).second) out.push_back(text);
    return out;
}

// The path as written and with its links resolved, so a linked folder on the way changes
// nothing.
std::vector<std::string> forms(const std::string& path) {
    std::vector<std::string> out{Paths::standardised(path)};
    if (auto real = Paths::resolved(path); real && *real != out.front()) out.push_back(*real);
    return out;
}

// The identifier of the bundle that describes the application, looking through wrappers.
std::optional<std::string> bundleIdentifier(const std::string& appPath) {
    if (!appPath.starts_with('/')) return std::nullopt;
    auto describing = Bundles::describing(appPath);
    return describing ? describing->identifier : std::nullopt;
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

LinuxApplications::Places placesOf(const Environment& environment) {
    return environment.linuxPlaces ? *environment.linuxPlaces : LinuxApplications::defaultPlaces();
}

bool isSystemApplication(const std::string& appPath, const std::optional<std::string>& bundleID,
                         const Roots& roots) {
    std::string path = Paths::standardised(appPath);
    if (path.starts_with("/System/") ||
        (!roots.system().empty() && path.starts_with(roots.system() + "/System/")))
        return true;
    return bundleID && bundleID->starts_with("com.apple.") && *bundleID != "com.apple.dt.Xcode";
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

// Why a place the cleaner refuses is kept.
std::string keptReason(const std::string& path, const Roots& roots) {
    if (insidePhotoLibrary(path)) return "Photos library — Bramwick never touches one";
    if (path.starts_with(roots.expand("~/Library/Application Support/Google")))
        return "Holds Chrome's saved passwords and sign-ins";
    for (const auto& profile : LinuxLocations::browserProfiles())
        if (path == profile || path.starts_with(profile + "/") || profile.starts_with(path + "/"))
            return "Holds Chrome's saved passwords and sign-ins";
    return "Protected folder";
}

CleanupCategory removalCategory(CleanAction::Kind action) {
    CleanupCategory category;
    category.id = "uninstall";
    category.name = "Uninstall";
    category.symbol = "trash";
    category.group = CategoryGroup::apps;
    category.risk = Risk::danger;
    category.source.kind = Source::Kind::paths;
    category.action.kind = action;
    return category;
}

ScanItem leftoverItem(const AppLeftover& leftover, const Roots& roots) {
    ScanItem item;
    item.id = leftover.url;
    item.url = leftover.url;
    item.found = leftover.found;
    item.name = leftover.kind + " — " + Text::homeShortened(leftover.url, roots.home());
    item.size = leftover.size;
    return item;
}

// The candidates that exist, each place once (as its first finding says, a kept place too):
// removable ones as leftovers, largest first, the others kept with the reason.
void addLeftovers(UninstallPlan& plan, std::vector<Candidate> found, const Roots& roots,
                  const Environment& environment) {
    std::unordered_set<std::string> seen;
    for (auto& candidate : found) {
        struct stat st {};
        if (::stat(candidate.path.c_str(), &st) != 0) continue;
        auto found = Scanner::foundAt(candidate.path);
        if (!seen.insert(Paths::standardised(candidate.path)).second) continue;
        if (Cleaner::isRemovable(candidate.path, environment.cleaner.ownBundle)) {
            std::int64_t size = Scanner::allocatedSize(candidate.path);
            plan.leftovers.push_back({candidate.path, candidate.path, std::move(candidate.kind),
                                      size, candidate.ownership, found});
        } else {
            plan.kept.push_back({Text::homeShortened(candidate.path, roots.home()),
                                 keptReason(candidate.path, roots)});
        }
    }
    std::stable_sort(plan.leftovers.begin(), plan.leftovers.end(),
                     [](const AppLeftover& a, const AppLeftover& b) { return a.size > b.size; });
}

} // namespace

std::vector<std::string> systemPlaces() {
    std::vector<std::string> places;
    auto add = [&](const auto& table) {
        for (const Location& location : table) {
            std::string folder = Paths::withoutTrailingSlash(location.folder);
            if (location.ownership == Ownership::system &&
                std::find(places.begin(), places.end(), folder) == places.end())
                places.push_back(std::move(folder));
        }
    };
    add(perIdentifier);
    add(scanned);
    add(byName);
    return places;
}

UninstallPlan plan(const ScanItem& app, const Environment& environment) {
    Roots roots(environment);
    UninstallPlan plan;
    plan.id = Text::newUuid();
    plan.app = app;
    auto linuxApp = LinuxApplications::identify(app.url, placesOf(environment));
    plan.bundleID = linuxApp ? linuxApp->id : bundleIdentifier(app.url);
    if (linuxApp) {
        if (plan.bundleID) plan.identifiers = {*plan.bundleID};
        plan.isRunning = isRunning(*linuxApp, environment);
        addLeftovers(plan, linuxCandidates(*linuxApp, app.name, roots), roots, environment);
        return plan;
    }

    std::vector<std::string> identifiers;
    if (plan.bundleID) identifiers.push_back(*plan.bundleID);
    if (app.url.starts_with('/'))
        for (auto& helper : helperIdentifiers(app.url))
            identifiers.push_back(std::move(helper));
    plan.identifiers = uniqued(identifiers);
    plan.isRunning = isRunning(app.url, environment);
    plan.isSystemApp = isSystemApplication(app.url, plan.bundleID, roots);
    if (plan.isSystemApp) return plan;

    addLeftovers(plan, candidates(plan.identifiers, app.name, roots), roots, environment);
    return plan;
}

Cleaner::Outcome uninstall(const ScanItem& app, const std::vector<AppLeftover>& leftovers,
                           const Environment& environment) {
    Roots roots(environment);
    auto linuxApp = LinuxApplications::identify(app.url, placesOf(environment));
    std::vector<ScanItem> userItems{app};
    // A Flatpak application goes through flatpak, whatever command the item came with; an
    // AppImage, like a bundle, to the Trash.
    userItems.front().command =
        linuxApp ? LinuxApplications::uninstallCommand(*linuxApp) : std::nullopt;
    std::vector<ScanItem> systemItems;
    for (const auto& leftover : leftovers)
        (leftover.ownership == Ownership::user ? userItems : systemItems)
            .push_back(leftoverItem(leftover, roots));

    // Asked again now: the plan may be old, and a caller may never have looked.
    std::optional<std::string> refusal;
    if (linuxApp ? isRunning(*linuxApp, environment) : false)
        refusal = runningReason;
    else if (!linuxApp && isSystemApplication(app.url, bundleIdentifier(app.url), roots))
        refusal = systemReason;
    else if (!linuxApp && isRunning(app.url, environment))
        refusal = runningReason;
    if (refusal) {
        Cleaner::Outcome outcome;
        for (const auto* items : {&userItems, &systemItems})
            for (const auto& item : *items)
                outcome.failures.push_back({item, *refusal});
        return outcome;
    }

    // The application first, alone: what it left goes only once it is gone. The data of an
    // application still installed (a failed flatpak uninstall, a bundle that could not be
    // trashed) would leave it reset, its settings and sign-ins lost.
    auto outcome = Cleaner::clean({userItems.front()}, removalCategory(CleanAction::Kind::trash),
                                  environment.cleaner);
    if (outcome.cleaned.empty()) return outcome;
    userItems.erase(userItems.begin());
    if (!userItems.empty()) {
        auto leftoversOut = Cleaner::clean(userItems, removalCategory(CleanAction::Kind::trash),
                                           environment.cleaner);
        outcome.cleaned.insert(outcome.cleaned.end(), leftoversOut.cleaned.begin(),
                               leftoversOut.cleaned.end());
        outcome.failures.insert(outcome.failures.end(), leftoversOut.failures.begin(),
                                leftoversOut.failures.end());
    }
    if (!systemItems.empty()) {
        auto second = Cleaner::clean(systemItems, removalCategory(CleanAction::Kind::admin),
                                     environment.cleaner);
        outcome.cleaned.insert(outcome.cleaned.end(), second.cleaned.begin(), second.cleaned.end());
        outcome.failures.insert(outcome.failures.end(), second.failures.begin(),
                                second.failures.end());
    }
    return outcome;
}

} // namespace Uninstaller

} // namespace bramwick

std::size_t
std::hash<bramwick::AppLeftover>::operator()(const bramwick::AppLeftover& leftover) const noexcept {
    std::size_t seed = 0;
    auto mix = [&seed](std::size_t value) {
        seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    };
    std::hash<std::string> text;
    mix(text(leftover.id));
    mix(text(leftover.url));
    mix(text(leftover.kind));
    mix(std::hash<std::int64_t>{}(leftover.size));
    mix(static_cast<std::size_t>(leftover.ownership));
    return seed;
}
