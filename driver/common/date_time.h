#pragma once

#include <functional>
#include <string>

#include "driver/platform/local_time.h"

// Date-times are counted as the driver's wire and logs expect them: days
// since 30 December 1899 with the time of day as the fraction. Before that
// day the whole part counts days backwards and the fraction is still the
// time of day (-1.25 is 29 December 1899, 06:00).

namespace zarvik12m {

using TDateTime = double;

// The calendar fields of a date-time: the platform's local time record, so
// that the system's clock and formats take them as they are.
using TDateTimeParts = TLocalTime;

// 1 January of year 1, 00:00: what an invalid wire date decodes to.
inline constexpr TDateTime FirstDateTime = -693593.0;

// Proleptic Gregorian dates of years 1..9999 and times 00:00:00.000 to
// 23:59:59.999; false for anything else. WeekDay and YearDay are not read.
bool TryEncodeDateTime(const TDateTimeParts& parts, TDateTime& result);

// Every field, the day of the week and of the year included.
TDateTimeParts DecodeDateTime(TDateTime value);

// The current local date and time, to the millisecond.
TDateTime Now();

// The system's short date, a blank and its long time (LocalDateTimeText);
// the date alone at exactly midnight. The text is Windows-1251, as every
// text the driver logs.
std::string DateTimeToText(TDateTime value);

// The same with the system's formatting replaced (for the tests: another
// locale than the environment's).
using TLocalTimeFormatter = std::function<TLocalTimeText(const TLocalTime& time, bool withTime)>;
std::string DateTimeToText(TDateTime value, const TLocalTimeFormatter& format);

}  // namespace zarvik12m
