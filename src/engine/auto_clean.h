// The rules of the unattended clean: its settings, when it is due and why, what it may take,
// and the words it leaves behind. No state of its own: every call reads or writes the settings
// at that moment, so the settings window, the store's runs and the command line see one truth.
// Every call is handed the settings it reads or writes; the clock, the notifier and the running
// applications can be handed in too. Local time is the C library's zone (TZ).
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/models.h"
#include "platform/notifier.h"
#include "platform/running_apps.h"
#include "platform/settings.h"

namespace bramwick::AutoClean {

inline constexpr std::int64_t defaultHour = 13;
inline constexpr std::int64_t defaultMinute = 0;
inline constexpr std::int64_t defaultLowSpaceGB = 10;
// What the settings offer for the low-space threshold.
inline constexpr std::int64_t minimumLowSpaceGB = 1;
inline constexpr std::int64_t maximumLowSpaceGB = 200;
// A low-space clean follows any automatic clean only after this much time.
inline constexpr std::chrono::seconds lowSpaceSpacing{3600};

enum class Schedule { off, daily, weekly, monthly };
// In the order of every picker.
inline constexpr std::array<Schedule, 4> allSchedules{Schedule::off, Schedule::daily,
                                                      Schedule::weekly, Schedule::monthly};
// "off", "daily", "weekly", "monthly": what the settings store.
std::string_view rawValue(Schedule schedule);
// "Off", "Daily", "Weekly", "Monthly".
std::string_view title(Schedule schedule);
// Exactly the four raw strings; anything else gives none.
std::optional<Schedule> scheduleFromRaw(std::string_view raw);

// Readers. A missing value, or one of the wrong type, reads as the default; a number out of its
// range reads as the nearest end of it (the hour 0...23, the minute 0...59, the threshold
// 1...200 GB, the bytes freed not below 0), so a hand-edited file never shows as a time of day
// that is none or a negative size. Dates are stored as seconds since 2001-01-01; one in the
// future reads as none, so a clock set wrong once cannot hold off the automatic clean.
Schedule schedule(const Settings& settings); // unrecognised: off
std::int64_t hour(const Settings& settings);
std::int64_t minute(const Settings& settings);
bool onLowSpace(const Settings& settings);
std::int64_t lowSpaceGB(const Settings& settings);
bool notify(const Settings& settings);
std::set<std::string> excluded(const Settings& settings);
std::optional<Date> enabledAt(const Settings& settings);
std::optional<Date> lastRun(const Settings& settings);
std::int64_t lastFreed(const Settings& settings);
// A schedule is chosen, or the low-space clean is on.
bool isEnabled(const Settings& settings);

// Writers; each returns why the settings could not be saved, if they could not.
std::optional<std::string> setSchedule(Schedule schedule, Settings& settings);
// Stores the hour clamped to 0...23 and the minute clamped to 0...59.
std::optional<std::string> setTimeOfDay(std::int64_t hour, std::int64_t minute, Settings& settings);
// Stored as a list sorted ascending; the empty set stores an empty list.
std::optional<std::string> setExcluded(const std::set<std::string>& ids, Settings& settings);
// None removes the key.
std::optional<std::string> setEnabledAt(std::optional<Date> date, Settings& settings);
std::optional<std::string> setLastRun(std::optional<Date> date, Settings& settings);
std::optional<std::string> setLastFreed(std::int64_t bytes, Settings& settings);

// When the scheduled clean is next due, or none (schedule off, never armed, or a stored time
// that no clock shows). After a run it is the stored time on the day one interval after the
// last run's day (a monthly clean run on 31 January is due on the last day of February); before
// the first run, the first such time strictly after the schedule was armed. A time the clock
// skips moves to the moment it goes forward; a time it shows twice counts the first time.
std::optional<Date> nextDue(const Settings& settings);

// Why an automatic clean should run now ("free space fell below 10 GB", "daily clean"), or
// none. `freeBytes` is the home volume's available space; pass the largest value when it is
// unknown, which keeps the low-space clean off. A chosen schedule that was never armed is
// armed at `now` first, whatever the answer.
std::optional<std::string> reason(std::int64_t freeBytes, Settings& settings,
                                  Date now = std::chrono::system_clock::now());

// A category left out of an automatic clean, and why.
struct Skip {
    std::string name;
    std::string reason;
    bool operator==(const Skip&) const = default;
};

struct Plan {
    std::vector<CleanupCategory> categories; // taken, in the input order
    std::vector<Skip> skipped;               // eligible but left out, in the input order
};

// What an automatic clean may take of `categories` while `running` are open. Only catalog
// categories that are safe and deleted outright are ever taken; the rest are not even listed.
// A category is left out when the user moved it to this level or added it as a folder, turned
// it off, when it is only ever cleaned by hand, or while an application that uses it runs.
Plan plan(const std::vector<CleanupCategory>& categories,
          const std::vector<RunningApplication>& running, const Settings& settings);
// The same with this user's running applications as they are now.
Plan plan(const std::vector<CleanupCategory>& categories, const Settings& settings);

// The applications of `provider` that belong to this user (other users' sessions never keep a
// category from being cleaned). Each entry's process is looked up in /proc, so an entry whose
// process is gone, or a fake with a made-up pid, drops out; fakes use this process's pid.
std::vector<RunningApplication>
runningApplications(const RunningApplications& provider = RunningApplications::system());

// The name an application is shown by: its bundle's name, else the name it runs under, else the
// identifier itself.
std::string appName(const std::string& identifier, const std::vector<RunningApplication>& running);

// The notification after a run: "Nothing to clean" or "Freed 1.2 GB", and its sentence.
std::string notificationTitle(std::int64_t freed);
std::string notificationBody(std::int64_t freed, std::string_view reason);
// Posts it when the user wants notifications and the program may post; nothing otherwise.
// True when it was handed to the notification service.
bool postNotification(std::int64_t freed, std::string_view reason, Notifier& notifier,
                      const Settings& settings);

// The history record of a run: "Automatic clean (daily clean): 1.2 GB", and a detail naming
// the planned categories (or that nothing was removed), the skipped ones with their reasons and
// how many items were in use and left alone.
std::string recordTitle(std::string_view reason, std::int64_t freed);
std::string recordDetail(const Plan& plan, std::int64_t freed, std::int64_t itemsInUse);

} // namespace bramwick::AutoClean
