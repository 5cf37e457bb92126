#pragma once

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "driver/common/date_time.h"

// Wire bytes written out by hand in the tests: "01 02 24 00 01 D7".

namespace zarvik12m::testing {

using TBytes = std::vector<std::uint8_t>;

inline TBytes Hex(std::string_view text)
{
    TBytes bytes;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(std::string(text.substr(i, 2)), nullptr, 16)));
        i += 2;
    }
    return bytes;
}

inline TBytes Ascii(std::string_view text)
{
    return {text.begin(), text.end()};
}

inline TBytes Blanks(std::size_t count)
{
    return TBytes(count, 0x20);
}

inline TBytes Join(std::initializer_list<TBytes> parts)
{
    TBytes joined;
    for (const TBytes& part : parts) {
        joined.insert(joined.end(), part.begin(), part.end());
    }
    return joined;
}

// A frame as the register would send it: address, length, code, payload
// and the one's complement of the byte sum.
inline TBytes Frame(std::uint8_t address, std::uint8_t code, const TBytes& payload)
{
    TBytes frame = Join({{address, static_cast<std::uint8_t>(payload.size()), code}, payload});
    unsigned sum = 0;
    for (const std::uint8_t byte : frame) {
        sum += byte;
    }
    frame.push_back(static_cast<std::uint8_t>(~sum & 0xFFU));
    return frame;
}

inline TDateTime DateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    TDateTime value = 0;
    if (!TryEncodeDateTime({year, month, day, hour, minute, second, 0}, value)) {
        throw std::invalid_argument("no such date");
    }
    return value;
}

}  // namespace zarvik12m::testing
