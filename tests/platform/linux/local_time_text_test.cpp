// Dates and times as the locale writes them (the Linux files' own
// LocalDateTimeText, given a locale of the test's choosing).
#include <locale.h>  // NOLINT(modernize-deprecated-headers): POSIX locale_t

#include <ctime>
#include <string>

#include <gtest/gtest.h>

#include "driver/common/cp1251.h"
#include "driver/common/date_time.h"
#include "driver/platform/linux/local_time_linux.h"
#include "tests/support/encode_date_time.h"

namespace zarvik12m {
namespace {

// A locale owned by a test, or null when the machine lacks it.
class TLocale {
public:
    explicit TLocale(const char* name) : FLocale(newlocale(LC_TIME_MASK | LC_CTYPE_MASK, name, nullptr)) {}
    ~TLocale()
    {
        if (FLocale != nullptr) {
            freelocale(FLocale);
        }
    }
    TLocale(const TLocale&) = delete;
    TLocale& operator=(const TLocale&) = delete;
    [[nodiscard]] locale_t Get() const { return FLocale; }

private:
    locale_t FLocale;
};

std::string TextIn(TDateTime value, locale_t locale)
{
    return DateTimeToText(
        value, [locale](const TLocalTime& time, bool withTime) { return LocalDateTimeText(time, withTime, locale); });
}

TEST(DateTimeText, FollowsTheLocaleShortDateAndLongTime)
{
    const TLocale c("C");
    ASSERT_NE(c.Get(), nullptr);
    EXPECT_EQ(TextIn(Encode(2026, 12, 7, 9, 41, 5), c.Get()), "12/07/26 09:41:05");

    const TLocale russian("ru_RU.UTF-8");
    if (russian.Get() == nullptr) {
        GTEST_SKIP() << "no ru_RU.UTF-8 locale here";
    }
    EXPECT_EQ(TextIn(Encode(2026, 12, 7, 9, 41, 5), russian.Get()), "07.12.2026 09:41:05");
}

TEST(DateTimeText, LeavesOutTheTimeAtExactlyMidnight)
{
    const TLocale c("C");
    EXPECT_EQ(TextIn(Encode(2026, 12, 7), c.Get()), "12/07/26");
    EXPECT_EQ(TextIn(Encode(2026, 12, 7, 0, 0, 0, 1), c.Get()), "12/07/26 00:00:00");
    EXPECT_EQ(TextIn(Encode(1, 1, 1), c.Get()), "01/01/01");
}

TEST(DateTimeText, IsWindows1251WhateverTheLocaleCharset)
{
    // A date format with a month name shows the conversion: ru_RU's
    // abbreviated month names are Cyrillic.
    const TLocale russian("ru_RU.UTF-8");
    if (russian.Get() == nullptr) {
        GTEST_SKIP() << "no ru_RU.UTF-8 locale here";
    }
    char buffer[64];
    std::tm time{};
    time.tm_mon = 11;
    const std::size_t length = strftime_l(buffer, sizeof buffer, "%b", &time, russian.Get());
    const std::string month = Utf8ToCp1251(std::string(buffer, length));
    EXPECT_EQ(month, "дек"_cp1251);
}

}  // namespace
}  // namespace zarvik12m
