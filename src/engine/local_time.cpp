#include "engine/local_time.h"

#include <ctime>
#include <initializer_list>

namespace bramwick::LocalTime {

namespace {
using namespace std::chrono;

// `Date` counts nanoseconds in 64 bits (about ±9.22e9 s around 1970); stay inside with room to
// spare for the searches below.
constexpr std::int64_t dateRange = 9'100'000'000;
constexpr std::int64_t searchWindow = 30 * 3600; // more than any zone's offset from UTC

std::int64_t civilSeconds(year_month_day day, std::int64_t hour, std::int64_t minute,
                          std::int64_t second) {
    return static_cast<std::int64_t>(sys_days(day).time_since_epoch().count()) * 86400 +
           hour * 3600 + minute * 60 + second;
}

// The local wall-clock reading at `t`, counted as seconds of a clock that has no zones.
std::optional<std::int64_t> wall(std::int64_t t) {
    std::time_t value = static_cast<std::time_t>(t);
    std::tm tm{};
    if (!localtime_r(&value, &tm)) return std::nullopt;
    year_month_day day{year(tm.tm_year + 1900), month(static_cast<unsigned>(tm.tm_mon + 1)),
                       std::chrono::day(static_cast<unsigned>(tm.tm_mday))};
    return civilSeconds(day, tm.tm_hour, tm.tm_min, tm.tm_sec);
}
} // namespace

year_month_day dayOf(Date date) {
    ::tzset();
    std::time_t t = static_cast<std::time_t>(floor<seconds>(date.time_since_epoch()).count());
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return year_month_day(floor<days>(date));
    return year_month_day{year(tm.tm_year + 1900), month(static_cast<unsigned>(tm.tm_mon + 1)),
                          std::chrono::day(static_cast<unsigned>(tm.tm_mday))};
}

std::optional<Date> moment(year_month_day day, std::int64_t hour, std::int64_t minute) {
    if (!day.ok() || hour < 0 || hour > 23 || minute < 0 || minute > 59) return std::nullopt;
    ::tzset();
    const std::int64_t target = civilSeconds(day, hour, minute, 0);
    if (target < -dateRange + searchWindow || target > dateRange - searchWindow)
        return std::nullopt;

    // Every moment that reads `target` lies at target minus one of the offsets in force around
    // it; with at most one change of offset near a day, the offsets at both ends of the window
    // and mktime's own answer cover them all. The earliest reading that matches is the first.
    std::optional<std::int64_t> best;
    auto consider = [&](std::int64_t t) {
        if (wall(t) == target && (!best || t < *best)) best = t;
    };
    for (std::int64_t edge : {target - searchWindow, target + searchWindow})
        if (auto reading = wall(edge)) consider(target - (*reading - edge));
    std::tm tm{};
    tm.tm_year = static_cast<int>(day.year()) - 1900;
    tm.tm_mon = static_cast<int>(static_cast<unsigned>(day.month())) - 1;
    tm.tm_mday = static_cast<int>(static_cast<unsigned>(day.day()));
    tm.tm_hour = static_cast<int>(hour);
    tm.tm_min = static_cast<int>(minute);
    tm.tm_isdst = -1;
    consider(static_cast<std::int64_t>(std::mktime(&tm))); // -1 counts only when it checks out

    if (!best) {
        // The clock skipped this time: the first moment whose reading is past it is the moment
        // the clock went forward.
        std::int64_t before = target - searchWindow, after = target + searchWindow;
        while (after - before > 1) {
            std::int64_t middle = before + (after - before) / 2;
            auto reading = wall(middle);
            if (!reading) return std::nullopt;
            (*reading >= target ? after : before) = middle;
        }
        best = after;
    }
    return Date(duration_cast<Date::duration>(seconds(*best)));
}

year_month_day addingDays(year_month_day day, int count) {
    return year_month_day(sys_days(day) + days(count));
}

year_month_day addingMonths(year_month_day day, int count) {
    year_month_day moved = day + months(count);
    if (!moved.ok()) moved = moved.year() / moved.month() / last;
    return moved;
}

} // namespace bramwick::LocalTime
