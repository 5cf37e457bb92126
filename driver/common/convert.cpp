#include "driver/common/convert.h"

#include <algorithm>
#include <array>

namespace zarvik12m {

namespace {

constexpr std::array<std::uint8_t, 256> WinDosTable = [] {
    std::array<std::uint8_t, 256> table{};
    for (unsigned c = 0; c < 256; ++c) {
        unsigned translated = c;
        if (c >= 0x80 && c <= 0xAF) {
            translated = c == 0xA8 ? 0xF0 : c + 0x30;
        } else if (c >= 0xB0 && c <= 0xBF) {
            translated = c == 0xB8 ? 0xF1 : c + 0x40;
        } else if (c >= 0xC0 && c <= 0xEF) {
            translated = c - 0x40;
        } else if (c >= 0xF0) {
            translated = c - 0x10;
        }
        table[c] = static_cast<std::uint8_t>(translated);
    }
    return table;
}();

constexpr std::array<std::uint8_t, 16> DosWinB0 = {0x80, 0x81, 0x82, 0x83, 0x84, 0xC1, 0xC2, 0xC0,
                                                   0xA9, 0x85, 0x86, 0x87, 0x88, 0xA2, 0xA5, 0x89};
constexpr std::array<std::uint8_t, 16> DosWinC0 = {0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F, 0xE3, 0xC3,
                                                   0x90, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0xA4};
constexpr std::array<std::uint8_t, 16> DosWinD0 = {0xF0, 0xD0, 0xCA, 0xCB, 0xC8, 0xD7, 0xCD, 0xCE,
                                                   0xCF, 0x99, 0x9A, 0x9B, 0x9C, 0xA6, 0xCC, 0x9D};
constexpr std::array<std::uint8_t, 14> DosWinF2 = {0xF7, 0xBE, 0xB6, 0xA7, 0x9F, 0xB8, 0xB0,
                                                   0xA8, 0xB7, 0xB9, 0xB3, 0xB2, 0x9E, 0xA0};

constexpr std::array<std::uint8_t, 256> DosWinTable = [] {
    std::array<std::uint8_t, 256> table{};
    for (unsigned c = 0; c < 256; ++c) {
        unsigned translated = c;
        if (c >= 0x80 && c <= 0xAF) {
            translated = c + 0x40;
        } else if (c >= 0xB0 && c <= 0xBF) {
            translated = DosWinB0[c - 0xB0];
        } else if (c >= 0xC0 && c <= 0xCF) {
            translated = DosWinC0[c - 0xC0];
        } else if (c >= 0xD0 && c <= 0xDF) {
            translated = DosWinD0[c - 0xD0];
        } else if (c >= 0xE0 && c <= 0xEF) {
            translated = c + 0x10;
        } else if (c == 0xF0) {
            translated = 0xA8;
        } else if (c == 0xF1) {
            translated = 0xB8;
        } else if (c >= 0xF2) {
            translated = DosWinF2[c - 0xF2];
        }
        table[c] = static_cast<std::uint8_t>(translated);
    }
    return table;
}();

std::uint8_t Translate(std::uint8_t c, TCharConversion conversion)
{
    switch (conversion) {
    case ccWinDos:
        return WinDosTable[c];
    case ccDosWin:
        return DosWinTable[c];
    case ccNone:
        break;
    }
    return c;
}

bool IsBlankOrControl(std::uint8_t c)
{
    return c <= 0x20;
}

std::size_t LengthWithoutTrailingBlanks(std::string_view text)
{
    std::size_t length = text.size();
    while (length > 0 && IsBlankOrControl(static_cast<std::uint8_t>(text[length - 1]))) {
        --length;
    }
    return length;
}

}  // namespace

std::uint8_t CharWinDos(std::uint8_t c)
{
    return WinDosTable[c];
}

std::uint8_t CharDosWin(std::uint8_t c)
{
    return DosWinTable[c];
}

std::string ConvertStr(std::string_view text, TCharConversion conversion)
{
    std::string result(text.size(), '\0');
    std::transform(text.begin(), text.end(), result.begin(), [conversion](char c) {
        return static_cast<char>(Translate(static_cast<std::uint8_t>(c), conversion));
    });
    return result;
}

void StrToField(std::span<std::uint8_t> field, std::string_view text, TCharConversion conversion)
{
    for (std::size_t i = 0; i < field.size(); ++i) {
        field[i] = i < text.size() ? Translate(static_cast<std::uint8_t>(text[i]), conversion) : std::uint8_t{0x20};
    }
}

std::string FieldToStr(std::span<const std::uint8_t> field, TCharConversion conversion)
{
    std::string text(field.size(), '\0');
    std::transform(field.begin(), field.end(), text.begin(),
                   [conversion](std::uint8_t c) { return static_cast<char>(Translate(c, conversion)); });
    text.resize(LengthWithoutTrailingBlanks(text));
    return text;
}

void StrToRightField(std::span<std::uint8_t> field, std::string_view text)
{
    text = text.substr(0, LengthWithoutTrailingBlanks(text));
    const std::size_t padding = text.size() < field.size() ? field.size() - text.size() : 0;
    std::fill_n(field.begin(), padding, std::uint8_t{0x20});
    for (std::size_t i = padding; i < field.size(); ++i) {
        field[i] = static_cast<std::uint8_t>(text[i - padding]);
    }
}

std::string BytesToStr(std::span<const std::uint8_t> bytes)
{
    return {bytes.begin(), bytes.end()};
}

void ArrayToBytes(std::span<std::uint8_t> destination, const TCommand_Data& data)
{
    const std::size_t count = std::min<std::size_t>(data.size(), 255);
    std::copy_n(data.begin(), count, destination.first(count).begin());
}

TCommand_Data BytesToArray(std::span<const std::uint8_t> bytes)
{
    return {bytes.begin(), bytes.end()};
}

void WriteByte(std::span<std::uint8_t, 1> place, std::uint8_t value)
{
    place[0] = value;
}

std::uint8_t ReadByte(std::span<const std::uint8_t, 1> place)
{
    return place[0];
}

void WriteWordBE(std::span<std::uint8_t, 2> place, std::uint16_t value)
{
    place[0] = static_cast<std::uint8_t>(value >> 8U);
    place[1] = static_cast<std::uint8_t>(value);
}

std::uint16_t ReadWordBE(std::span<const std::uint8_t, 2> place)
{
    return static_cast<std::uint16_t>((place[0] << 8U) | place[1]);
}

void WriteLongBE(std::span<std::uint8_t, 4> place, std::uint32_t value)
{
    place[0] = static_cast<std::uint8_t>(value >> 24U);
    place[1] = static_cast<std::uint8_t>(value >> 16U);
    place[2] = static_cast<std::uint8_t>(value >> 8U);
    place[3] = static_cast<std::uint8_t>(value);
}

std::uint32_t ReadLongBE(std::span<const std::uint8_t, 4> place)
{
    return (std::uint32_t{place[0]} << 24U) | (std::uint32_t{place[1]} << 16U) | (std::uint32_t{place[2]} << 8U) |
           std::uint32_t{place[3]};
}

std::int64_t Read40BE(std::span<const std::uint8_t, 5> place)
{
    std::uint64_t value = 0;
    for (const std::uint8_t byte : place) {
        value = (value << 8U) | byte;
    }
    return static_cast<std::int64_t>(value);
}

void DateTimeToBCD(std::span<std::uint8_t, 5> place, TDateTime value)
{
    const TDateTimeParts parts = DecodeDateTime(value);
    place[0] = ByteToBCD(static_cast<std::uint8_t>(parts.Day));
    place[1] = ByteToBCD(static_cast<std::uint8_t>(parts.Month));
    place[2] = ByteToBCD(static_cast<std::uint8_t>(parts.Year % 100));
    place[3] = ByteToBCD(static_cast<std::uint8_t>(parts.Hour));
    place[4] = ByteToBCD(static_cast<std::uint8_t>(parts.Minute));
}

TDateTime BCDToDateTime(std::span<const std::uint8_t, 5> place)
{
    const int yearInCentury = BCDToByte(place[2]);
    TDateTimeParts parts;
    parts.Day = BCDToByte(place[0]);
    parts.Month = BCDToByte(place[1]);
    parts.Year = yearInCentury + (yearInCentury < 50 ? 2000 : 1900);
    parts.Hour = BCDToByte(place[3]);
    parts.Minute = BCDToByte(place[4]);
    TDateTime result = FirstDateTime;
    return TryEncodeDateTime(parts, result) ? result : FirstDateTime;
}

TDateTime BCDToTime(std::span<const std::uint8_t, 2> place)
{
    const int hour = BCDToByte(place[0]);
    const int minute = BCDToByte(place[1]);
    if (hour > 23 || minute > 59) {
        return 0.0;
    }
    return static_cast<double>(hour * 60 + minute) / (24.0 * 60.0);
}

std::uint8_t ByteToBCD(std::uint8_t value)
{
    return static_cast<std::uint8_t>((value / 10U) * 16U + value % 10U);
}

std::uint8_t BCDToByte(std::uint8_t value)
{
    return static_cast<std::uint8_t>((value >> 4U) * 10U + (value & 0x0FU));
}

}  // namespace zarvik12m
