#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "tools/emulator/wire.h"

namespace zarvik12m::emulator {

// Goods numbers the register's table holds.
inline constexpr std::uint16_t MaxGoodsNumber = 4000;
inline constexpr std::size_t BarcodeWidth = 13;
inline constexpr std::size_t NameWidth = 16;

// One entry of the register's goods table, as the register keeps it.
struct TGoodsRecord {
    std::string Barcode;      // the 13 bytes the register answers
    std::uint32_t Price = 0;  // whole number, as on the line
    std::string Name;         // Windows-1251, at most 16 bytes, no trailing blanks
    std::uint8_t Group = 0;
    std::uint32_t Quantity = 0;  // thousandths

    friend bool operator==(const TGoodsRecord&, const TGoodsRecord&) = default;
};

// The table by goods number, in number order.
using TGoodsTable = std::map<std::uint16_t, TGoodsRecord>;

// A barcode as the line delivers it: trailing blanks and control bytes
// dropped, then right-aligned with blanks in 13 bytes (cut to 13).
std::string RightAlignedBarcode(std::string_view text);

// The record as the register would hold it after the computer wrote it:
// barcode right-aligned in 13 bytes, name cut to 16 bytes without trailing
// blanks.
TGoodsRecord Normalised(TGoodsRecord record);

// Payload of answer 11: barcode, price, name, group, quantity (38 bytes).
TBytes GoodsFoundPayload(const TGoodsRecord& record);

// A write command's payload (40 bytes): goods number and record.
struct TGoodsWrite {
    std::uint16_t Number = 0;
    TGoodsRecord Record;
};
TGoodsWrite ParseGoodsWrite(std::span<const std::uint8_t> payload);

}  // namespace zarvik12m::emulator
