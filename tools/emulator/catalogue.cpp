#include "tools/emulator/catalogue.h"

#include <array>

namespace zarvik12m::emulator {

namespace {

// clang-format off
constexpr std::array<TMessageShape, LastMessage + 1> Shapes = {{
    {0x00, 0},  // no message 0
    // 1..10: the register's requests
    {0x08, 17}, {0x09, 17}, {0x1E, 48}, {0x21, 27}, {0x1C, 12}, {0x20, 12}, {0x22, 17}, {0xA2, 17},
    {0x23, AnyLength}, {0xA3, AnyLength},
    // 11..31: the register's answers
    {0x24, 38}, {0x24, 1}, {0x25, 1}, {0x1A, 1}, {0x0F, 1}, {0x10, 1}, {0x11, 1}, {0x12, 27}, {0x12, 1},
    {0x13, 1}, {0x1D, 12}, {0x1D, 1}, {0x15, 2}, {0x1B, 13}, {0x26, 6}, {0x27, 1}, {0x0A, 1}, {0x14, 1},
    {0x28, 42}, {0x01, AnyLength}, {0x02, 1},
    // 32..47: the computer's answers to the register's requests
    {0x08, 25}, {0x08, 1}, {0x09, 25}, {0x09, 1}, {0x1E, 1}, {0x21, 1}, {0x1C, 1}, {0x20, 1}, {0x22, 81},
    {0x22, 1}, {0xA2, 81}, {0xA2, 1}, {0x23, 81}, {0x23, 1}, {0xA3, 81}, {0xA3, 1},
    // 48..65: the computer's commands
    {0x24, 2}, {0x25, 40}, {0x1A, 0}, {0x0F, 48}, {0x10, 1}, {0x11, 0}, {0x12, 5}, {0x13, 1}, {0x1D, 0},
    {0x15, 0}, {0x1B, 0}, {0x26, 0}, {0x27, 6}, {0x0A, 1}, {0x00, 17}, {0x28, 2}, {0x01, 5},
    {0x02, AnyLength},
}};
// clang-format on

bool Fits(const TMessageShape& shape, std::uint8_t code, std::uint8_t length)
{
    return shape.Code == code && (shape.Length == length || shape.Length == AnyLength);
}

}  // namespace

TMessageShape ShapeOf(std::uint8_t message)
{
    return message >= 1 && message <= LastMessage ? Shapes[message] : TMessageShape{0, 0};
}

std::uint8_t MessageOf(std::uint8_t code, std::uint8_t length)
{
    for (std::uint8_t message = FirstServerMessage; message <= LastMessage; ++message) {
        if (Fits(Shapes[message], code, length)) {
            return message;
        }
    }
    for (std::uint8_t message = 1; message < FirstServerMessage; ++message) {
        if (Fits(Shapes[message], code, length)) {
            return message;
        }
    }
    return 0;
}

}  // namespace zarvik12m::emulator
