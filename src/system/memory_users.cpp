#include "system/memory_users.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include <unistd.h>

#include "base/edition.h"
#include "system/process_list.h"

namespace bramwick::MemoryUsers {

namespace {

// How far up the parent chain a process is looked for its application.
constexpr int ownerGenerations = 6;

// The eight well-known browsers, by the identifiers they run under: their bundle identifiers
// and, on this platform, their desktop-file ids (distribution packages and Flatpak).
constexpr std::array<std::string_view, 17> browsers{
    "com.google.Chrome", "com.apple.Safari", "org.mozilla.firefox", "com.microsoft.edgemac",
    "com.brave.Browser", "com.operasoftware.Opera", "company.thebrowser.Browser",
    "com.vivaldi.Vivaldi",
    // desktop-file ids
    "google-chrome", "firefox", "firefox-esr", "microsoft-edge", "com.microsoft.Edge",
    "brave-browser", "opera", "com.opera.Opera", "vivaldi-stable"};

struct Raw {
    std::int32_t pid = 0;
    std::int32_t ppid = 0;
    double cpu = 0;
    std::int64_t rss = 0; // bytes
    std::string name;
};

std::vector<Raw> parse(const std::string& output, const std::string& root) {
    std::vector<Raw> records;
    for (std::string_view line : ProcessList::lines(output)) {
        auto split = ProcessList::split(line, 4);
        if (!split) continue;
        auto pid = ProcessList::int32(split->fields[0]);
        auto ppid = ProcessList::int32(split->fields[1]);
        auto cpu = ProcessList::real(split->fields[2]);
        auto kib = ProcessList::int64(split->fields[3]);
        if (!pid || !ppid || !cpu || !kib) continue;
        records.push_back({*pid, *ppid, *cpu,
                           ProcessList::kibibytes(std::max<std::int64_t>(*kib, 0)),
                           ProcessList::shownName(*pid, split->rest, root)});
    }
    return records;
}

} // namespace

bool Entry::canQuit() const {
    return bundleID && *bundleID != Edition::appId;
}

bool Entry::isBrowser() const {
    return bundleID && std::find(browsers.begin(), browsers.end(), *bundleID) != browsers.end();
}

std::vector<Entry> current(int limit, const Shell::Runner& runner,
                           const RunningApplications& applications, const std::string& root,
                           std::int32_t ownPid) {
    if (limit <= 0) return {};
    std::unordered_map<std::int32_t, RunningApplication> apps;
    for (auto& app : applications.list())
        apps.emplace(static_cast<std::int32_t>(app.pid), std::move(app));

    std::string output;
    try {
        output = runner({"ps", "-Ao", "pid=,ppid=,pcpu=,rss=,comm="}, 20).output;
    } catch (const std::exception&) {
        return {};
    }
    std::vector<Raw> records = parse(output, root);
    std::unordered_map<std::int32_t, const Raw*> byPid; // the first record of a pid listed twice
    for (const auto& record : records)
        byPid.emplace(record.pid, &record);

    std::vector<Entry> entries;
    std::vector<bool> ownedByApplication;                 // one per entry
    std::unordered_map<std::string, std::size_t> entryOf; // by id, in order of first appearance
    for (const auto& record : records) {
        const Raw* candidate = &record;
        for (int step = 0; step < ownerGenerations && !apps.contains(candidate->pid); ++step) {
            auto parent = byPid.find(candidate->ppid);
            if (parent == byPid.end()) break;
            candidate = parent->second;
        }
        auto owner = apps.find(candidate->pid);
        std::string key, name;
        std::optional<std::string> bundleID;
        // This program and what it started are this program, whether or not the desktop knows
        // it as an application (a build run from its folder has no desktop entry).
        bool ours = false;
        const Raw* step = &record;
        for (int up = 0; step && up <= ownerGenerations; ++up) {
            if (step->pid == ownPid) {
                ours = true;
                break;
            }
            auto parent = byPid.find(step->ppid);
            step = parent == byPid.end() || parent->second == step ? nullptr : parent->second;
        }
        if (ours) {
            key = Edition::appId;
            name = Edition::displayName;
            bundleID = std::string(Edition::appId);
        } else if (owner != apps.end()) {
            const RunningApplication& app = owner->second;
            name = app.name.empty() ? candidate->name : app.name;
            if (app.regular && !app.bundleIdentifier.empty()) bundleID = app.bundleIdentifier;
            key = app.bundleIdentifier.empty() ? name : app.bundleIdentifier;
        } else {
            key = name = record.name;
        }

        bool owned = ours || owner != apps.end();
        auto [found, added] = entryOf.emplace(key, entries.size());
        if (added) {
            entries.push_back(
                {key, std::move(name), record.rss, record.cpu, {record.pid}, std::move(bundleID)});
            ownedByApplication.push_back(owned);
            continue;
        }
        Entry& entry = entries[found->second];
        entry.bytes = ProcessList::sum(entry.bytes, record.rss);
        entry.cpu += record.cpu;
        entry.pids.push_back(record.pid);
        // An application's own identifier and name are not overwritten by a stray process that
        // merely carries the same name (desktop-file ids are often plain program names).
        if (owned || !ownedByApplication[found->second]) {
            entry.name = std::move(name);
            entry.bundleID = std::move(bundleID);
            ownedByApplication[found->second] = owned;
        }
    }

    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.bytes > b.bytes; });
    if (entries.size() > static_cast<std::size_t>(limit))
        entries.resize(static_cast<std::size_t>(limit));
    return entries;
}

bool show(const Entry& entry, RunningApplications& applications) {
    if (!entry.bundleID) return false;
    for (const auto& app : applications.list())
        if (app.bundleIdentifier == *entry.bundleID) return applications.activate(app);
    return false;
}

QuitResult quit(const Entry& entry, RunningApplications& applications) {
    if (!entry.bundleID)
        return QuitResult::refused("Not an application \u2014 it has no Quit to ask for. Close it "
                                   "where you started it.");
    if (*entry.bundleID == Edition::appId)
        return QuitResult::refused(std::string("That is ") + Edition::displayName + ".");
    std::vector<RunningApplication> running;
    for (auto& app : applications.list())
        if (app.bundleIdentifier == *entry.bundleID) running.push_back(std::move(app));
    if (running.empty()) return QuitResult::notRunning();
    std::optional<std::string> refusal;
    bool askedAny = false;
    for (const auto& app : running) {
        if (auto why = applications.requestQuit(app)) {
            if (!refusal) refusal = std::move(why);
        } else {
            askedAny = true;
        }
    }
    if (askedAny) return QuitResult::asked();
    return QuitResult::refused(*refusal);
}

} // namespace bramwick::MemoryUsers
