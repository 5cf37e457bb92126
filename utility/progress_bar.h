#pragma once

#include <cstdint>
#include <string>

// The text progress bar of the long commands, in DOS shade characters.

namespace zarvik12m {

inline constexpr char ProgressDarkShade = static_cast<char>(178);
inline constexpr char ProgressLightShade = static_cast<char>(176);

// position x width (a 32-bit product) / maximum, rounded to the nearest
// integer with halves to even, of which the low 8 bits are the number of
// dark characters; the rest of the width is light. A position beyond the
// maximum gives a longer dark run and no light one. A maximum of 0 gives
// an empty (all light) bar.
std::string ProgressBar(std::int32_t position, std::int32_t maximum, std::uint8_t width);

}  // namespace zarvik12m
