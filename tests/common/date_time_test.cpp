#include <cmath>

#include <gtest/gtest.h>

#include "driver/common/date_time.h"
#include "tests/support/encode_date_time.h"

namespace zarvik12m {
namespace {

TEST(DateTime, CountsDaysFromThe1899Epoch)
{
    EXPECT_EQ(Encode(1899, 12, 30), 0.0);
    EXPECT_EQ(Encode(2026, 12, 7), 46363.0);
    EXPECT_EQ(Encode(1, 1, 1), -693593.0);
    EXPECT_EQ(Encode(1899, 12, 29, 6), -1.25);  // before the epoch the time still counts forwards
    EXPECT_DOUBLE_EQ(Encode(2026, 12, 7, 18), 46363.75);
}

TEST(DateTime, DecodesWhatItEncodes)
{
    const TDateTimeParts samples[] = {
        {2026, 12, 7, 9, 41, 5, 250}, {1, 1, 1, 0, 0, 0, 0},      {9999, 12, 31, 23, 59, 59, 999},
        {2000, 2, 29, 12, 0, 0, 0},   {1899, 12, 29, 6, 0, 0, 0}, {1950, 1, 1, 0, 0, 1, 0},
    };
    for (const TDateTimeParts& sample : samples) {
        TDateTime value = 0;
        ASSERT_TRUE(TryEncodeDateTime(sample, value));
        const TDateTimeParts decoded = DecodeDateTime(value);
        EXPECT_EQ(decoded.Year, sample.Year);
        EXPECT_EQ(decoded.Month, sample.Month);
        EXPECT_EQ(decoded.Day, sample.Day);
        EXPECT_EQ(decoded.Hour, sample.Hour);
        EXPECT_EQ(decoded.Minute, sample.Minute);
        EXPECT_EQ(decoded.Second, sample.Second);
        EXPECT_EQ(decoded.Millisecond, sample.Millisecond);
    }
}

// The weekday and the day of the year are what the system's formats read
// for names of days and day numbers; before the epoch too.
TEST(DateTime, DecodesTheDayOfTheWeekAndOfTheYear)
{
    const struct {
        TDateTime Value;
        int WeekDay;
        int YearDay;
    } samples[] = {
        {Encode(2026, 12, 7, 9, 41), 1, 340},
        {Encode(1899, 12, 29, 6), 5, 362},
        {Encode(1, 1, 1), 1, 0},
        {Encode(2000, 12, 31, 23, 59, 59, 999), 0, 365},
    };
    for (const auto& sample : samples) {
        const TDateTimeParts decoded = DecodeDateTime(sample.Value);
        EXPECT_EQ(decoded.WeekDay, sample.WeekDay) << decoded.Year << '-' << decoded.Month << '-' << decoded.Day;
        EXPECT_EQ(decoded.YearDay, sample.YearDay) << decoded.Year << '-' << decoded.Month << '-' << decoded.Day;
    }
}

TEST(DateTime, RefusesImpossibleDates)
{
    TDateTime value = 0;
    EXPECT_FALSE(TryEncodeDateTime({2025, 2, 29, 0, 0, 0, 0}, value));
    EXPECT_FALSE(TryEncodeDateTime({1900, 2, 29, 0, 0, 0, 0}, value));
    EXPECT_FALSE(TryEncodeDateTime({0, 1, 1, 0, 0, 0, 0}, value));
    EXPECT_FALSE(TryEncodeDateTime({10000, 1, 1, 0, 0, 0, 0}, value));
    EXPECT_FALSE(TryEncodeDateTime({2026, 4, 31, 0, 0, 0, 0}, value));
    EXPECT_FALSE(TryEncodeDateTime({2026, 1, 1, 24, 0, 0, 0}, value));
    EXPECT_FALSE(TryEncodeDateTime({2026, 1, 1, 0, 60, 0, 0}, value));
    EXPECT_FALSE(TryEncodeDateTime({2026, 1, 1, 0, 0, 60, 0}, value));
    EXPECT_FALSE(TryEncodeDateTime({2026, 1, 1, 0, 0, 0, 1000}, value));
}

TEST(DateTime, NowIsTheLocalTime)
{
    const TDateTime now = Now();
    const std::time_t seconds = std::time(nullptr);
    std::tm local{};
    localtime_r(&seconds, &local);
    const TDateTime expected =
        Encode(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    EXPECT_NEAR(now, expected, 2.0 / 86400.0);
}

}  // namespace
}  // namespace zarvik12m
