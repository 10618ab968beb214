#include "engine/linux_locations.h"

#include <algorithm>

#include "engine/catalog.h"
#include "base/edition.h"
#include "base/text.h"
#include "engine/user_folders.h"
#include "base/paths.h"

namespace bramwick::LinuxLocations {

namespace {

// The user's own folders that stand beside "~/Downloads", "~/Desktop", "~/Documents", "~/Movies",
// "~/Pictures" and "~/Music".
const std::vector<std::string> personalFolders{"DOWNLOAD", "DESKTOP",  "DOCUMENTS",
                                               "VIDEOS",   "PICTURES", "MUSIC"};

// Chrome (stable, beta and the unstable channel) and Chromium as packages, as a Flatpak and as a
// snap: the desktop-file ids they run under.
const std::vector<std::string> browserIds{
    "google-chrome",    "google-chrome-beta",    "google-chrome-unstable", "chromium",
    "chromium-browser", "org.chromium.Chromium", "chromium_chromium"};

bool within(const std::string& path, const std::string& folder) {
    return path == folder || path.starts_with(folder == "/" ? folder : folder + "/");
}

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
        // Left to the system's own clean-up; /tmp is left out, as the coding-assistant
        // scratchpads live there and are counted on their own.
        {"temp", {.paths = {"/var/tmp"}}},
        {"user-logs", {.paths = {"$DATA/xorg"}}},
        // Yarn 1 keeps its cache in the cache home, pnpm its store in the data home (and in
        // ~/.pnpm-store before version 7).
        {"yarn", {.paths = {"$CACHE/yarn", "$DATA/pnpm/store", "~/.pnpm-store"}}},
        {"homebrew", {.paths = {"$CACHE/Homebrew"}}},
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
        // What is in the Trash was put there by hand and comes back from nowhere once emptied:
        // the sentence of deleted caches ("They regenerate when needed") would be untrue.
        {"trash", {.sentence = "These will be permanently deleted and cannot be put back."}},
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
                return other == expanded ||
                       (roots && (within(expanded, other) || within(other, expanded)));
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
