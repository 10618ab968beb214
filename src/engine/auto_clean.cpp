#include "engine/auto_clean.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <sstream>
#include <unistd.h>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "base/edition.h"
#include "base/text.h"
#include "engine/local_time.h"
#include "engine/scanner.h"
#include "engine/settings_keys.h"

namespace bramwick::AutoClean {

namespace {

constexpr std::int64_t bytesPerGB = 1'000'000'000;
// The threshold is read within its range (lowSpaceGB), so its bytes always fit.
static_assert(minimumLowSpaceGB > 0 &&
              maximumLowSpaceGB <= std::numeric_limits<std::int64_t>::max() / bytesPerGB);

std::optional<Date> storedDate(const Settings& settings, const char* key) {
    auto seconds = settings.number(key);
    if (!seconds) return std::nullopt;
    Date date = dateFromReferenceSeconds(*seconds);
    if (date > std::chrono::system_clock::now()) return std::nullopt;
    return date;
}

std::optional<std::string> storeDate(Settings& settings, const char* key,
                                     std::optional<Date> date) {
    if (!date) return settings.remove(key);
    return settings.set(key, secondsSinceReferenceDate(*date));
}

// The real user id from /proc/<pid>/status (the folder's owner would say root for processes
// that made themselves undumpable).
std::optional<uid_t> ownerOf(pid_t pid) {
    if (pid <= 0) return std::nullopt;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (!line.starts_with("Uid:")) continue;
        std::istringstream fields(line.substr(4));
        long long uid = -1;
        if (fields >> uid && uid >= 0) return static_cast<uid_t>(uid);
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

std::string_view rawValue(Schedule schedule) {
    switch (schedule) {
    case Schedule::off:
        return "off";
    case Schedule::daily:
        return "daily";
    case Schedule::weekly:
        return "weekly";
    case Schedule::monthly:
        return "monthly";
    }
    return "off";
}

std::string_view title(Schedule schedule) {
    switch (schedule) {
    case Schedule::off:
        return "Off";
    case Schedule::daily:
        return "Daily";
    case Schedule::weekly:
        return "Weekly";
    case Schedule::monthly:
        return "Monthly";
    }
    return "Off";
}

std::optional<Schedule> scheduleFromRaw(std::string_view raw) {
    for (Schedule schedule : allSchedules)
        if (rawValue(schedule) == raw) return schedule;
    return std::nullopt;
}

Schedule schedule(const Settings& settings) {
    auto raw = settings.string(SettingsKeys::autoCleanSchedule);
    return raw ? scheduleFromRaw(*raw).value_or(Schedule::off) : Schedule::off;
}

std::int64_t hour(const Settings& settings) {
    return std::clamp<std::int64_t>(
        settings.integer(SettingsKeys::autoCleanHour).value_or(defaultHour), 0, 23);
}
std::int64_t minute(const Settings& settings) {
    return std::clamp<std::int64_t>(
        settings.integer(SettingsKeys::autoCleanMinute).value_or(defaultMinute), 0, 59);
}
bool onLowSpace(const Settings& settings) {
    return settings.boolean(SettingsKeys::autoCleanOnLowSpace).value_or(false);
}
std::int64_t lowSpaceGB(const Settings& settings) {
    return std::clamp(
        settings.integer(SettingsKeys::autoCleanLowSpaceGB).value_or(defaultLowSpaceGB),
        minimumLowSpaceGB, maximumLowSpaceGB);
}
bool notify(const Settings& settings) {
    return settings.boolean(SettingsKeys::autoCleanNotify).value_or(true);
}

std::set<std::string> excluded(const Settings& settings) {
    std::set<std::string> ids;
    auto stored = settings.value(SettingsKeys::autoCleanExcluded);
    if (stored && stored->is_array())
        for (const auto& id : *stored)
            if (id.is_string()) ids.insert(id.get<std::string>());
    return ids;
}

std::optional<Date> enabledAt(const Settings& settings) {
    return storedDate(settings, SettingsKeys::autoCleanEnabledAt);
}
std::optional<Date> lastRun(const Settings& settings) {
    return storedDate(settings, SettingsKeys::autoCleanLastRun);
}
std::int64_t lastFreed(const Settings& settings) {
    return std::max<std::int64_t>(settings.integer(SettingsKeys::autoCleanLastFreed).value_or(0),
                                  0);
}

bool isEnabled(const Settings& settings) {
    return schedule(settings) != Schedule::off || onLowSpace(settings);
}

std::optional<std::string> setSchedule(Schedule schedule, Settings& settings) {
    return settings.set(SettingsKeys::autoCleanSchedule, std::string(rawValue(schedule)));
}

std::optional<std::string> setTimeOfDay(std::int64_t hour, std::int64_t minute,
                                        Settings& settings) {
    if (auto problem =
            settings.set(SettingsKeys::autoCleanHour, std::clamp<std::int64_t>(hour, 0, 23)))
        return problem;
    return settings.set(SettingsKeys::autoCleanMinute, std::clamp<std::int64_t>(minute, 0, 59));
}

std::optional<std::string> setExcluded(const std::set<std::string>& ids, Settings& settings) {
    // A std::set is already in ascending byte order.
    return settings.set(SettingsKeys::autoCleanExcluded,
                        nlohmann::json(std::vector<std::string>(ids.begin(), ids.end())));
}

std::optional<std::string> setEnabledAt(std::optional<Date> date, Settings& settings) {
    return storeDate(settings, SettingsKeys::autoCleanEnabledAt, date);
}

std::optional<std::string> setLastRun(std::optional<Date> date, Settings& settings) {
    return storeDate(settings, SettingsKeys::autoCleanLastRun, date);
}

std::optional<std::string> setLastFreed(std::int64_t bytes, Settings& settings) {
    return settings.set(SettingsKeys::autoCleanLastFreed, bytes);
}

std::optional<Date> nextDue(const Settings& settings) {
    Schedule chosen = schedule(settings);
    if (chosen == Schedule::off) return std::nullopt;
    const std::int64_t h = hour(settings), m = minute(settings);

    // Anchored to the calendar day of the last run, not to its time of day.
    if (auto last = lastRun(settings)) {
        auto day = LocalTime::dayOf(*last);
        switch (chosen) {
        case Schedule::daily:
            day = LocalTime::addingDays(day, 1);
            break;
        case Schedule::weekly:
            day = LocalTime::addingDays(day, 7);
            break;
        case Schedule::monthly:
            day = LocalTime::addingMonths(day, 1);
            break;
        case Schedule::off:
            break;
        }
        return LocalTime::moment(day, h, m);
    }

    auto armed = enabledAt(settings);
    if (!armed) return std::nullopt;
    auto day = LocalTime::dayOf(*armed);
    // The same day when the time is still ahead, else the next; a day whose time the clock
    // shows only before the moment of arming (the repeated hour) moves on once more.
    for (int offset = 0; offset < 3; ++offset) {
        auto due = LocalTime::moment(LocalTime::addingDays(day, offset), h, m);
        if (!due) return std::nullopt;
        if (*due > *armed) return due;
    }
    return std::nullopt;
}

std::optional<std::string> reason(std::int64_t freeBytes, Settings& settings, Date now) {
    Schedule chosen = schedule(settings);
    auto last = lastRun(settings);
    if (chosen != Schedule::off && !last && !enabledAt(settings)) setEnabledAt(now, settings);

    if (onLowSpace(settings)) {
        // Stored dates are kept within the clock's range, so adding the spacing cannot overflow.
        bool spaced = !last || *last + lowSpaceSpacing < now;
        const std::int64_t gigabytes = lowSpaceGB(settings);
        if (freeBytes < gigabytes * bytesPerGB && spaced)
            return fmt::format("free space fell below {} GB", gigabytes);
    }
    if (auto due = nextDue(settings); due && now >= *due)
        return Text::lowercased(title(chosen)) + " clean";
    return std::nullopt;
}

std::vector<RunningApplication> runningApplications(const RunningApplications& provider) {
    auto applications = provider.list();
    const uid_t me = ::getuid();
    std::erase_if(applications, [&](const RunningApplication& application) {
        return ownerOf(application.pid) != me;
    });
    return applications;
}

std::string appName(const std::string& identifier, const std::vector<RunningApplication>& running) {
    for (const auto& application : running) {
        if (application.bundleIdentifier != identifier) continue;
        if (!application.bundlePath.empty()) {
            std::string name = Scanner::lastComponent(application.bundlePath);
            if (auto dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.resize(dot);
            if (!name.empty()) return name;
        }
        if (!application.name.empty()) return application.name;
    }
    return identifier;
}

Plan plan(const std::vector<CleanupCategory>& categories,
          const std::vector<RunningApplication>& running, const Settings& settings) {
    std::set<std::string> runningIds;
    for (const auto& application : running)
        if (!application.bundleIdentifier.empty()) runningIds.insert(application.bundleIdentifier);
    const auto off = excluded(settings);

    Plan result;
    for (const auto& category : categories) {
        if (category.risk != Risk::safe || category.action.kind != CleanAction::Kind::delete_)
            continue;
        auto skip = [&](std::string why) {
            result.skipped.push_back({category.name, std::move(why)});
        };
        if (category.movedFrom || category.customFolder) {
            skip("you moved it to Safe to Remove, so only cleaned by hand");
        } else if (off.contains(category.id)) {
            skip("you turned this one off");
        } else if (category.neverAutomatic) {
            skip("only ever cleaned by hand");
        } else if (auto busy =
                       std::find_if(category.busyApps.begin(), category.busyApps.end(),
                                    [&](const std::string& id) { return runningIds.contains(id); });
                   busy != category.busyApps.end()) {
            skip(appName(*busy, running) + " is open");
        } else {
            result.categories.push_back(category);
        }
    }
    return result;
}

Plan plan(const std::vector<CleanupCategory>& categories, const Settings& settings) {
    return plan(categories, runningApplications(), settings);
}

std::string notificationTitle(std::int64_t freed) {
    return freed < 1 ? "Nothing to clean" : "Freed " + Text::byteCount(freed);
}

std::string notificationBody(std::int64_t freed, std::string_view reason) {
    std::string start = std::string(Edition::displayName) + " ran a " + std::string(reason);
    return freed < 1 ? start + ". Everything safe was already clean."
                     : start + " and removed caches, logs and build data that regenerate.";
}

bool postNotification(std::int64_t freed, std::string_view reason, Notifier& notifier,
                      const Settings& settings) {
    if (!notify(settings) || !notifier.available()) return false;
    return notifier.post(notificationTitle(freed), notificationBody(freed, reason));
}

std::string recordTitle(std::string_view reason, std::int64_t freed) {
    return "Automatic clean (" + std::string(reason) + "): " + Text::byteCount(freed);
}

std::string recordDetail(const Plan& plan, std::int64_t freed, std::int64_t itemsInUse) {
    std::string detail;
    if (freed < 1) {
        detail = "Nothing to remove \u2014 everything safe was already clean.";
    } else {
        for (const auto& category : plan.categories)
            detail += (detail.empty() ? "" : ", ") + category.name;
    }
    if (!plan.skipped.empty()) {
        detail += "\nSkipped: ";
        for (std::size_t i = 0; i < plan.skipped.size(); ++i)
            detail += (i ? ", " : "") + plan.skipped[i].name + " (" + plan.skipped[i].reason + ")";
    }
    if (itemsInUse >= 1)
        detail += fmt::format("\n{} items were in use and left alone.", itemsInUse);
    return detail;
}

} // namespace bramwick::AutoClean
