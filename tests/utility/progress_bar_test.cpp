#include <string>

#include <gtest/gtest.h>

#include "utility/progress_bar.h"

namespace zarvik12m {
namespace {

std::string Bar(std::size_t dark, std::size_t light)
{
    return std::string(dark, ProgressDarkShade) + std::string(light, ProgressLightShade);
}

TEST(ProgressBar, RoundsHalvesToEven)
{
    const struct {
        std::int32_t Position;
        std::int32_t Maximum;
        std::string Expected;
    } cases[] = {
        {0, 4000, Bar(0, 60)},     {100, 4000, Bar(2, 58)},  // 1.5 rounds to 2
        {300, 4000, Bar(4, 56)},                             // 4.5 rounds to 4
        {2000, 4000, Bar(30, 30)}, {4000, 4000, Bar(60, 0)},
        {4100, 4000, Bar(62, 0)},                       // beyond the maximum: a longer dark run, no light one
        {17100, 4000, Bar(0, 60)},                      // 256.5 rounds to 256, of which the low 8 bits are 0
        {5, 10, Bar(30, 30)},      {7, 0, Bar(0, 60)},  // no maximum: nothing to show
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProgressBar(c.Position, c.Maximum, 60), c.Expected) << c.Position << "/" << c.Maximum;
    }
}

TEST(ProgressBar, WrapsThePositionTimesWidthAsA32BitProduct)
{
    // 2^31 / 2 x 4 wraps to -2^31: -2^31 / 2^30 = -2, whose low 8 bits are 254.
    EXPECT_EQ(ProgressBar(1 << 29, 1 << 30, 4), Bar(254, 0));
}

}  // namespace
}  // namespace zarvik12m
