#pragma once

#include <string>

namespace zarvik12m {

// A moment of the local calendar, as the system shows it; also the parts
// that the driver's date-times decode to (TDateTimeParts).
struct TLocalTime {
    int Year = 0;
    int Month = 0;   // 1..12
    int Day = 0;     // 1..31
    int Hour = 0;    // 0..23
    int Minute = 0;  // 0..59
    int Second = 0;  // 0..59: a leap second counts as :59
    int Millisecond = 0;
    int WeekDay = 0;  // 0 for Sunday
    int YearDay = 0;  // 0 for 1 January
};

// The current local date and time, to the millisecond (weekday and day of
// the year left 0).
TLocalTime CurrentLocalTime();

// How the system writes a moment: its user's short date format and, when
// withTime, a blank and its long time format. Linux: LC_TIME of the
// environment (LC_ALL, LC_TIME, LANG); Windows: the user's locale.
struct TLocalTimeText {
    std::string Text;
    bool Utf8 = false;  // UTF-8 text; otherwise the bytes of the locale's own charset
};
TLocalTimeText LocalDateTimeText(const TLocalTime& time, bool withTime);

}  // namespace zarvik12m
