#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// The catalogue of every message the driver and the register exchange.
// The rest of the driver names a message by its command number (1..66);
// the protocol code is the byte that stands on the wire. One code can carry
// two answers (goods found or an error), told apart by payload length.

namespace zarvik12m {

// A frame: address, length, code, payload, checksum.
inline constexpr std::size_t FrameOverhead = 4;
inline constexpr std::size_t MaxFrameLength = 255;
inline constexpr std::size_t MaxPayloadLength = MaxFrameLength - FrameOverhead;  // 251

// The payload length of catalogue entries that take any length.
inline constexpr std::uint8_t AnyPayloadLength = 255;

inline constexpr std::uint8_t CommandCount = 66;

// The numbers of the commands the rest of the driver refers to by name.
inline constexpr std::uint8_t LastKKMResponse = 31;  // 1..31 are what the register sends
inline constexpr std::uint8_t WriteRPZUCommand = 65;
inline constexpr std::uint8_t UnknownCommand = 66;  // bytes that formed no frame

struct TCommandDescriptor {
    std::uint8_t PayloadLength;    // AnyPayloadLength: any length
    std::uint8_t ProtocolCommand;  // the code on the wire
    std::string_view Description;  // Windows-1251, written by the command log
};

// Indexed by command number 1..66; entry 0 stands for no command (length
// 0, code 0, no text), so that a zero-filled record looks nothing up.
extern const std::array<TCommandDescriptor, CommandCount + 1> CommandCatalogue;

constexpr bool IsCatalogued(std::uint8_t commandNumber) noexcept
{
    return commandNumber >= 1 && commandNumber <= CommandCount;
}

}  // namespace zarvik12m
