#include "driver/platform/local_time.h"

#include <windows.h>

#include <array>

namespace zarvik12m {

namespace {

std::string Utf8Of(const wchar_t* text, int length)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text, length, result.data(), size, nullptr, nullptr);
    }
    return result;
}

SYSTEMTIME SystemTimeOf(const TLocalTime& time)
{
    SYSTEMTIME result{};
    result.wYear = static_cast<WORD>(time.Year);
    result.wMonth = static_cast<WORD>(time.Month);
    result.wDay = static_cast<WORD>(time.Day);
    result.wDayOfWeek = static_cast<WORD>(time.WeekDay);
    result.wHour = static_cast<WORD>(time.Hour);
    result.wMinute = static_cast<WORD>(time.Minute);
    result.wSecond = static_cast<WORD>(time.Second);
    result.wMilliseconds = static_cast<WORD>(time.Millisecond);
    return result;
}

}  // namespace

TLocalTime CurrentLocalTime()
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    TLocalTime result;
    result.Year = now.wYear;
    result.Month = now.wMonth;
    result.Day = now.wDay;
    result.Hour = now.wHour;
    result.Minute = now.wMinute;
    result.Second = now.wSecond > 59 ? 59 : now.wSecond;
    result.Millisecond = now.wMilliseconds;
    return result;
}

TLocalTimeText LocalDateTimeText(const TLocalTime& time, bool withTime)
{
    const SYSTEMTIME moment = SystemTimeOf(time);
    std::array<wchar_t, 128> buffer{};
    // The lengths count the terminating null.
    int length = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &moment, nullptr, buffer.data(),
                                static_cast<int>(buffer.size()));
    std::string text = length > 1 ? Utf8Of(buffer.data(), length - 1) : std::string{};
    if (withTime) {
        length =
            GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &moment, nullptr, buffer.data(), static_cast<int>(buffer.size()));
        text += ' ';
        text += length > 1 ? Utf8Of(buffer.data(), length - 1) : std::string{};
    }
    return {text, true};
}

}  // namespace zarvik12m
