#include "driver/common/date_time.h"

#include <cmath>
#include <cstdint>

#include "driver/common/cp1251.h"

namespace zarvik12m {

namespace {

constexpr long DaysFrom1970To1899Epoch = 25569;  // 30 December 1899 is day -25569 of 1970
constexpr long MillisecondsPerDay = 86400000;

// Days since 1 January 1970 of a proleptic Gregorian date.
constexpr long DaysFromCivil(long year, long month, long day)
{
    year -= month <= 2 ? 1 : 0;
    const long era = (year >= 0 ? year : year - 399) / 400;
    const long yearOfEra = year - era * 400;
    const long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

struct TCivilDate {
    long Year;
    long Month;
    long Day;
};

constexpr TCivilDate CivilFromDays(long days)
{
    days += 719468;
    const long era = (days >= 0 ? days : days - 146096) / 146097;
    const long dayOfEra = days - era * 146097;
    const long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long monthIndex = (5 * dayOfYear + 2) / 153;
    const long day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const long month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

constexpr bool IsLeapYear(int year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

constexpr int DaysInMonth(int year, int month)
{
    constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

}  // namespace

bool TryEncodeDateTime(const TDateTimeParts& parts, TDateTime& result)
{
    if (parts.Year < 1 || parts.Year > 9999 || parts.Month < 1 || parts.Month > 12 || parts.Day < 1 ||
        parts.Day > DaysInMonth(parts.Year, parts.Month) || parts.Hour < 0 || parts.Hour > 23 || parts.Minute < 0 ||
        parts.Minute > 59 || parts.Second < 0 || parts.Second > 59 || parts.Millisecond < 0 ||
        parts.Millisecond > 999) {
        return false;
    }
    const long days = DaysFromCivil(parts.Year, parts.Month, parts.Day) + DaysFrom1970To1899Epoch;
    const long milliseconds =
        ((static_cast<long>(parts.Hour) * 60 + parts.Minute) * 60 + parts.Second) * 1000 + parts.Millisecond;
    const double time = static_cast<double>(milliseconds) / static_cast<double>(MillisecondsPerDay);
    result = static_cast<double>(days) + (days < 0 ? -time : time);
    return true;
}

TDateTimeParts DecodeDateTime(TDateTime value)
{
    const double whole = std::trunc(value);
    const long days = static_cast<long>(whole) - DaysFrom1970To1899Epoch;
    long milliseconds = std::lround(std::fabs(value - whole) * static_cast<double>(MillisecondsPerDay));
    if (milliseconds >= MillisecondsPerDay) {
        milliseconds = MillisecondsPerDay - 1;
    }
    const TCivilDate date = CivilFromDays(days);
    TDateTimeParts parts;
    parts.Year = static_cast<int>(date.Year);
    parts.Month = static_cast<int>(date.Month);
    parts.Day = static_cast<int>(date.Day);
    parts.Millisecond = static_cast<int>(milliseconds % 1000);
    milliseconds /= 1000;
    parts.Second = static_cast<int>(milliseconds % 60);
    milliseconds /= 60;
    parts.Minute = static_cast<int>(milliseconds % 60);
    parts.Hour = static_cast<int>(milliseconds / 60);
    parts.WeekDay = static_cast<int>(((days % 7) + 11) % 7);  // 1 January 1970 was a Thursday
    parts.YearDay = static_cast<int>(days - DaysFromCivil(date.Year, 1, 1));
    return parts;
}

TDateTime Now()
{
    TDateTime result = 0;
    TryEncodeDateTime(CurrentLocalTime(), result);
    return result;
}

std::string DateTimeToText(TDateTime value)
{
    return DateTimeToText(value,
                          [](const TLocalTime& time, bool withTime) { return LocalDateTimeText(time, withTime); });
}

std::string DateTimeToText(TDateTime value, const TLocalTimeFormatter& format)
{
    const TDateTimeParts parts = DecodeDateTime(value);
    const bool withTime = parts.Hour != 0 || parts.Minute != 0 || parts.Second != 0 || parts.Millisecond != 0;
    const TLocalTimeText text = format(parts, withTime);
    return text.Utf8 ? Utf8ToCp1251(text.Text) : text.Text;
}

}  // namespace zarvik12m
