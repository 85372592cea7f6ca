#pragma once

#include <optional>

#include "dates/calendar.h"

// Moving between days: year steps by the leap-year table, whole-day steps
// that keep the time of day, and the range of days the program moves in.
namespace kuv {

// The first and last day the date picker takes.
inline constexpr int kFirstYear = 1601;
inline constexpr int kLastYear = 9999;

// Days of a year step from current (365 or 366), by the leap-year table.
int YearStepDays(TDateTime current, bool forward);

// The value days whole days away, with its time of day; nothing when that day
// lies outside kFirstYear-01-01 to kLastYear-12-31. Adding days to the value
// itself is wrong before 1899-12-30, where the time of day counts away from
// zero.
std::optional<TDateTime> ShiftDays(TDateTime value, int days);

// The day year-month-day at the time of day of value; nothing when it is no
// valid day in the range.
std::optional<TDateTime> WithDay(TDateTime value, int year, int month, int day);

}  // namespace kuv
