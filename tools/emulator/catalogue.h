#pragma once

#include <cstdint>

// What travels on the register's line: every message has a number (1..65),
// a protocol code and a payload length. A register on a shared line knows a
// frame by these alone, whoever it is meant for.

namespace zarvik12m::emulator {

// Commands of the computer that this register serves.
enum TServerCommand : std::uint8_t {
    scReadGoods = 48,
    scWriteGoods = 49,
    scClearGoods = 50,
    scState = 57,
    scSerialNumber = 58,
    scDateTime = 59,
};

// Answers of the register to them.
enum TRegisterAnswer : std::uint8_t {
    raGoodsFound = 11,
    raGoodsStatus = 12,
    raWriteStatus = 13,
    raClearStatus = 14,
    raState = 23,
    raSerialNumber = 24,
    raDateTime = 25,
};

inline constexpr std::uint8_t FirstServerMessage = 32;  // 32..47 answers, 48..65 commands
inline constexpr std::uint8_t FirstServerCommand = 48;
inline constexpr std::uint8_t LastMessage = 65;

// Payload length of a message that may carry any number of bytes.
inline constexpr std::uint8_t AnyLength = 255;

struct TMessageShape {
    std::uint8_t Code;
    std::uint8_t Length;
};

// Code and payload length of message 1..65.
TMessageShape ShapeOf(std::uint8_t message);

// The message that a frame with this code and payload length is: the
// computer's messages first (32..65), then the register's (1..31); 0 when
// no message fits.
std::uint8_t MessageOf(std::uint8_t code, std::uint8_t length);

}  // namespace zarvik12m::emulator
