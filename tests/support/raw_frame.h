#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace zarvik12m::testing {

// A frame built by hand, the way the register builds it, independent of
// the driver's codec: address, length, code, payload, and 0xFF xor the
// 8-bit sum of everything before the checksum.
inline std::vector<std::uint8_t> RawFrame(std::uint8_t address, std::uint8_t code,
                                          const std::vector<std::uint8_t>& payload)
{
    std::vector<std::uint8_t> frame{address, static_cast<std::uint8_t>(payload.size()), code};
    frame.reserve(frame.size() + payload.size() + 1);
    frame.insert(frame.end(), payload.begin(), payload.end());
    unsigned sum = 0;
    for (const std::uint8_t byte : frame) {
        sum += byte;
    }
    frame.push_back(static_cast<std::uint8_t>(0xFFU ^ (sum & 0xFFU)));
    return frame;
}

inline std::vector<std::uint8_t> TextBytes(std::string_view text)
{
    return {text.begin(), text.end()};
}

}  // namespace zarvik12m::testing
