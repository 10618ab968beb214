#include "engine/linux_locations.h"

#include <algorithm>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "base/edition.h"
#include "base/paths.h"
#include "base/text.h"
#include "engine/catalog.h"
#include "engine/scratchpads.h"
#include "engine/user_folders.h"

namespace bramwick::LinuxLocations {

namespace {

// The user's own folders that stand beside "~/Downloads", "~/Desktop", "~/Documents", "~/Movies",
// "~/Pictures" and "~/Music".
const std::vector<std::string> personalFolders{"DOWNLOAD", "DESKTOP",  "DOCUMENTS",
                                               "VIDEOS",   "PICTURES", "MUSIC"};

// The usual folders of projects beside ~/Projects.
const std::vector<std::string> projectFolders{"~/projects", "~/src",   "~/code",     "~/dev",
                                              "~/git",      "~/repos", "~/workspace"};

// Chrome (stable, beta and the unstable channel) and Chromium as packages, as a Flatpak and as a
// snap: the desktop-file ids they run under.
const std::vector<std::string> browserIds{
    "google-chrome",    "google-chrome-beta",    "google-chrome-unstable", "chromium",
    "chromium-browser", "org.chromium.Chromium", "chromium_chromium"};

} // namespace

const std::map<std::string, Addition>& table() {
    static const std::map<std::string, Addition> rows{
        // Each Flatpak application keeps its caches in its own data folder.
        {"app-caches", {.paths = {"~/.var/app/*/cache"}}},
        {"dot-cache", {.paths = {"$CACHE"}}},
        {"chrome-cache",
         {.paths = {"$CACHE/google-chrome", "$CACHE/google-chrome-beta",
                    "$CACHE/google-chrome-unstable", "$CACHE/chromium",
                    "~/.var/app/com.google.Chrome/cache/google-chrome",
                    "~/.var/app/org.chromium.Chromium/cache/chromium",
                    "~/snap/chromium/common/.cache/chromium"},
          .busyApps = browserIds}},
        // What was moved to the Trash from another drive stays on that drive, in its own trash.
        // What is in the Trash was put there by hand and comes back from nowhere once emptied:
        // the sentence of deleted caches ("They regenerate when needed") would be untrue.
        {Catalog::trashId,
         {.paths = {std::string(driveTrashes)},
          .sentence = "These will be permanently deleted and cannot be put back."}},
        // Left to the system's own clean-up; /tmp is left out, as the coding-assistant
        // scratchpads live there and are counted on their own.
        {"temp", {.paths = {"/var/tmp"}}},
        // The X server's logs, and the X session's own log of what its programs wrote: the
        // session holds the live one open and appends to it (its start script sends all its
        // output there), while the one kept from the session before is nobody's.
        {"user-logs",
         {.paths = {"$DATA/xorg"},
          .files = {"~/.xsession-errors", "~/.xsession-errors.old"},
          .emptied = {"~/.xsession-errors"}}},
        // Yarn 1 keeps its cache in the cache home, pnpm its store in the data home (and in
        // ~/.pnpm-store before version 7).
        {"yarn", {.paths = {"$CACHE/yarn", "$DATA/pnpm/store", "~/.pnpm-store"}}},
        {"homebrew", {.paths = {"$CACHE/Homebrew"}}},
        // Where Linux developers keep their checkouts, in lower case as the home's own folders
        // are here.
        {"project-artifacts", {.paths = projectFolders}},
        // pip --user installs into one site folder per Python version.
        {"python-user", {.paths = {"~/.local/lib/python3.*"}}},
        // Android Studio's default SDK folder on Linux.
        {"android-sdk",
         {.paths = {"~/Android/Sdk/ndk", "~/Android/Sdk/system-images", "~/Android/Sdk/emulator"}}},
        // The desktop app keeps its web caches in its configuration folder, as Electron apps do.
        {"claude-desktop",
         {.paths = {"$CONFIG/Claude/Cache", "$CONFIG/Claude/Code Cache",
                    "$CONFIG/Claude/GPUCache"}}},
        // A Flatpak application's whole data folder is its container.
        {"app-containers", {.paths = {"~/.var/app"}}},
        // The applications here are Flatpaks, which flatpak uninstalls for good, beside
        // AppImages, which go to the Trash: the Trash alone would promise too much.
        {"applications",
         {.sentence = "Flatpak applications will be uninstalled for good (their data in "
                      "~/.var/app stays). AppImages will be moved to the Trash."}},
        {"chrome-profile",
         {.paths = {"$CONFIG/google-chrome", "$CONFIG/google-chrome-beta",
                    "$CONFIG/google-chrome-unstable", "$CONFIG/chromium",
                    "~/.var/app/com.google.Chrome/config/google-chrome",
                    "~/.var/app/org.chromium.Chromium/config/chromium",
                    "~/snap/chromium/common/chromium"},
          .managedBy = {"google-chrome", "com.google.Chrome", "chromium", "chromium-browser",
                        "org.chromium.Chromium", "chromium_chromium"}}},
        {"app-support", {.paths = {"$DATA"}}},
        {"large-files",
         {.paths = {"~/Videos"}, .userFolders = {"DOWNLOAD", "DESKTOP", "DOCUMENTS", "VIDEOS"}}},
        {"duplicates", {.paths = {"~/Videos"}, .userFolders = personalFolders}},
        {"repeated-pictures", {.paths = {"~/Videos"}, .userFolders = personalFolders}},
        {"downloads", {.userFolders = {"DOWNLOAD"}}},
    };
    return rows;
}

std::string resolve(std::string_view location) {
    struct Base {
        std::string_view token;
        std::string (*folder)();
    };
    static const Base bases[] = {{"$CACHE", Edition::cacheHome},
                                 {"$CONFIG", Edition::configHome},
                                 {"$DATA", Edition::dataHome},
                                 {"$STATE", Edition::stateHome}};
    for (const auto& base : bases) {
        if (location == base.token ||
            (location.starts_with(base.token) && location.size() > base.token.size() &&
             location[base.token.size()] == '/'))
            return Text::homeShortened(
                base.folder() + std::string(location.substr(base.token.size())), Edition::home());
    }
    return std::string(location);
}

void extend(std::vector<CleanupCategory>& rows) {
    for (auto& row : rows) {
        auto found = table().find(row.id);
        if (found == table().end()) continue;
        const Addition& addition = found->second;

        std::vector<std::string> added;
        for (const auto& location : addition.paths)
            added.push_back(resolve(location));
        for (const auto& file : addition.files)
            added.push_back(resolve(file));
        for (const auto& key : addition.userFolders)
            if (auto folder = UserFolders::folder(key))
                added.push_back(Text::homeShortened(*folder, Edition::home()));

        auto& paths = row.source.paths;
        // Walked or listed roots: one inside another would show the same files twice (a
        // download folder set to ~/Downloads/Incoming lists Incoming, and then its files).
        bool roots = row.source.kind != Source::Kind::paths;
        for (auto& path : added) {
            std::string expanded = Paths::standardised(Catalog::expand(path));
            bool taken = std::any_of(paths.begin(), paths.end(), [&](const std::string& listed) {
                std::string other = Paths::standardised(Catalog::expand(listed));
                return other == expanded || (roots && (Paths::within(expanded, other) ||
                                                       Paths::within(other, expanded)));
            });
            if (!taken) paths.push_back(std::move(path));
        }

        for (const auto& id : addition.busyApps)
            if (std::find(row.busyApps.begin(), row.busyApps.end(), id) == row.busyApps.end())
                row.busyApps.push_back(id);
        if (row.managedBy)
            for (const auto& id : addition.managedBy)
                row.managedBy->desktopIDs.push_back(id);
        if (!addition.sentence.empty()) row.action.sentence = addition.sentence;
    }
    nameLinuxPlaces(rows, UserFolders::current());
}

void nameLinuxPlaces(std::vector<CleanupCategory>& rows,
                     const std::map<std::string, std::string>& userFolders) {
    // A user folder as a sentence names it: its name when it lies in the home ("Bureau"), else
    // where it is; the desktop's own name when the user has none of the kind.
    auto folder = [&](const char* key, const char* usual) -> std::string {
        auto it = userFolders.find(key);
        if (it == userFolders.end()) return usual;
        std::string shown = Text::homeShortened(it->second, Edition::home());
        bool inHome = shown.starts_with("~/") && shown.find('/', 2) == std::string::npos;
        return inHome ? shown.substr(2) : shown;
    };
    auto downloads = userFolders.find("DOWNLOAD");
    std::string downloadFolder = downloads == userFolders.end()
                                     ? std::string("~/Downloads")
                                     : Text::homeShortened(downloads->second, Edition::home());
    std::string projects = fmt::format(
        "~/Projects, {} and {}", fmt::join(projectFolders.begin(), projectFolders.end() - 1, ", "),
        projectFolders.back());

    struct Wording {
        const char* id;
        std::string CleanupCategory::*text; // or the advice, when null
        std::string written;                // what the catalog says
        std::string here;                   // what it says on this platform
    };
    const Wording wordings[] = {
        {"dot-cache", &CleanupCategory::summary, "(~/.cache)",
         fmt::format("({})", resolve("$CACHE"))},
        {"temp", &CleanupCategory::summary, "(/var/folders)", "(/var/tmp)"},
        // /var/tmp is kept across restarts here; it is /tmp that a start empties.
        {"temp", &CleanupCategory::info,
         "macOS owns this folder, and apps have files open in it while they run.",
         "The system and its programs keep files here that are meant to outlast a restart, and "
         "have them open while they run."},
        {"temp", nullptr, "Restart your Mac \u2014 macOS clears most of this folder at startup.",
         "A restart does not clear /var/tmp: the system keeps it, unlike /tmp, which is usually "
         "emptied at startup. Some systems remove what has gone unused there for 30 days; "
         "otherwise delete only what you know is yours."},
        {"project-artifacts", &CleanupCategory::summary, "inside ~/Projects",
         fmt::format("inside {}", projects)},
        {"python-user", &CleanupCategory::summary, "(~/Library/Python)",
         "(~/.local/lib/python3.*)"},
        {"claude-scratchpads", &CleanupCategory::summary, "(/private/tmp/claude-501)",
         fmt::format("({})", Text::homeShortened(Scanner::claudeSessionRoot(), Edition::home()))},
        {"chrome-profile", &CleanupCategory::info,
         "~/Library/Application Support/Google holds your Chrome profiles",
         fmt::format("{} and {} (and their Flatpak and snap copies) hold your Chrome and Chromium "
                     "profiles",
                     resolve("$CONFIG/google-chrome"), resolve("$CONFIG/chromium"))},
        {"chrome-profile", &CleanupCategory::info,
         " \u2014 plus Google's updater, which keeps Chrome up to date. (The updater's downloaded "
         "packages are listed separately under Google Updater Downloads and are safe to clean.) "
         "Deleting it would",
         ". Deleting them would"},
        {"chrome-profile", &CleanupCategory::info, "refuses to touch it.",
         "refuses to touch them."},
        {"app-support", nullptr, "Open ~/Library/Application Support in Finder",
         fmt::format("Open {} in your file manager", resolve("$DATA"))},
        {"large-files", &CleanupCategory::summary, "in Downloads, Desktop, Documents and Movies",
         fmt::format("in {}, {}, {} and {}", folder("DOWNLOAD", "Downloads"),
                     folder("DESKTOP", "Desktop"), folder("DOCUMENTS", "Documents"),
                     folder("VIDEOS", "Videos"))},
        {"duplicates", &CleanupCategory::info,
         "in Downloads, Desktop, Documents, Movies, Pictures and Music",
         fmt::format("in {}, {}, {}, {}, {} and {}", folder("DOWNLOAD", "Downloads"),
                     folder("DESKTOP", "Desktop"), folder("DOCUMENTS", "Documents"),
                     folder("VIDEOS", "Videos"), folder("PICTURES", "Pictures"),
                     folder("MUSIC", "Music"))},
        {"downloads", &CleanupCategory::summary, "in ~/Downloads",
         fmt::format("in {}", downloadFolder)},
    };
    for (auto& row : rows)
        for (const auto& wording : wordings) {
            if (row.id != wording.id) continue;
            std::string& text = wording.text ? row.*wording.text : row.action.advice;
            if (auto at = text.find(wording.written); at != std::string::npos)
                text.replace(at, wording.written.size(), wording.here);
        }
}

bool isListedFile(std::string_view root) {
    for (const auto& [id, addition] : table())
        for (const auto& file : addition.files)
            if (resolve(file) == root) return true;
    return false;
}

bool isEmptiedInPlace(const std::string& path) {
    for (const auto& [id, addition] : table())
        for (const auto& file : addition.emptied)
            if (Catalog::expand(resolve(file)) == path) return true;
    return false;
}

std::vector<std::string> browserProfiles() {
    std::vector<std::string> out;
    for (const auto& location : table().at("chrome-profile").paths)
        out.push_back(Catalog::expand(resolve(location)));
    return out;
}

std::vector<std::string> sharedFolders() {
    std::vector<std::string> out;
    for (const char* location :
         {"$CACHE", "$CONFIG", "$DATA", "$STATE", "$DATA/applications", "$CONFIG/autostart",
          "$DATA/flatpak", "$DATA/icons", "~/.var", "~/.var/app", "~/.local/bin", "~/.local/lib",
          "~/.local/state", "~/Applications", "~/AppImages", "~/snap", "~/Android",
          "~/Android/Sdk"})
        out.push_back(Catalog::expand(resolve(location)));
    out.emplace_back("/var/lib/flatpak");
    for (const auto& folder : projectFolders)
        out.push_back(Catalog::expand(folder));
    for (const auto& [key, folder] : UserFolders::current())
        out.push_back(folder);
    return out;
}

std::vector<std::pair<std::string, std::string>> claimedElsewhere() {
    // The user's Flatpak installation is the applications it holds, measured by the applications
    // category, not a folder of application data.
    return {{Catalog::expand(resolve("$DATA/flatpak")), "applications"}};
}

} // namespace bramwick::LinuxLocations
