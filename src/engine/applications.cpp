#include "engine/applications.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <dirent.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unordered_set>

#include "base/edition.h"
#include "base/paths.h"
#include "base/text.h"
#include "base/unique_fd.h"
#include "engine/catalog.h"
#include "engine/cleaner.h"
#include "engine/scanner.h"
#include "platform/bundle.h"
#include "platform/running_apps.h"

namespace bramwick::Scanner {

namespace {

constexpr const char* usageQuery =
    "SELECT ZVALUESTRING, MAX(ZENDDATE) FROM ZOBJECT WHERE ZSTREAMNAME IN ('/app/usage', "
    "'/app/inFocus') GROUP BY ZVALUESTRING";

// Seconds since 1970 as a date, or none when outside the range a date can hold here.
std::optional<Date> dateFromUnixSeconds(double seconds) {
    if (!std::isfinite(seconds) || std::fabs(seconds) > 9.0e9) return std::nullopt;
    return Date(std::chrono::duration_cast<Date::duration>(std::chrono::duration<double>(seconds)));
}

// Both forms of a path, so a link in the way (a linked /Applications) changes nothing.
std::vector<std::string> forms(const std::string& path) {
    std::vector<std::string> out{Paths::standardised(path)};
    if (auto real = Paths::resolved(path); real && *real != out.front()) out.push_back(*real);
    return out;
}

std::optional<Date> accessDate(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return dateFromUnixSeconds(static_cast<double>(st.st_atim.tv_sec) + st.st_atim.tv_nsec / 1e9);
}

std::vector<std::string> candidates(const std::vector<std::string>& roots) {
    std::vector<std::string> found;
    for (const auto& root : roots) {
        std::string folder = Paths::withoutTrailingSlash(Catalog::expand(root));
        UniqueDir dir(::opendir(folder.c_str()));
        if (!dir) continue;
        std::vector<std::string> names;
        while (dirent* entry = ::readdir(dir.get())) {
            std::string name = entry->d_name;
            if (name.size() > 4 && name.ends_with(".app")) names.push_back(std::move(name));
        }
        dir.reset();
        std::sort(names.begin(), names.end());
        for (const auto& name : names) {
            std::string path = folder + "/" + name;
            struct stat st {};
            // Only a definite link is dropped; a child whose type cannot be read stays.
            if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) continue;
            found.push_back(std::move(path));
        }
    }
    return found;
}

} // namespace

std::map<std::string, Date> appUsageHistory(const std::string& databasePath) {
    std::map<std::string, Date> history;
    std::string path = Catalog::expand(databasePath);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return history;
    }
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, usageQuery, -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return history;
    }
    while (sqlite3_step(statement) == SQLITE_ROW) {
        const unsigned char* text = sqlite3_column_text(statement, 0);
        if (!text) continue;
        // Stored as seconds since 1 January 2001.
        auto date = dateFromUnixSeconds(sqlite3_column_double(statement, 1) + referenceDateOffset);
        if (date) history[reinterpret_cast<const char*>(text)] = *date;
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return history;
}

std::vector<ScanItem> applications(const ApplicationSources& sources) {
    std::vector<std::string> ownForms =
        forms(sources.ownBundle.empty() ? Cleaner::ownBundle() : sources.ownBundle);
    std::vector<std::string> apps;
    for (auto& path : candidates(sources.roots)) {
        auto bundle = Bundles::open(path);
        // Our own program, by its identifier (a missing one never matches) or by its place.
        if (bundle && bundle->identifier == std::string(Edition::appId)) continue;
        auto mine = forms(path);
        bool own = std::any_of(mine.begin(), mine.end(), [&](const std::string& form) {
            return std::find(ownForms.begin(), ownForms.end(), form) != ownForms.end();
        });
        if (!own) apps.push_back(std::move(path));
    }

    const RunningApplications& provider =
        sources.running ? *sources.running : RunningApplications::system();
    const auto runningNow = provider.list();
    std::unordered_set<std::string> running;
    for (const auto& app : runningNow)
        if (!app.bundlePath.empty())
            for (auto& form : forms(app.bundlePath))
                running.insert(std::move(form));

    // The Flatpak applications and AppImages, by path; a Flatpak runs when its id does.
    const auto places =
        sources.linuxPlaces ? *sources.linuxPlaces : LinuxApplications::defaultPlaces();
    std::map<std::string, LinuxApplications::Application> linuxApps;
    for (auto& application : LinuxApplications::list(places)) {
        apps.push_back(application.path);
        linuxApps.emplace(application.path, std::move(application));
    }
    std::unordered_set<std::string> runningIds;
    std::unordered_set<std::string> runningExecutables;
    for (const auto& app : runningNow) {
        if (!app.bundleIdentifier.empty()) runningIds.insert(app.bundleIdentifier);
        if (!app.executablePath.empty())
            for (auto& form : forms(app.executablePath))
                runningExecutables.insert(std::move(form));
    }
    auto linuxRunning = [&](const LinuxApplications::Application& application) {
        if (application.id && runningIds.contains(*application.id)) return true;
        // An AppImage runs as its own file, whatever its desktop entry calls it.
        if (application.kind != LinuxApplications::Kind::appImage) return false;
        auto mine = forms(application.path);
        return std::any_of(mine.begin(), mine.end(),
                           [&](const std::string& f) { return runningExecutables.contains(f); });
    };
    auto desktopUsage = LinuxApplications::usageHistory(places.usageRecord);

    auto history = appUsageHistory(sources.usageDatabase);
    std::map<std::string, Date> lastUsed;
    for (const auto& app : apps) {
        if (auto it = linuxApps.find(app); it != linuxApps.end()) {
            if (auto date = LinuxApplications::lastUsed(it->second, places, desktopUsage))
                lastUsed[app] = *date;
            continue;
        }
        std::optional<Date> latest;
        auto consider = [&](std::optional<Date> date) {
            if (date && (!latest || *date > *latest)) latest = date;
        };
        if (auto describing = Bundles::describing(app)) {
            if (describing->identifier)
                if (auto it = history.find(*describing->identifier); it != history.end())
                    consider(it->second);
            if (describing->executable) consider(accessDate(*describing->executable));
        }
        if (latest) lastUsed[app] = *latest;
    }

    Date now = std::chrono::system_clock::now();
    auto items = measure(
        apps,
        [&](const std::string& path) {
            if (auto it = linuxApps.find(path); it != linuxApps.end()) return it->second.name;
            std::string name = lastComponent(path);
            return name.substr(0, name.size() - 4);
        },
        [&](const std::string& path) -> std::optional<std::string> {
            auto mine = forms(path);
            auto application = linuxApps.find(path);
            bool isRunning = application != linuxApps.end()
                                 ? linuxRunning(application->second)
                                 : std::any_of(mine.begin(), mine.end(), [&](const std::string& f) {
                                       return running.contains(f);
                                   });
            auto it = lastUsed.find(path);
            std::string used = it == lastUsed.end()
                                   ? "No record of being opened"
                                   : "Last opened " + Text::relativeDate(it->second, now);
            return isRunning ? "Running — quit it first · " + used : used;
        });
    for (auto& item : items) {
        if (auto it = lastUsed.find(item.url); it != lastUsed.end()) item.lastUsed = it->second;
        if (auto it = linuxApps.find(item.url); it != linuxApps.end())
            item.command = LinuxApplications::uninstallCommand(it->second);
    }
    return items;
}

std::vector<ScanItem> unusedApplications(const std::vector<ScanItem>& apps, std::int64_t days) {
    using namespace std::chrono;
    double now = duration<double>(system_clock::now().time_since_epoch()).count();
    double cutoff = now - static_cast<double>(days) * 86400.0;
    std::vector<ScanItem> unused;
    for (const auto& item : apps) {
        // No record counts as the distant past: always unused.
        if (!item.lastUsed || duration<double>(item.lastUsed->time_since_epoch()).count() < cutoff)
            unused.push_back(item);
    }
    return unused;
}

} // namespace bramwick::Scanner
