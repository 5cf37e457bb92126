#pragma once

#include <cmath>

namespace zarvik12m {

// Rounds to the nearest whole number, a tie to the even one (12.5 → 12,
// 13.5 → 14), as the register's money and quantity fields and the progress
// bar both round.
inline double RoundHalfEven(double value)
{
    const double lower = std::floor(value);
    const double fraction = value - lower;
    if (fraction < 0.5) {
        return lower;
    }
    if (fraction > 0.5) {
        return lower + 1.0;
    }
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

}  // namespace zarvik12m
