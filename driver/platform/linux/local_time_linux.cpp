#include "driver/platform/linux/local_time_linux.h"

#include <langinfo.h>

#include <ctime>
#include <string_view>

namespace zarvik12m {

namespace {

// The time formats of the environment, made once and released when the
// module goes: the library is loaded and unloaded by its callers, and a
// locale left behind at unloading would be lost for good.
class TEnvironmentTimeLocale {
public:
    TEnvironmentTimeLocale() : FLocale(newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr)))
    {
        if (FLocale == static_cast<locale_t>(nullptr)) {
            FLocale = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(nullptr));
        }
    }

    ~TEnvironmentTimeLocale()
    {
        if (FLocale != static_cast<locale_t>(nullptr)) {
            freelocale(FLocale);
        }
    }

    TEnvironmentTimeLocale(const TEnvironmentTimeLocale&) = delete;
    TEnvironmentTimeLocale& operator=(const TEnvironmentTimeLocale&) = delete;

    [[nodiscard]] locale_t Get() const noexcept { return FLocale; }

private:
    locale_t FLocale;
};

locale_t EnvironmentTimeLocale()
{
    static const TEnvironmentTimeLocale locale;
    return locale.Get();
}

std::string FormatPart(const char* format, const std::tm& time, locale_t locale)
{
    char buffer[256];
    const std::size_t length = strftime_l(buffer, sizeof buffer, format, &time, locale);
    return {buffer, length};
}

}  // namespace

TLocalTime CurrentLocalTime()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    localtime_r(&now.tv_sec, &local);
    TLocalTime result;
    result.Year = local.tm_year + 1900;
    result.Month = local.tm_mon + 1;
    result.Day = local.tm_mday;
    result.Hour = local.tm_hour;
    result.Minute = local.tm_min;
    result.Second = local.tm_sec > 59 ? 59 : local.tm_sec;  // a leap second counts as :59
    result.Millisecond = static_cast<int>(now.tv_nsec / 1000000);
    return result;
}

TLocalTimeText LocalDateTimeText(const TLocalTime& time, bool withTime)
{
    return LocalDateTimeText(time, withTime, EnvironmentTimeLocale());
}

TLocalTimeText LocalDateTimeText(const TLocalTime& time, bool withTime, locale_t timeLocale)
{
    std::tm parts{};
    parts.tm_year = time.Year - 1900;
    parts.tm_mon = time.Month - 1;
    parts.tm_mday = time.Day;
    parts.tm_hour = time.Hour;
    parts.tm_min = time.Minute;
    parts.tm_sec = time.Second;
    parts.tm_wday = time.WeekDay;
    parts.tm_yday = time.YearDay;
    parts.tm_isdst = -1;

    std::string text = FormatPart(nl_langinfo_l(D_FMT, timeLocale), parts, timeLocale);
    if (withTime) {
        text += ' ';
        text += FormatPart(nl_langinfo_l(T_FMT, timeLocale), parts, timeLocale);
    }
    const std::string_view codeset = nl_langinfo_l(CODESET, timeLocale);
    return {text, codeset == "UTF-8"};
}

}  // namespace zarvik12m
