#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "driver/common/date_time.h"

// Byte-level conversions between data records and the register's wire
// bytes: big-endian integers, packed BCD numbers and date-times, fixed-width
// text fields, and the translation between Windows-1251 (the driver's texts)
// and the register's DOS Cyrillic code page. Pure functions, any thread.
//
// Places are spans: fixed-width encodings take spans of their exact width,
// text fields take the field itself and use its size as the width.

namespace zarvik12m {

// Variable data bytes of a command record, owned by the record.
using TCommand_Data = std::vector<std::uint8_t>;

enum TCharConversion : std::uint8_t {
    ccNone = 0,    // bytes copied
    ccWinDos = 1,  // Windows-1251 to DOS Cyrillic
    ccDosWin = 2,  // DOS Cyrillic to Windows-1251
};

std::uint8_t CharWinDos(std::uint8_t c);
std::uint8_t CharDosWin(std::uint8_t c);

// Every byte translated, the same length.
std::string ConvertStr(std::string_view text, TCharConversion conversion);

// Left-aligned text, translated, blank-padded (blanks untranslated) and cut
// at the field's width.
void StrToField(std::span<std::uint8_t> field, std::string_view text, TCharConversion conversion);

// The field translated, without its trailing bytes of value 0x20 or less.
std::string FieldToStr(std::span<const std::uint8_t> field, TCharConversion conversion);

// The text without its trailing bytes of value 0x20 or less, right-aligned
// with blanks, cut at the field's width; never translated.
void StrToRightField(std::span<std::uint8_t> field, std::string_view text);

// A text of exactly the given bytes, zero bytes included.
std::string BytesToStr(std::span<const std::uint8_t> bytes);

// Copies the array's bytes (at most 255) to the front of the destination.
void ArrayToBytes(std::span<std::uint8_t> destination, const TCommand_Data& data);

// A new array holding the given bytes.
TCommand_Data BytesToArray(std::span<const std::uint8_t> bytes);

void WriteByte(std::span<std::uint8_t, 1> place, std::uint8_t value);
std::uint8_t ReadByte(std::span<const std::uint8_t, 1> place);

void WriteWordBE(std::span<std::uint8_t, 2> place, std::uint16_t value);
std::uint16_t ReadWordBE(std::span<const std::uint8_t, 2> place);

void WriteLongBE(std::span<std::uint8_t, 4> place, std::uint32_t value);
std::uint32_t ReadLongBE(std::span<const std::uint8_t, 4> place);

// Five bytes, most significant first: 0 .. 2^40 - 1.
std::int64_t Read40BE(std::span<const std::uint8_t, 5> place);

// Day, month, year within the century, hour, minute: one packed BCD byte
// each; seconds are dropped.
void DateTimeToBCD(std::span<std::uint8_t, 5> place, TDateTime value);

// The five-byte date-time; years 00..49 are 2000..2049, 50..99 are
// 1950..1999. Bytes that make no valid date and time give FirstDateTime.
TDateTime BCDToDateTime(std::span<const std::uint8_t, 5> place);

// Hour and minute as a time of day; an invalid time gives 00:00.
TDateTime BCDToTime(std::span<const std::uint8_t, 2> place);

// (value div 10) in the high nibble, (value mod 10) in the low; for 0..99.
std::uint8_t ByteToBCD(std::uint8_t value);

// High nibble times ten plus low nibble, without a digit check.
std::uint8_t BCDToByte(std::uint8_t value);

}  // namespace zarvik12m
