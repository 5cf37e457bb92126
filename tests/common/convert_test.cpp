#include <array>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "driver/common/convert.h"
#include "driver/common/cp1251.h"

namespace zarvik12m {
namespace {

using TBytes = std::vector<std::uint8_t>;

TBytes Bytes(std::string_view text)
{
    return {text.begin(), text.end()};
}

TEST(CharTables, FollowTheirRules)
{
    for (unsigned c = 0; c < 0x80; ++c) {
        EXPECT_EQ(CharWinDos(static_cast<std::uint8_t>(c)), c);
        EXPECT_EQ(CharDosWin(static_cast<std::uint8_t>(c)), c);
    }
    EXPECT_EQ(CharWinDos(0x80), 0xB0);
    EXPECT_EQ(CharWinDos(0xAF), 0xDF);
    EXPECT_EQ(CharWinDos(0xA8), 0xF0);  // Ё
    EXPECT_EQ(CharWinDos(0xB8), 0xF1);  // ё
    EXPECT_EQ(CharWinDos(0xB0), 0xF0);
    EXPECT_EQ(CharWinDos(0xBF), 0xFF);
    EXPECT_EQ(CharWinDos(0xC0), 0x80);  // А
    EXPECT_EQ(CharWinDos(0xEF), 0xAF);  // п
    EXPECT_EQ(CharWinDos(0xF0), 0xE0);  // р
    EXPECT_EQ(CharWinDos(0xFF), 0xEF);  // я

    EXPECT_EQ(CharDosWin(0x80), 0xC0);
    EXPECT_EQ(CharDosWin(0xAF), 0xEF);
    EXPECT_EQ(CharDosWin(0xE0), 0xF0);
    EXPECT_EQ(CharDosWin(0xEF), 0xFF);
    EXPECT_EQ(CharDosWin(0xF0), 0xA8);
    EXPECT_EQ(CharDosWin(0xF1), 0xB8);
}

TEST(CharTables, DosWinIrregularRowsAreAsListed)
{
    const std::array<std::uint8_t, 48> rowsB0ToDF = {
        0x80, 0x81, 0x82, 0x83, 0x84, 0xC1, 0xC2, 0xC0, 0xA9, 0x85, 0x86, 0x87, 0x88, 0xA2, 0xA5, 0x89,
        0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F, 0xE3, 0xC3, 0x90, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0xA4,
        0xF0, 0xD0, 0xCA, 0xCB, 0xC8, 0xD7, 0xCD, 0xCE, 0xCF, 0x99, 0x9A, 0x9B, 0x9C, 0xA6, 0xCC, 0x9D};
    for (unsigned i = 0; i < rowsB0ToDF.size(); ++i) {
        EXPECT_EQ(CharDosWin(static_cast<std::uint8_t>(0xB0 + i)), rowsB0ToDF[i]) << std::hex << 0xB0 + i;
    }
    const std::array<std::uint8_t, 14> rowF2ToFF = {0xF7, 0xBE, 0xB6, 0xA7, 0x9F, 0xB8, 0xB0,
                                                    0xA8, 0xB7, 0xB9, 0xB3, 0xB2, 0x9E, 0xA0};
    for (unsigned i = 0; i < rowF2ToFF.size(); ++i) {
        EXPECT_EQ(CharDosWin(static_cast<std::uint8_t>(0xF2 + i)), rowF2ToFF[i]) << std::hex << 0xF2 + i;
    }
}

TEST(CharTables, UndoEachOtherOnLettersOnly)
{
    for (unsigned c = 0; c < 256; ++c) {
        const auto byte = static_cast<std::uint8_t>(c);
        const bool restored = CharDosWin(CharWinDos(byte)) == byte;
        const bool expected = c <= 0x84 || c == 0xA8 || c == 0xB8 || c >= 0xC0;
        EXPECT_EQ(restored, expected) << std::hex << c;
    }
    EXPECT_EQ(CharDosWin(CharWinDos(0xB0)), 0xA8);
}

TEST(ConvertStr, TranslatesEveryByte)
{
    const std::string_view text = "Ёж-1"_cp1251;
    EXPECT_EQ(ConvertStr(text, ccNone), text);
    EXPECT_EQ(ConvertStr(text, ccWinDos), "\xF0\xA6-1");
    EXPECT_EQ(ConvertStr(ConvertStr(text, ccWinDos), ccDosWin), text);
    EXPECT_EQ(ConvertStr("", ccWinDos), "");
}

TEST(TextFields, StrToFieldTranslatesPadsAndCuts)
{
    std::array<std::uint8_t, 5> field{};
    StrToField(field, "АБВ"_cp1251, ccWinDos);
    EXPECT_EQ(field, (std::array<std::uint8_t, 5>{0x80, 0x81, 0x82, 0x20, 0x20}));

    StrToField(field, "abcdefg", ccNone);
    EXPECT_EQ(field, (std::array<std::uint8_t, 5>{'a', 'b', 'c', 'd', 'e'}));

    std::array<std::uint8_t, 3> dos{};
    StrToField(dos, "\x80", ccDosWin);
    EXPECT_EQ(dos, (std::array<std::uint8_t, 3>{0xC0, 0x20, 0x20}));

    StrToField(std::span<std::uint8_t>{}, "abc", ccNone);  // width 0 writes nothing
}

TEST(TextFields, FieldToStrTrimsTrailingBlanksAndControls)
{
    TBytes field = Bytes(ConvertStr("Молоко"_cp1251, ccWinDos));
    field.resize(16, 0x20);
    EXPECT_EQ(FieldToStr(field, ccDosWin), "Молоко"_cp1251);

    EXPECT_EQ(FieldToStr(TBytes(16, 0x20), ccDosWin), "");
    EXPECT_EQ(FieldToStr(Bytes(std::string_view(" a\x01 b \x00\x1F ", 8)), ccNone), std::string(" a\x01 b", 5));
}

TEST(TextFields, StrToRightFieldAlignsRightWithoutTranslation)
{
    std::array<std::uint8_t, 13> field{};
    StrToRightField(field, "123  ");
    EXPECT_EQ(std::string(field.begin(), field.end()), "          123");

    StrToRightField(field, "Ж1234567890123456"_cp1251);
    EXPECT_EQ(std::string(field.begin(), field.end()), "Ж123456789012"_cp1251);

    StrToRightField(field, "");
    EXPECT_EQ(std::string(field.begin(), field.end()), std::string(13, ' '));
}

TEST(ByteArrays, CopyUnchanged)
{
    EXPECT_EQ(BytesToStr(Bytes(std::string_view("a\0b", 3))), std::string("a\0b", 3));

    const TCommand_Data data = BytesToArray(Bytes("xyz"));
    EXPECT_EQ(data, Bytes("xyz"));
    EXPECT_TRUE(BytesToArray({}).empty());

    std::array<std::uint8_t, 4> destination = {9, 9, 9, 9};
    ArrayToBytes(destination, data);
    EXPECT_EQ(destination, (std::array<std::uint8_t, 4>{'x', 'y', 'z', 9}));
    ArrayToBytes(destination, {});
    EXPECT_EQ(destination[0], 'x');

    const TCommand_Data large(300, 7);
    std::array<std::uint8_t, 300> room{};
    ArrayToBytes(room, large);
    EXPECT_EQ(room[254], 7);
    EXPECT_EQ(room[255], 0);  // at most 255 bytes
}

TEST(Integers, AreBigEndian)
{
    std::array<std::uint8_t, 2> word{};
    WriteWordBE(word, 0x1234);
    EXPECT_EQ(word, (std::array<std::uint8_t, 2>{0x12, 0x34}));
    EXPECT_EQ(ReadWordBE(word), 0x1234);

    std::array<std::uint8_t, 4> longWord{};
    WriteLongBE(longWord, 0x01020304);
    EXPECT_EQ(longWord, (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(ReadLongBE(longWord), 0x01020304U);
    WriteLongBE(longWord, 0xFFFFFFFEU);
    EXPECT_EQ(ReadLongBE(longWord), 0xFFFFFFFEU);

    std::array<std::uint8_t, 1> single{};
    WriteByte(single, 0xAB);
    EXPECT_EQ(ReadByte(single), 0xAB);

    EXPECT_EQ(Read40BE(std::array<std::uint8_t, 5>{1, 0, 0, 0, 0}), 4294967296LL);
    EXPECT_EQ(Read40BE(std::array<std::uint8_t, 5>{0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), (1LL << 40) - 1);
}

TEST(Bcd, NumbersBothWays)
{
    EXPECT_EQ(ByteToBCD(99), 0x99);
    EXPECT_EQ(ByteToBCD(7), 0x07);
    EXPECT_EQ(ByteToBCD(10), 0x10);
    EXPECT_EQ(BCDToByte(0x99), 99);
    EXPECT_EQ(BCDToByte(0x47), 47);
    EXPECT_EQ(BCDToByte(0xFF), 165);  // no digit check
}

TDateTime MakeDateTime(int year, int month, int day, int hour, int minute, int second = 0)
{
    TDateTime result = 0;
    EXPECT_TRUE(TryEncodeDateTime({year, month, day, hour, minute, second, 0}, result));
    return result;
}

TEST(Bcd, DateTimeToWireDropsSeconds)
{
    std::array<std::uint8_t, 5> place{};
    DateTimeToBCD(place, MakeDateTime(2026, 12, 7, 9, 5, 59));
    EXPECT_EQ(place, (std::array<std::uint8_t, 5>{0x07, 0x12, 0x26, 0x09, 0x05}));
    DateTimeToBCD(place, MakeDateTime(2026, 12, 7, 15, 30));
    EXPECT_EQ(place, (std::array<std::uint8_t, 5>{0x07, 0x12, 0x26, 0x15, 0x30}));
}

TEST(Bcd, DateTimeFromWire)
{
    EXPECT_EQ(BCDToDateTime(std::array<std::uint8_t, 5>{0x31, 0x12, 0x49, 0x23, 0x59}),
              MakeDateTime(2049, 12, 31, 23, 59));
    EXPECT_EQ(BCDToDateTime(std::array<std::uint8_t, 5>{0x31, 0x12, 0x50, 0x23, 0x59}),
              MakeDateTime(1950, 12, 31, 23, 59));
    EXPECT_EQ(BCDToDateTime(std::array<std::uint8_t, 5>{0x29, 0x02, 0x00, 0x00, 0x00}),
              MakeDateTime(2000, 2, 29, 0, 0));

    const std::array<std::array<std::uint8_t, 5>, 6> invalid = {{
        {0x01, 0x13, 0x05, 0x00, 0x00},  // month 13
        {0x31, 0x04, 0x26, 0x00, 0x00},  // 31 April
        {0x29, 0x02, 0x25, 0x00, 0x00},  // 29 February of a common year
        {0x01, 0x01, 0x26, 0x24, 0x00},  // hour 24
        {0x01, 0x01, 0x26, 0x00, 0x60},  // minute 60
        {0x00, 0x00, 0x00, 0x00, 0x00},  // day 0
    }};
    for (const auto& bytes : invalid) {
        EXPECT_EQ(BCDToDateTime(bytes), FirstDateTime);
    }
    EXPECT_EQ(FirstDateTime, MakeDateTime(1, 1, 1, 0, 0));
}

TEST(Bcd, TimeFromWire)
{
    EXPECT_DOUBLE_EQ(BCDToTime(std::array<std::uint8_t, 2>{0x12, 0x30}), 0.5 + 30.0 / 1440.0);
    EXPECT_EQ(BCDToTime(std::array<std::uint8_t, 2>{0x24, 0x00}), 0.0);
    EXPECT_EQ(BCDToTime(std::array<std::uint8_t, 2>{0x10, 0x60}), 0.0);
}

}  // namespace
}  // namespace zarvik12m
