#include <climits>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "base/text.h"
#include "engine/auto_clean.h"
#include "engine/catalog.h"
#include "engine/local_time.h"
#include "support/fake_notifier.h"
#include "support/fixture.h"

using namespace bramwick;
using namespace std::chrono;
using AutoClean::Schedule;

namespace {

// Berlin from the zone database, or the same rule written out where the database is missing.
const char* berlin() {
    struct stat st {};
    return ::stat("/usr/share/zoneinfo/Europe/Berlin", &st) == 0 ? "Europe/Berlin"
                                                                 : "CET-1CEST,M3.5.0,M10.5.0/3";
}

void useZone(const char* zone) {
    ::setenv("TZ", zone, 1);
    ::tzset();
}

Date utc(int y, unsigned m, unsigned d, int hh, int mm, int ss = 0) {
    return sys_days(year(y) / month(m) / day(d)) + hours(hh) + minutes(mm) + seconds(ss);
}

std::string show(std::optional<Date> date) {
    if (!date) return "none";
    std::time_t t = system_clock::to_time_t(*date);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &tm);
    return text;
}

// Each test gets its own settings file in the test home, and Berlin time.
class AutoCleanTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::clearHome();
        useZone(berlin());
    }
    Settings settings{test::home() + "/settings.json"};
};

CleanupCategory category(std::string id, Risk risk = Risk::safe,
                         CleanAction::Kind action = CleanAction::Kind::delete_) {
    CleanupCategory c;
    c.name = "Name of " + id;
    c.id = std::move(id);
    c.risk = risk;
    c.action.kind = action;
    return c;
}

RunningApplication app(pid_t pid, std::string identifier, std::string name = {},
                       std::string bundlePath = {}) {
    RunningApplication a;
    a.pid = pid;
    a.bundleIdentifier = std::move(identifier);
    a.name = std::move(name);
    a.bundlePath = std::move(bundlePath);
    return a;
}

class FakeApplications : public RunningApplications {
  public:
    std::vector<RunningApplication> apps;
    std::vector<RunningApplication> list() const override { return apps; }
    bool activate(const RunningApplication&) override { return false; }
    std::optional<std::string> requestQuit(const RunningApplication&) override { return "no"; }
};

} // namespace

TEST_F(AutoCleanTest, SchedulesHaveRawValuesAndTitlesInPickerOrder) {
    std::vector<std::string> raw, titles;
    for (auto s : AutoClean::allSchedules)
        raw.emplace_back(AutoClean::rawValue(s)), titles.emplace_back(AutoClean::title(s));
    EXPECT_EQ(raw, (std::vector<std::string>{"off", "daily", "weekly", "monthly"}));
    EXPECT_EQ(titles, (std::vector<std::string>{"Off", "Daily", "Weekly", "Monthly"}));
    EXPECT_EQ(AutoClean::scheduleFromRaw("weekly"), Schedule::weekly);
    EXPECT_FALSE(AutoClean::scheduleFromRaw("Weekly"));
    EXPECT_FALSE(AutoClean::scheduleFromRaw("hourly"));
}

TEST_F(AutoCleanTest, MissingOrMistypedSettingsReadAsDefaults) {
    EXPECT_EQ(AutoClean::schedule(settings), Schedule::off);
    EXPECT_EQ(AutoClean::hour(settings), 13);
    EXPECT_EQ(AutoClean::minute(settings), 0);
    EXPECT_EQ(AutoClean::lowSpaceGB(settings), 10);
    EXPECT_TRUE(AutoClean::notify(settings));
    EXPECT_FALSE(AutoClean::onLowSpace(settings));
    EXPECT_EQ(AutoClean::lastFreed(settings), 0);
    EXPECT_FALSE(AutoClean::isEnabled(settings));

    settings.set("autoCleanSchedule", "hourly");
    settings.set("autoCleanHour", "7");
    settings.set("autoCleanMinute", 7.5);
    settings.set("autoCleanNotify", "yes");
    settings.set("autoCleanLastRun", "yesterday");
    settings.set("autoCleanExcluded", nlohmann::json::array({"npm", 3, "trash"}));
    EXPECT_EQ(AutoClean::schedule(settings), Schedule::off);
    EXPECT_EQ(AutoClean::hour(settings), 13);
    EXPECT_EQ(AutoClean::minute(settings), 0);
    EXPECT_TRUE(AutoClean::notify(settings));
    EXPECT_FALSE(AutoClean::lastRun(settings));
    EXPECT_EQ(AutoClean::excluded(settings), (std::set<std::string>{"npm", "trash"}));
    EXPECT_FALSE(AutoClean::isEnabled(settings)) << "an unknown schedule is off";
    settings.set("autoCleanOnLowSpace", true);
    EXPECT_TRUE(AutoClean::isEnabled(settings));
}

TEST_F(AutoCleanTest, WritersStoreWhatTheReadersAndOtherWindowsExpect) {
    EXPECT_FALSE(AutoClean::setExcluded({"zsh-cache", "app-caches"}, settings));
    EXPECT_EQ(*settings.value("autoCleanExcluded"),
              nlohmann::json::array({"app-caches", "zsh-cache"}));
    EXPECT_FALSE(AutoClean::setExcluded({}, settings));
    EXPECT_EQ(*settings.value("autoCleanExcluded"), nlohmann::json::array());

    AutoClean::setTimeOfDay(7, 45, settings);
    EXPECT_EQ(settings.integer("autoCleanHour"), 7);
    EXPECT_EQ(settings.integer("autoCleanMinute"), 45);
    AutoClean::setTimeOfDay(99, -3, settings);
    EXPECT_EQ(AutoClean::hour(settings), 23);
    EXPECT_EQ(AutoClean::minute(settings), 0);

    Date when = utc(2025, 6, 10, 12, 0, 30);
    AutoClean::setLastRun(when, settings);
    EXPECT_EQ(AutoClean::lastRun(settings), when);
    EXPECT_FALSE(AutoClean::setLastRun(std::nullopt, settings));
    EXPECT_FALSE(settings.contains("autoCleanLastRun"));
    AutoClean::setEnabledAt(when, settings);
    AutoClean::setEnabledAt(std::nullopt, settings);
    EXPECT_FALSE(settings.contains("autoCleanEnabledAt"));
}

namespace {
struct DueCase {
    const char* what;
    Schedule schedule;
    std::int64_t hour, minute;
    std::optional<Date> lastRun, enabledAt;
    std::optional<Date> due;
};
} // namespace

// All times in Berlin: UTC+1 in winter, UTC+2 in summer. In 2025 the clock went forward at
// 02:00 on 30 March and back at 03:00 on 26 October.
TEST_F(AutoCleanTest, NextDueFollowsTheLocalCalendar) {
    const std::vector<DueCase> cases{
        {"daily: the next day at the time, not 24 hours after the run",
         Schedule::daily,
         13,
         0,
         utc(2025, 6, 10, 18, 10),
         {},
         utc(2025, 6, 11, 11, 0)},
        {"weekly from Monday 23:50 is the next Monday",
         Schedule::weekly,
         13,
         0,
         utc(2025, 6, 9, 21, 50),
         {},
         utc(2025, 6, 16, 11, 0)},
        {"the day of the run is the local one (00:30 Monday is Sunday in UTC)",
         Schedule::weekly,
         13,
         0,
         utc(2025, 6, 8, 22, 30),
         {},
         utc(2025, 6, 16, 11, 0)},
        {"monthly from 31 January is the last day of February",
         Schedule::monthly,
         13,
         0,
         utc(2025, 1, 31, 9, 0),
         {},
         utc(2025, 2, 28, 12, 0)},
        {"monthly in a leap year",
         Schedule::monthly,
         13,
         0,
         utc(2024, 1, 31, 9, 0),
         {},
         utc(2024, 2, 29, 12, 0)},
        {"monthly from 31 March is 30 April, in summer time",
         Schedule::monthly,
         13,
         0,
         utc(2025, 3, 31, 9, 0),
         {},
         utc(2025, 4, 30, 11, 0)},
        {"monthly across the year",
         Schedule::monthly,
         8,
         15,
         utc(2025, 12, 31, 9, 0),
         {},
         utc(2026, 1, 31, 7, 15)},
        {"a time the clock skips moves to the moment it goes forward",
         Schedule::daily,
         2,
         30,
         utc(2025, 3, 29, 9, 0),
         {},
         utc(2025, 3, 30, 1, 0)},
        {"a time the clock shows twice counts the first time",
         Schedule::daily,
         2,
         30,
         utc(2025, 10, 25, 9, 0),
         {},
         utc(2025, 10, 26, 0, 30)},
        {"the day the clock goes forward keeps the wall time",
         Schedule::daily,
         13,
         0,
         utc(2025, 3, 29, 9, 0),
         {},
         utc(2025, 3, 30, 11, 0)},
        {"armed after the time: the next day",
         Schedule::daily,
         13,
         0,
         {},
         utc(2025, 6, 10, 12, 0),
         utc(2025, 6, 11, 11, 0)},
        {"armed before the time: the same day",
         Schedule::weekly,
         13,
         0,
         {},
         utc(2025, 6, 10, 10, 0),
         utc(2025, 6, 10, 11, 0)},
        {"armed exactly at the time: strictly after, so the next day",
         Schedule::daily,
         13,
         0,
         {},
         utc(2025, 6, 10, 11, 0),
         utc(2025, 6, 11, 11, 0)},
        {"armed between the two 02:30s: the first one has passed",
         Schedule::daily,
         2,
         30,
         {},
         utc(2025, 10, 26, 0, 40),
         utc(2025, 10, 27, 1, 30)},
        {"armed before a skipped time",
         Schedule::monthly,
         2,
         30,
         {},
         utc(2025, 3, 30, 0, 0),
         utc(2025, 3, 30, 1, 0)},
        {"the last run decides, not the arming", Schedule::daily, 13, 0, utc(2025, 6, 1, 9, 0),
         utc(2025, 6, 20, 9, 0), utc(2025, 6, 2, 11, 0)},
        {"off is never due", Schedule::off, 13, 0, utc(2025, 6, 1, 9, 0), {}, {}},
        {"never armed and never run", Schedule::daily, 13, 0, {}, {}, {}},
        // Out of range, a stored hour or minute reads as the nearest one a clock shows.
        {"an hour no clock shows",
         Schedule::daily,
         24,
         0,
         utc(2025, 6, 1, 9, 0),
         {},
         utc(2025, 6, 2, 21, 0)},
        {"a negative minute",
         Schedule::daily,
         13,
         -1,
         {},
         utc(2025, 6, 1, 9, 0),
         utc(2025, 6, 1, 11, 0)},
        {"the largest stored hour",
         Schedule::daily,
         std::numeric_limits<std::int64_t>::max(),
         0,
         utc(2025, 6, 1, 9, 0),
         {},
         utc(2025, 6, 2, 21, 0)},
    };
    for (const auto& c : cases) {
        test::clearHome();
        Settings s(test::home() + "/due.json");
        AutoClean::setSchedule(c.schedule, s);
        s.set("autoCleanHour", c.hour);
        s.set("autoCleanMinute", c.minute);
        if (c.lastRun) AutoClean::setLastRun(c.lastRun, s);
        if (c.enabledAt) AutoClean::setEnabledAt(c.enabledAt, s);
        EXPECT_EQ(show(AutoClean::nextDue(s)), show(c.due)) << c.what;
    }
}

TEST_F(AutoCleanTest, NextDueOutsideTheClocksRangeDoesNotOverflow) {
    AutoClean::setSchedule(Schedule::monthly, settings);
    for (double stored : {1e300, -1e300, 9.2e9, -9.2e9}) {
        settings.set("autoCleanLastRun", stored);
        auto due = AutoClean::nextDue(settings);
        if (due) {
            EXPECT_GT(*due, *AutoClean::lastRun(settings)) << stored;
        }
        settings.remove("autoCleanLastRun");
        settings.set("autoCleanEnabledAt", stored);
        due = AutoClean::nextDue(settings);
        if (due) {
            EXPECT_GT(*due, *AutoClean::enabledAt(settings)) << stored;
        }
        settings.remove("autoCleanEnabledAt");
        // A last run stored far ahead never makes a clean due today.
        settings.set("autoCleanLastRun", stored);
        if (stored > 0) {
            EXPECT_FALSE(AutoClean::reason(1, settings, utc(2025, 6, 1, 9, 0))) << stored;
        }
        settings.remove("autoCleanLastRun");
    }
}

TEST_F(AutoCleanTest, ZonesWhoseClockSkipsMidnightStartTheDayAfterTheGap) {
    // São Paulo went from 00:00 straight to 01:00 on 4 November 2018.
    struct stat st {};
    useZone(::stat("/usr/share/zoneinfo/America/Sao_Paulo", &st) == 0
                ? "America/Sao_Paulo"
                : "<-03>3<-02>,M11.1.0/0,M2.3.0/0");
    EXPECT_EQ(show(LocalTime::moment(year(2018) / November / 4, 0, 0)), "2018-11-04 03:00:00 UTC");
    EXPECT_EQ(show(LocalTime::moment(year(2018) / November / 4, 0, 59)), "2018-11-04 03:00:00 UTC");
    EXPECT_EQ(show(LocalTime::moment(year(2018) / November / 4, 1, 0)), "2018-11-04 03:00:00 UTC");
    EXPECT_EQ(show(LocalTime::moment(year(2018) / February / 30, 1, 0)), "none");
}

TEST_F(AutoCleanTest, FirstCheckArmsTheScheduleAndTheNextTimeAfterItIsDue) {
    AutoClean::setSchedule(Schedule::daily, settings);
    const std::int64_t plenty = std::numeric_limits<std::int64_t>::max();
    Date armed = utc(2025, 6, 10, 12, 0, 7); // 14:00:07 in Berlin
    EXPECT_FALSE(AutoClean::reason(plenty, settings, armed));
    EXPECT_EQ(AutoClean::enabledAt(settings), armed);
    EXPECT_FALSE(AutoClean::reason(plenty, settings, utc(2025, 6, 11, 10, 59, 59)));
    EXPECT_EQ(AutoClean::enabledAt(settings), armed) << "armed only once";
    EXPECT_EQ(AutoClean::reason(plenty, settings, utc(2025, 6, 11, 11, 0)), "daily clean");

    AutoClean::setSchedule(Schedule::monthly, settings);
    AutoClean::setLastRun(utc(2025, 6, 11, 11, 5), settings);
    EXPECT_FALSE(AutoClean::reason(plenty, settings, utc(2025, 7, 11, 10, 59)));
    EXPECT_EQ(AutoClean::reason(plenty, settings, utc(2025, 7, 11, 11, 0)), "monthly clean");
}

TEST_F(AutoCleanTest, ScheduleOffNeverArms) {
    settings.set("autoCleanOnLowSpace", true);
    EXPECT_FALSE(AutoClean::reason(std::numeric_limits<std::int64_t>::max(), settings,
                                   utc(2025, 6, 1, 9, 0)));
    EXPECT_FALSE(settings.contains("autoCleanEnabledAt"));
}

namespace {
struct LowSpaceCase {
    const char* what;
    std::int64_t gigabytes;
    std::int64_t freeBytes;
    std::optional<int> lastRunSecondsAgo;
    std::optional<std::string> reason;
};
} // namespace

TEST_F(AutoCleanTest, LowSpaceTriggersBelowTheLimitAtMostOnceAnHour) {
    const std::int64_t largest = std::numeric_limits<std::int64_t>::max();
    const std::vector<LowSpaceCase> cases{
        {"one byte below", 10, 9'999'999'999, {}, "free space fell below 10 GB"},
        {"at the limit", 10, 10'000'000'000, {}, {}},
        {"an hour after any automatic clean: not yet", 10, 1, 3600, {}},
        {"a second later", 10, 1, 3601, "free space fell below 10 GB"},
        {"unknown free space", 10, largest, {}, {}},
        // A stored limit out of the settings' 1...200 GB reads as the nearest end of it.
        {"a limit of zero reads as 1 GB", 0, 0, {}, "free space fell below 1 GB"},
        {"and a negative one", -5, 999'999'999, {}, "free space fell below 1 GB"},
        {"a limit beyond every byte count reads as 200 GB",
         largest,
         199'999'999'999,
         {},
         "free space fell below 200 GB"},
        {"and leaves more free space alone", largest, 200'000'000'000, {}, {}},
        {"and still leaves unknown space alone", largest, largest, {}, {}},
    };
    const Date now = utc(2025, 6, 10, 9, 0);
    for (const auto& c : cases) {
        test::clearHome();
        Settings s(test::home() + "/low.json");
        s.set("autoCleanOnLowSpace", true);
        s.set("autoCleanLowSpaceGB", c.gigabytes);
        if (c.lastRunSecondsAgo) AutoClean::setLastRun(now - seconds(*c.lastRunSecondsAgo), s);
        EXPECT_EQ(AutoClean::reason(c.freeBytes, s, now), c.reason) << c.what;
    }
}

TEST_F(AutoCleanTest, LowSpaceWinsOverADueScheduleAndIsOffUnlessSwitchedOn) {
    AutoClean::setSchedule(Schedule::weekly, settings);
    AutoClean::setLastRun(utc(2025, 6, 1, 9, 0), settings);
    const Date now = utc(2025, 6, 30, 9, 0);
    EXPECT_EQ(AutoClean::reason(1, settings, now), "weekly clean");
    settings.set("autoCleanOnLowSpace", true);
    EXPECT_EQ(AutoClean::reason(1, settings, now), "free space fell below 10 GB");
}

TEST_F(AutoCleanTest, PlanTakesOnlyWhatIsSafeToDeleteUnattended) {
    auto moved = category("moved");
    moved.movedFrom = Level::warning;
    auto folder = category("folder");
    folder.customFolder = "/data/folder";
    auto both = category("both");
    both.neverAutomatic = true; // and excluded: the first rule that matches names it
    auto byHand = category("by-hand");
    byHand.neverAutomatic = true;
    auto browser = category("browser");
    browser.busyApps = {"org.example.Closed", "org.example.Browser", "org.example.Mail"};
    auto mail = category("mail");
    mail.busyApps = {"org.example.Mail"};
    auto editor = category("editor");
    editor.busyApps = {"org.example.Editor"};
    auto nameless = category("nameless");
    nameless.busyApps = {"org.example.Nameless"};
    const std::vector<CleanupCategory> categories{
        category("logs"),
        category("review", Risk::caution),
        category("trash-it", Risk::safe, CleanAction::Kind::trash),
        category("admin", Risk::safe, CleanAction::Kind::admin),
        category("command", Risk::safe, CleanAction::Kind::command),
        moved,
        folder,
        both,
        byHand,
        browser,
        mail,
        editor,
        nameless,
        category("off"),
        category("caches"),
    };
    const std::vector<RunningApplication> running{
        app(10, "org.example.Mail", "mail-bin", "/Applications/Mail Client.app"),
        app(11, "org.example.Browser", "Web Browser"), app(12, "org.example.Nameless"),
        app(13, "", "org.example.Editor"), // no identifier: matches nothing
    };
    AutoClean::setExcluded({"both", "off"}, settings);

    auto plan = AutoClean::plan(categories, running, settings);
    std::vector<std::string> taken;
    for (const auto& c : plan.categories)
        taken.push_back(c.id);
    EXPECT_EQ(taken, (std::vector<std::string>{"logs", "editor", "caches"}));
    const std::string byHandOnly = "you moved it to Safe to Remove, so only cleaned by hand";
    EXPECT_EQ(plan.skipped, (std::vector<AutoClean::Skip>{
                                {"Name of moved", byHandOnly},
                                {"Name of folder", byHandOnly},
                                {"Name of both", "you turned this one off"},
                                {"Name of by-hand", "only ever cleaned by hand"},
                                {"Name of browser", "Web Browser is open"},
                                {"Name of mail", "Mail Client is open"},
                                {"Name of nameless", "org.example.Nameless is open"},
                                {"Name of off", "you turned this one off"},
                            }));
}

TEST_F(AutoCleanTest, OnlyThisUsersApplicationsKeepACategoryBusy) {
    FakeApplications provider;
    provider.apps = {app(::getpid(), "org.example.Mine"), app(0, "org.example.NoProcess"),
                     app(INT_MAX, "org.example.Gone")};
    if (!test::runningAsRoot()) provider.apps.push_back(app(1, "org.example.Root"));
    auto mine = AutoClean::runningApplications(provider);
    ASSERT_EQ(mine.size(), 1u);
    EXPECT_EQ(mine[0].bundleIdentifier, "org.example.Mine");
}

TEST_F(AutoCleanTest, NotificationSaysWhatWasFreedAndOnlyWhenWantedAndPossible) {
    EXPECT_EQ(AutoClean::notificationTitle(0), "Nothing to clean");
    EXPECT_EQ(AutoClean::notificationTitle(1'500'000), "Freed 1.5 MB");
    EXPECT_EQ(AutoClean::notificationBody(0, "weekly clean"),
              "Bramwick ran a weekly clean. Everything safe was already clean.");
    EXPECT_EQ(AutoClean::notificationBody(2, "free space fell below 10 GB"),
              "Bramwick ran a free space fell below 10 GB and removed caches, logs and build data "
              "that regenerate.");

    test::FakeNotifier notifier;
    notifier.installed = false;
    EXPECT_FALSE(AutoClean::postNotification(0, "daily clean", notifier, settings));
    notifier.installed = true;
    settings.set("autoCleanNotify", false);
    EXPECT_FALSE(AutoClean::postNotification(0, "daily clean", notifier, settings));
    EXPECT_TRUE(notifier.posted.empty());
    settings.remove("autoCleanNotify");
    EXPECT_TRUE(AutoClean::postNotification(0, "daily clean", notifier, settings));
    ASSERT_EQ(notifier.posted.size(), 1u);
    EXPECT_EQ(notifier.posted[0].first, "Nothing to clean");
}

TEST_F(AutoCleanTest, RecordNamesThePlanTheSkippedAndTheItemsInUse) {
    AutoClean::Plan plan;
    plan.categories = {category("logs"), category("caches")};
    EXPECT_EQ(AutoClean::recordTitle("daily clean", 2'500'000'000),
              "Automatic clean (daily clean): 2.5 GB");
    EXPECT_EQ(AutoClean::recordDetail(plan, 1, 0), "Name of logs, Name of caches");
    EXPECT_EQ(AutoClean::recordDetail(plan, 5, 3),
              "Name of logs, Name of caches\n3 items were in use and left alone.");
    EXPECT_EQ(AutoClean::recordDetail(plan, 5, 1),
              "Name of logs, Name of caches\n1 items were in use and left alone.");
    plan.skipped = {{"Trash", "only ever cleaned by hand"}, {"Mail", "Mail is open"}};
    EXPECT_EQ(AutoClean::recordDetail(plan, 0, 0),
              "Nothing to remove \u2014 everything safe was already clean.\n"
              "Skipped: Trash (only ever cleaned by hand), Mail (Mail is open)");
}

TEST_F(AutoCleanTest, StoredValuesReadWithinTheirRangesAndAFutureDateAsNone) {
    // A hand-edited or damaged file: no time of day that is none, no negative size, and no
    // clock set wrong once holding off the automatic clean until a date to come.
    const std::int64_t largest = std::numeric_limits<std::int64_t>::max();
    const std::int64_t smallest = std::numeric_limits<std::int64_t>::min();
    struct Case {
        const char* key;
        std::int64_t stored;
        std::function<std::int64_t(const Settings&)> read;
        std::int64_t expected;
    } cases[] = {
        {"autoCleanHour", largest, AutoClean::hour, 23},
        {"autoCleanHour", -1, AutoClean::hour, 0},
        {"autoCleanMinute", 60, AutoClean::minute, 59},
        {"autoCleanMinute", smallest, AutoClean::minute, 0},
        {"autoCleanLowSpaceGB", 0, AutoClean::lowSpaceGB, 1},
        {"autoCleanLowSpaceGB", largest, AutoClean::lowSpaceGB, 200},
        {"autoCleanLastFreed", smallest, AutoClean::lastFreed, 0},
        {"autoCleanLastFreed", largest, AutoClean::lastFreed, largest},
        {"unusedAppDays", largest, Catalog::unusedAppDays, 3650},
        {"unusedAppDays", -3, Catalog::unusedAppDays, 1},
    };
    for (const auto& c : cases) {
        settings.set(c.key, c.stored);
        EXPECT_EQ(c.read(settings), c.expected) << c.key << " " << c.stored;
    }

    const Date now = std::chrono::system_clock::now();
    AutoClean::setSchedule(Schedule::daily, settings);
    AutoClean::setLastRun(now + hours(24 * 400), settings);
    AutoClean::setEnabledAt(now + hours(24 * 400), settings);
    EXPECT_FALSE(AutoClean::lastRun(settings));
    EXPECT_FALSE(AutoClean::enabledAt(settings));
    // The clean is due as if it never ran: the check arms it now, and it comes at its time.
    EXPECT_FALSE(AutoClean::reason(largest, settings, now));
    ASSERT_TRUE(AutoClean::enabledAt(settings));
    EXPECT_TRUE(AutoClean::reason(largest, settings, now + hours(25)));
}
