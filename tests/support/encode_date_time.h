#pragma once

#include <gtest/gtest.h>

#include "driver/common/date_time.h"

namespace zarvik12m {

// The date-time of a calendar date and time of day, failing the test when
// it is no valid one.
inline TDateTime Encode(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int millisecond = 0)
{
    TDateTime result = 0;
    EXPECT_TRUE(TryEncodeDateTime({year, month, day, hour, minute, second, millisecond}, result));
    return result;
}

}  // namespace zarvik12m
