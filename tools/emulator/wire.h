#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The byte level of the register's line, written from the register's side:
// frames, the address byte, big-endian and packed BCD numbers, and the
// register's DOS Cyrillic character set. Kept apart from the driver's own
// codec on purpose, so that a fault in either shows up as a disagreement
// on the wire.

namespace zarvik12m::emulator {

using TBytes = std::vector<std::uint8_t>;

// A frame is address, payload length, protocol code, payload and checksum.
inline constexpr std::size_t FrameOverhead = 4;
inline constexpr std::size_t MaxPayloadLength = 251;

// One's complement of the 8-bit sum of the bytes.
std::uint8_t FrameChecksum(std::span<const std::uint8_t> bytes);

// Network number 1..99 to its address byte, tens in the high nibble.
std::uint8_t AddressOf(std::uint8_t netNumber);

// The network number of an address byte, or 0 when the byte is no address
// (a nibble above 9, or 00).
std::uint8_t NetNumberOf(std::uint8_t address);

std::uint8_t ToBcd(unsigned value);  // 0..99

TBytes BuildFrame(std::uint8_t netNumber, std::uint8_t code, std::span<const std::uint8_t> payload);

void PutWord(TBytes& out, std::uint16_t value);
void PutLong(TBytes& out, std::uint32_t value);
std::uint16_t GetWord(const std::uint8_t* place);
std::uint32_t GetLong(const std::uint8_t* place);

// Windows-1251 to the register's DOS Cyrillic and back, byte by byte.
std::uint8_t WinToDos(std::uint8_t byte);
std::uint8_t DosToWin(std::uint8_t byte);

// A Windows-1251 text as a field of the given width in DOS Cyrillic, cut
// or padded with blanks.
void PutDosField(TBytes& out, std::string_view text, std::size_t width);

// A DOS Cyrillic field as Windows-1251 text without its trailing blanks.
std::string GetDosField(const std::uint8_t* place, std::size_t width);

// Bytes as "01 02 24": for traces and messages.
std::string HexText(std::span<const std::uint8_t> bytes);

}  // namespace zarvik12m::emulator
