#include "utility/progress_bar.h"

#include <cmath>

namespace zarvik12m {

namespace {

double RoundHalfToEven(double value)
{
    const double lower = std::floor(value);
    const double difference = value - lower;
    if (difference < 0.5) {
        return lower;
    }
    if (difference > 0.5) {
        return lower + 1;
    }
    return std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
}

}  // namespace

std::string ProgressBar(std::int32_t position, std::int32_t maximum, std::uint8_t width)
{
    std::uint8_t filled = 0;
    if (maximum != 0) {
        // The product wraps as a 32-bit integer does.
        const auto product = static_cast<std::int32_t>(static_cast<std::uint32_t>(position) * width);
        const double rounded = RoundHalfToEven(static_cast<double>(product) / maximum);
        filled = static_cast<std::uint8_t>(static_cast<std::int64_t>(rounded));
    }
    std::string bar(filled, ProgressDarkShade);
    if (width > filled) {
        bar.append(static_cast<std::size_t>(width - filled), ProgressLightShade);
    }
    return bar;
}

}  // namespace zarvik12m
