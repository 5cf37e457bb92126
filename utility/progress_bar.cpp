#include "utility/progress_bar.h"

#include "driver/common/rounding.h"

namespace zarvik12m {

std::string ProgressBar(std::int32_t position, std::int32_t maximum, std::uint8_t width)
{
    std::uint8_t filled = 0;
    if (maximum != 0) {
        // The product wraps as a 32-bit integer does.
        const auto product = static_cast<std::int32_t>(static_cast<std::uint32_t>(position) * width);
        const double rounded = RoundHalfEven(static_cast<double>(product) / maximum);
        filled = static_cast<std::uint8_t>(static_cast<std::int64_t>(rounded));
    }
    std::string bar(filled, ProgressDarkShade);
    if (width > filled) {
        bar.append(static_cast<std::size_t>(width - filled), ProgressLightShade);
    }
    return bar;
}

}  // namespace zarvik12m
