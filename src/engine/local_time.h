// Calendar arithmetic in the user's local time: the C library's time zone, which follows TZ.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "engine/models.h"

namespace bramwick::LocalTime {

// The calendar day on which `date` falls in local time.
std::chrono::year_month_day dayOf(Date date);

// `day` at hour:minute:00 local time. On the day the clock goes forward, a time inside the gap
// gives the first moment after the gap (02:30 → 03:00); on the day it goes back, a time that
// happens twice gives its first occurrence. None for an impossible day, hour or minute, or a
// moment beyond the range of `Date`.
std::optional<Date> moment(std::chrono::year_month_day day, std::int64_t hour, std::int64_t minute);

// `day` moved by whole days or calendar months; a month move that lands past the end of a
// shorter month stays on its last day (31 January + 1 month = 28 or 29 February).
std::chrono::year_month_day addingDays(std::chrono::year_month_day day, int days);
std::chrono::year_month_day addingMonths(std::chrono::year_month_day day, int months);

} // namespace bramwick::LocalTime
