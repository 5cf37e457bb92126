#include "tools/emulator/wire.h"

#include <array>

namespace zarvik12m::emulator {

namespace {

// DOS Cyrillic bytes 0xB0..0xDF (box drawing) and 0xF2..0xFF have no
// letter of their own; these are the Windows-1251 bytes the register's
// texts turn into there.
constexpr std::array<std::uint8_t, 48> DosBoxToWin = {
    0x80, 0x81, 0x82, 0x83, 0x84, 0xC1, 0xC2, 0xC0, 0xA9, 0x85, 0x86, 0x87, 0x88, 0xA2, 0xA5, 0x89,
    0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F, 0xE3, 0xC3, 0x90, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0xA4,
    0xF0, 0xD0, 0xCA, 0xCB, 0xC8, 0xD7, 0xCD, 0xCE, 0xCF, 0x99, 0x9A, 0x9B, 0x9C, 0xA6, 0xCC, 0x9D,
};
constexpr std::array<std::uint8_t, 14> DosTailToWin = {
    0xF7, 0xBE, 0xB6, 0xA7, 0x9F, 0xB8, 0xB0, 0xA8, 0xB7, 0xB9, 0xB3, 0xB2, 0x9E, 0xA0,
};

std::uint8_t Byte(unsigned value)
{
    return static_cast<std::uint8_t>(value & 0xFFU);
}

}  // namespace

std::uint8_t FrameChecksum(std::span<const std::uint8_t> bytes)
{
    unsigned sum = 0;
    for (const std::uint8_t byte : bytes) {
        sum += byte;
    }
    return Byte(~sum);
}

std::uint8_t ToBcd(unsigned value)
{
    return Byte(((value / 10U) % 10U) << 4U | (value % 10U));
}

std::uint8_t AddressOf(std::uint8_t netNumber)
{
    return ToBcd(netNumber);
}

std::uint8_t NetNumberOf(std::uint8_t address)
{
    const unsigned tens = address >> 4U;
    const unsigned units = address & 0x0FU;
    if (tens > 9 || units > 9) {
        return 0;
    }
    return Byte(tens * 10U + units);
}

TBytes BuildFrame(std::uint8_t netNumber, std::uint8_t code, std::span<const std::uint8_t> payload)
{
    TBytes frame;
    frame.reserve(payload.size() + FrameOverhead);
    frame.push_back(AddressOf(netNumber));
    frame.push_back(Byte(static_cast<unsigned>(payload.size())));
    frame.push_back(code);
    frame.insert(frame.end(), payload.begin(), payload.end());
    frame.push_back(FrameChecksum(frame));
    return frame;
}

void PutWord(TBytes& out, std::uint16_t value)
{
    out.push_back(Byte(value >> 8U));
    out.push_back(Byte(value));
}

void PutLong(TBytes& out, std::uint32_t value)
{
    out.push_back(Byte(value >> 24U));
    out.push_back(Byte(value >> 16U));
    out.push_back(Byte(value >> 8U));
    out.push_back(Byte(value));
}

std::uint16_t GetWord(const std::uint8_t* place)
{
    return static_cast<std::uint16_t>(place[0] << 8U | place[1]);
}

std::uint32_t GetLong(const std::uint8_t* place)
{
    return static_cast<std::uint32_t>(place[0]) << 24U | static_cast<std::uint32_t>(place[1]) << 16U |
           static_cast<std::uint32_t>(place[2]) << 8U | static_cast<std::uint32_t>(place[3]);
}

std::uint8_t WinToDos(std::uint8_t byte)
{
    if (byte < 0x80) {
        return byte;
    }
    if (byte == 0xA8) {  // Ё
        return 0xF0;
    }
    if (byte == 0xB8) {  // ё
        return 0xF1;
    }
    if (byte < 0xB0) {
        return Byte(byte + 0x30U);
    }
    if (byte < 0xC0) {
        return Byte(byte + 0x40U);
    }
    if (byte < 0xF0) {  // А..п
        return Byte(byte - 0x40U);
    }
    return Byte(byte - 0x10U);  // р..я
}

std::uint8_t DosToWin(std::uint8_t byte)
{
    if (byte < 0x80) {
        return byte;
    }
    if (byte < 0xB0) {  // А..п
        return Byte(byte + 0x40U);
    }
    if (byte < 0xE0) {
        return DosBoxToWin[byte - 0xB0U];
    }
    if (byte < 0xF0) {  // р..я
        return Byte(byte + 0x10U);
    }
    if (byte == 0xF0) {
        return 0xA8;
    }
    if (byte == 0xF1) {
        return 0xB8;
    }
    return DosTailToWin[byte - 0xF2U];
}

void PutDosField(TBytes& out, std::string_view text, std::size_t width)
{
    for (std::size_t i = 0; i < width; ++i) {
        out.push_back(i < text.size() ? WinToDos(static_cast<std::uint8_t>(text[i])) : std::uint8_t{0x20});
    }
}

std::string GetDosField(const std::uint8_t* place, std::size_t width)
{
    std::string text;
    for (std::size_t i = 0; i < width; ++i) {
        text.push_back(static_cast<char>(DosToWin(place[i])));
    }
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

std::string HexText(std::span<const std::uint8_t> bytes)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string text;
    for (const std::uint8_t byte : bytes) {
        if (!text.empty()) {
            text.push_back(' ');
        }
        text.push_back(Digits[byte >> 4U]);
        text.push_back(Digits[byte & 0x0FU]);
    }
    return text;
}

}  // namespace zarvik12m::emulator
