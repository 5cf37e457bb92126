#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <variant>

#include "driver/common/convert.h"
#include "driver/common/date_time.h"
#include "zarvik12m/goods.h"

// The data records of the commands: one record type per command number.
// TRX_..._DataIn is what the register sends, TTX_..._DataIn what the driver
// sends. Commands with the same layout share a fields structure and still
// get their own type, so that a record always tells which command it
// belongs to.
//
// Field types: currency is std::int64_t holding the value x 10000;
// date-times are TDateTime; string[N] is TZarvik12m_ShortString<N>
// (Windows-1251); variable bytes are TCommand_Data. Where the register's
// documentation gives a field only a type and a position, the field is
// named after its position (Field3 is the third field).
//
// PayloadSize is the number of payload bytes the layout reads and writes;
// layouts of any length give the size of their fixed part.

namespace zarvik12m {

// The register's result code: 0 is success, otherwise one of the
// register's error codes (commands 12..31).
struct TResultFields {
    static constexpr std::size_t PayloadSize = 1;
    std::uint8_t Result;
    friend bool operator==(const TResultFields&, const TResultFields&) = default;
};

// The driver's one-byte answer to a register request (33..47).
struct TAnswerFields {
    static constexpr std::size_t PayloadSize = 1;
    std::uint8_t Answer;
    friend bool operator==(const TAnswerFields&, const TAnswerFields&) = default;
};

// The single byte argument of a server command (52, 55, 61).
struct TByteArgumentFields {
    static constexpr std::size_t PayloadSize = 1;
    std::uint8_t Argument;
    friend bool operator==(const TByteArgumentFields&, const TByteArgumentFields&) = default;
};

// The single word argument of a server command (48: the goods number; 63).
struct TWordArgumentFields {
    static constexpr std::size_t PayloadSize = 2;
    std::uint16_t Argument;
    friend bool operator==(const TWordArgumentFields&, const TWordArgumentFields&) = default;
};

// A goods look-up by the register while it rings up a sale (1, 2).
struct TGoodsLookupFields {
    static constexpr std::size_t PayloadSize = 17;
    TZarvik12m_ShortString<13> Code;  // goods code (1) or barcode (2), as received
    double Field2;                    // three decimals
    friend bool operator==(const TGoodsLookupFields&, const TGoodsLookupFields&) = default;
};

// A purchase: registered by the register (3) or filled in by the driver
// (51).
struct TPurchaseFields {
    static constexpr std::size_t PayloadSize = 48;
    std::uint8_t Field1;
    std::uint8_t Field2;
    double Field3;        // three decimals
    std::int64_t Field4;  // currency
    float Field5;         // two decimals
    std::uint8_t Field6;
    std::int64_t Field7;  // currency
    std::uint8_t Field8;
    TZarvik12m_ShortString<13> Field9;  // as received; right-justified when sent
    std::uint8_t Field10;
    TZarvik12m_ShortString<16> Field11;  // DOS Cyrillic on the wire
    friend bool operator==(const TPurchaseFields&, const TPurchaseFields&) = default;
};

// A receipt closed by the register (4, 18).
struct TReceiptFields {
    static constexpr std::size_t PayloadSize = 27;
    std::uint8_t Field1;
    std::uint16_t Field2;
    std::uint16_t Field3;
    TDateTime Field4;
    std::uint8_t Field5;
    std::uint8_t Field6;
    std::int64_t Field7;  // currency, five bytes on the wire
    std::uint8_t Field8;
    std::int64_t Field9;  // currency
    std::uint8_t Field10;
    std::int64_t Field11;  // currency
    friend bool operator==(const TReceiptFields&, const TReceiptFields&) = default;
};

// An X or Z report or the shift's sales total (5, 6, 21).
struct TReportFields {
    static constexpr std::size_t PayloadSize = 12;
    std::uint16_t Field1;
    TDateTime Field2;
    std::int64_t Field3;  // currency, five bytes on the wire
    friend bool operator==(const TReportFields&, const TReportFields&) = default;
};

// An authorisation request by goods code or barcode (7, 8).
struct TAuthorisationByCodeFields {
    static constexpr std::size_t PayloadSize = 17;
    std::int64_t Amount;              // currency
    TZarvik12m_ShortString<13> Code;  // as received
    friend bool operator==(const TAuthorisationByCodeFields&, const TAuthorisationByCodeFields&) = default;
};

// An authorisation request by card reader (9, 10): the amount, then
// whatever the reader gave. Any length; a payload too short for the amount
// gives amount 0 and no bytes.
struct TAuthorisationByReaderFields {
    static constexpr std::size_t PayloadSize = 0;
    std::int64_t Amount;  // currency
    TCommand_Data Data;
    friend bool operator==(const TAuthorisationByReaderFields&, const TAuthorisationByReaderFields&) = default;
};

// The driver's grant of an authorisation (40, 42, 44, 46).
struct TAuthorisationGrantedFields {
    static constexpr std::size_t PayloadSize = 81;
    std::uint8_t Field1;
    float Field2;  // two decimals
    TZarvik12m_ShortString<26> Field3;
    TZarvik12m_ShortString<26> Field4;
    TZarvik12m_ShortString<26> Field5;
    friend bool operator==(const TAuthorisationGrantedFields&, const TAuthorisationGrantedFields&) = default;
};

// The driver's answer that it has the goods (32, 34); the fields mean what
// the goods record's fields of the same names mean.
struct TGoodsFoundFields {
    static constexpr std::size_t PayloadSize = 25;
    std::int64_t Price;
    TZarvik12m_ShortString<16> Name;
    std::uint8_t Group;
    double Quantity;
    friend bool operator==(const TGoodsFoundFields&, const TGoodsFoundFields&) = default;
};

// A date and time (25 received, 60 sent).
struct TDateTimeFields {
    static constexpr std::size_t PayloadSize = 6;
    TDateTime DateTime;  // to the minute
    std::uint8_t Field2;
    friend bool operator==(const TDateTimeFields&, const TDateTimeFields&) = default;
};

// Bytes carried as they stand (30: the parameter memory read; 66: bytes
// that formed no frame). Any length.
struct TBytesFields {
    static constexpr std::size_t PayloadSize = 0;
    TCommand_Data Data;
    friend bool operator==(const TBytesFields&, const TBytesFields&) = default;
};

// Goods found in the register's base (11), the answer to command 48.
struct TRX_READ_TOV_DataIn {
    static constexpr std::size_t PayloadSize = 38;
    TZarvik12m_ShortString<13> Barcode;
    std::int64_t Price;
    TZarvik12m_ShortString<16> Name;
    std::uint8_t Group;
    double Quantity;
    friend bool operator==(const TRX_READ_TOV_DataIn&, const TRX_READ_TOV_DataIn&) = default;
};

// The register's state and mode (23).
struct TRX_STATE_DataIn {
    static constexpr std::size_t PayloadSize = 2;
    std::uint8_t Field1;
    std::uint8_t Field2;
    friend bool operator==(const TRX_STATE_DataIn&, const TRX_STATE_DataIn&) = default;
};

// The register's factory number (24), without trailing blanks.
struct TRX_SERIAL_NUMBER_DataIn {
    static constexpr std::size_t PayloadSize = 13;
    TZarvik12m_ShortString<13> SerialNumber;
    friend bool operator==(const TRX_SERIAL_NUMBER_DataIn&, const TRX_SERIAL_NUMBER_DataIn&) = default;
};

// One control tape entry (29).
struct TRX_READ_TAPE_DataIn {
    static constexpr std::size_t PayloadSize = 42;
    std::uint16_t Field1;
    double Field2;        // three decimals
    std::int64_t Field3;  // currency
    std::uint8_t Field4;
    std::uint8_t Field5;
    float Field6;  // two decimals
    float Field7;  // two decimals
    float Field8;  // two decimals
    std::uint8_t Field9;
    std::uint8_t Field10;
    std::uint8_t Field11;
    TDateTime Field12;  // time of day only
    std::uint8_t Field13;
    std::uint8_t Field14;
    std::int64_t Field15;  // currency
    TZarvik12m_ShortString<13> Field16;
    friend bool operator==(const TRX_READ_TAPE_DataIn&, const TRX_READ_TAPE_DataIn&) = default;
};

// Closes the receipt (54).
struct TTX_CLOSE_CHECK_DataIn {
    static constexpr std::size_t PayloadSize = 5;
    std::uint8_t Field1;
    std::int64_t Field2;  // currency
    friend bool operator==(const TTX_CLOSE_CHECK_DataIn&, const TTX_CLOSE_CHECK_DataIn&) = default;
};

// A line for the register's display (62): two flags, of which only bit 0
// counts, and the text.
struct TTX_DISPLAY_DataIn {
    static constexpr std::size_t PayloadSize = 17;
    std::uint8_t Field1;
    std::uint8_t Field2;
    TZarvik12m_ShortString<16> Text;
    friend bool operator==(const TTX_DISPLAY_DataIn&, const TTX_DISPLAY_DataIn&) = default;
};

// Reads from the register's parameter memory (64).
struct TTX_READ_RPZU_DataIn {
    static constexpr std::size_t PayloadSize = 5;
    std::uint8_t Field1;
    std::int32_t Field2;
    friend bool operator==(const TTX_READ_RPZU_DataIn&, const TTX_READ_RPZU_DataIn&) = default;
};

// Writes to the register's parameter memory (65): five fixed bytes, then
// the data bytes unchanged (at most 246 fit in a frame).
struct TTX_WRITE_RPZU_DataIn {
    static constexpr std::size_t PayloadSize = 5;
    std::uint8_t Field1;
    std::int32_t Field2;
    TCommand_Data Data;
    friend bool operator==(const TTX_WRITE_RPZU_DataIn&, const TTX_WRITE_RPZU_DataIn&) = default;
};

// Stands for a command without payload; such commands have no record
// (their Data is null), so this type is never allocated.
template <std::uint8_t Number>
struct TNoPayload {
    static constexpr std::size_t PayloadSize = 0;
    friend bool operator==(const TNoPayload&, const TNoPayload&) = default;
};

struct TRX_GET_TOV_BY_CODE_DataIn : TGoodsLookupFields {};
struct TRX_GET_TOV_BY_SHK_DataIn : TGoodsLookupFields {};
struct TRX_REG_PURCHASE_DataIn : TPurchaseFields {};
struct TRX_CLOSE_CHECK_DataIn : TReceiptFields {};
struct TRX_X_REPORT_DataIn : TReportFields {};
struct TRX_Z_REPORT_DataIn : TReportFields {};
struct TRX_GET_AVT_BY_CODE_DataIn : TAuthorisationByCodeFields {};
struct TRX_GET_AVT_BN_BY_CODE_DataIn : TAuthorisationByCodeFields {};
struct TRX_GET_AVT_BY_READER_DataIn : TAuthorisationByReaderFields {};
struct TRX_GET_AVT_BN_BY_READER_DataIn : TAuthorisationByReaderFields {};
struct TRX_READ_TOV_ERROR_DataIn : TResultFields {};
struct TRX_WRITE_TOV_DataIn : TResultFields {};
struct TRX_CLEAR_TOV_DataIn : TResultFields {};
struct TRX_FILL_PURCHASE_DataIn : TResultFields {};
struct TRX_DELETE_PURCHASE_DataIn : TResultFields {};
struct TRX_DELETE_ALL_PURCHASES_DataIn : TResultFields {};
struct TRX_CLOSE_CHECK_OK_DataIn : TReceiptFields {};
struct TRX_CLOSE_CHECK_ERROR_DataIn : TResultFields {};
struct TRX_PRESS_KEYS_DataIn : TResultFields {};
struct TRX_SALES_TOTAL_DataIn : TReportFields {};
struct TRX_SALES_TOTAL_ERROR_DataIn : TResultFields {};
struct TRX_DATE_TIME_DataIn : TDateTimeFields {};
struct TRX_SET_DATE_TIME_DataIn : TResultFields {};
struct TRX_LOCK_KEYBOARD_DataIn : TResultFields {};
struct TRX_DISPLAY_DataIn : TResultFields {};
struct TRX_READ_RPZU_DataIn : TBytesFields {};
struct TRX_WRITE_RPZU_DataIn : TResultFields {};
struct TTX_TOV_FOUND_BY_CODE_DataIn : TGoodsFoundFields {};
struct TTX_TOV_NOT_FOUND_BY_CODE_DataIn : TAnswerFields {};
struct TTX_TOV_FOUND_BY_SHK_DataIn : TGoodsFoundFields {};
struct TTX_TOV_NOT_FOUND_BY_SHK_DataIn : TAnswerFields {};
struct TTX_REG_PURCHASE_ANSWER_DataIn : TAnswerFields {};
struct TTX_CLOSE_CHECK_ANSWER_DataIn : TAnswerFields {};
struct TTX_X_REPORT_ANSWER_DataIn : TAnswerFields {};
struct TTX_Z_REPORT_ANSWER_DataIn : TAnswerFields {};
struct TTX_AVT_OK_BY_CODE_DataIn : TAuthorisationGrantedFields {};
struct TTX_AVT_ERROR_BY_CODE_DataIn : TAnswerFields {};
struct TTX_AVT_BN_OK_BY_CODE_DataIn : TAuthorisationGrantedFields {};
struct TTX_AVT_BN_ERROR_BY_CODE_DataIn : TAnswerFields {};
struct TTX_AVT_OK_BY_READER_DataIn : TAuthorisationGrantedFields {};
struct TTX_AVT_ERROR_BY_READER_DataIn : TAnswerFields {};
struct TTX_AVT_BN_OK_BY_READER_DataIn : TAuthorisationGrantedFields {};
struct TTX_AVT_BN_ERROR_BY_READER_DataIn : TAnswerFields {};
struct TTX_READ_TOV_DataIn : TWordArgumentFields {};
struct TTX_FILL_PURCHASE_DataIn : TPurchaseFields {};
struct TTX_DELETE_PURCHASE_DataIn : TByteArgumentFields {};
struct TTX_PRESS_KEYS_DataIn : TByteArgumentFields {};
struct TTX_SET_DATE_TIME_DataIn : TDateTimeFields {};
struct TTX_LOCK_KEYBOARD_DataIn : TByteArgumentFields {};
struct TTX_READ_TAPE_DataIn : TWordArgumentFields {};
struct TRX_UNKNOWN_DataIn : TBytesFields {};

// The one mapping from command number to record type: the alternative at
// index N is the record of command N. Index 0 is no command.
using TCommandData = std::variant<std::monostate,
                                  TRX_GET_TOV_BY_CODE_DataIn,         // 1
                                  TRX_GET_TOV_BY_SHK_DataIn,          // 2
                                  TRX_REG_PURCHASE_DataIn,            // 3
                                  TRX_CLOSE_CHECK_DataIn,             // 4
                                  TRX_X_REPORT_DataIn,                // 5
                                  TRX_Z_REPORT_DataIn,                // 6
                                  TRX_GET_AVT_BY_CODE_DataIn,         // 7
                                  TRX_GET_AVT_BN_BY_CODE_DataIn,      // 8
                                  TRX_GET_AVT_BY_READER_DataIn,       // 9
                                  TRX_GET_AVT_BN_BY_READER_DataIn,    // 10
                                  TRX_READ_TOV_DataIn,                // 11
                                  TRX_READ_TOV_ERROR_DataIn,          // 12
                                  TRX_WRITE_TOV_DataIn,               // 13
                                  TRX_CLEAR_TOV_DataIn,               // 14
                                  TRX_FILL_PURCHASE_DataIn,           // 15
                                  TRX_DELETE_PURCHASE_DataIn,         // 16
                                  TRX_DELETE_ALL_PURCHASES_DataIn,    // 17
                                  TRX_CLOSE_CHECK_OK_DataIn,          // 18
                                  TRX_CLOSE_CHECK_ERROR_DataIn,       // 19
                                  TRX_PRESS_KEYS_DataIn,              // 20
                                  TRX_SALES_TOTAL_DataIn,             // 21
                                  TRX_SALES_TOTAL_ERROR_DataIn,       // 22
                                  TRX_STATE_DataIn,                   // 23
                                  TRX_SERIAL_NUMBER_DataIn,           // 24
                                  TRX_DATE_TIME_DataIn,               // 25
                                  TRX_SET_DATE_TIME_DataIn,           // 26
                                  TRX_LOCK_KEYBOARD_DataIn,           // 27
                                  TRX_DISPLAY_DataIn,                 // 28
                                  TRX_READ_TAPE_DataIn,               // 29
                                  TRX_READ_RPZU_DataIn,               // 30
                                  TRX_WRITE_RPZU_DataIn,              // 31
                                  TTX_TOV_FOUND_BY_CODE_DataIn,       // 32
                                  TTX_TOV_NOT_FOUND_BY_CODE_DataIn,   // 33
                                  TTX_TOV_FOUND_BY_SHK_DataIn,        // 34
                                  TTX_TOV_NOT_FOUND_BY_SHK_DataIn,    // 35
                                  TTX_REG_PURCHASE_ANSWER_DataIn,     // 36
                                  TTX_CLOSE_CHECK_ANSWER_DataIn,      // 37
                                  TTX_X_REPORT_ANSWER_DataIn,         // 38
                                  TTX_Z_REPORT_ANSWER_DataIn,         // 39
                                  TTX_AVT_OK_BY_CODE_DataIn,          // 40
                                  TTX_AVT_ERROR_BY_CODE_DataIn,       // 41
                                  TTX_AVT_BN_OK_BY_CODE_DataIn,       // 42
                                  TTX_AVT_BN_ERROR_BY_CODE_DataIn,    // 43
                                  TTX_AVT_OK_BY_READER_DataIn,        // 44
                                  TTX_AVT_ERROR_BY_READER_DataIn,     // 45
                                  TTX_AVT_BN_OK_BY_READER_DataIn,     // 46
                                  TTX_AVT_BN_ERROR_BY_READER_DataIn,  // 47
                                  TTX_READ_TOV_DataIn,                // 48
                                  TZarvik12m_GoodsItem,               // 49
                                  TNoPayload<50>,                     // 50
                                  TTX_FILL_PURCHASE_DataIn,           // 51
                                  TTX_DELETE_PURCHASE_DataIn,         // 52
                                  TNoPayload<53>,                     // 53
                                  TTX_CLOSE_CHECK_DataIn,             // 54
                                  TTX_PRESS_KEYS_DataIn,              // 55
                                  TNoPayload<56>,                     // 56
                                  TNoPayload<57>,                     // 57
                                  TNoPayload<58>,                     // 58
                                  TNoPayload<59>,                     // 59
                                  TTX_SET_DATE_TIME_DataIn,           // 60
                                  TTX_LOCK_KEYBOARD_DataIn,           // 61
                                  TTX_DISPLAY_DataIn,                 // 62
                                  TTX_READ_TAPE_DataIn,               // 63
                                  TTX_READ_RPZU_DataIn,               // 64
                                  TTX_WRITE_RPZU_DataIn,              // 65
                                  TRX_UNKNOWN_DataIn>;                // 66

static_assert(std::variant_size_v<TCommandData> == 67);

// A command's data record, shared by the copies of the command that holds
// it; null for the commands without payload.
using TCommandDataPtr = std::shared_ptr<TCommandData>;

// The record type of command N.
template <std::size_t Number>
using TCommandRecord = std::variant_alternative_t<Number, TCommandData>;

// The payload bytes the layout of a record reads and writes (the fixed
// part for layouts of any length).
template <class TRecord>
inline constexpr std::size_t PayloadSizeOf = TRecord::PayloadSize;

template <>
inline constexpr std::size_t PayloadSizeOf<std::monostate> = 0;

template <>
inline constexpr std::size_t PayloadSizeOf<TZarvik12m_GoodsItem> = 40;

namespace detail {

template <class TRecord, class TVariant>
struct TAlternativeIndex;

template <class TRecord, class... TAlternatives>
struct TAlternativeIndex<TRecord, std::variant<TAlternatives...>> {
    static constexpr std::size_t Count = (std::size_t{std::is_same_v<TRecord, TAlternatives>} + ...);
    static_assert(Count == 1, "not the record of exactly one command");
    static constexpr std::size_t Value = [] {
        constexpr bool matches[] = {std::is_same_v<TRecord, TAlternatives>...};
        std::size_t index = 0;
        while (!matches[index]) {
            ++index;
        }
        return index;
    }();
};

[[noreturn]] void ThrowDataMismatch(const TCommandData* data, std::size_t expectedNumber);

}  // namespace detail

// The command number whose record type is TRecord.
template <class TRecord>
inline constexpr std::uint8_t CommandNumberOf =
    static_cast<std::uint8_t>(detail::TAlternativeIndex<TRecord, TCommandData>::Value);

// Checked access to a record: throws std::logic_error when the data is null
// or the record of another command.
template <class TRecord, class TData>
requires std::is_same_v<std::remove_const_t<TData>, TCommandData>
auto& DataAs(TData* data)
{
    auto* record = data != nullptr ? std::get_if<TRecord>(data) : nullptr;
    if (record == nullptr) {
        detail::ThrowDataMismatch(data, CommandNumberOf<TRecord>);
    }
    return *record;
}

template <class TRecord>
TRecord& DataAs(const TCommandDataPtr& data)
{
    return DataAs<TRecord>(data.get());
}

}  // namespace zarvik12m
