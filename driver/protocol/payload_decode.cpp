// Payloads of what the register sends: commands 1..31, and the bytes of
// command 66 that formed no frame. One function per layout, each a fixed
// sequence of field conversions on a payload of the layout's exact size,
// so that every field's place is checked while compiling. Bad bytes never
// raise: invalid dates and times decode to their fallback values.

#include <stdexcept>
#include <string>
#include <type_traits>

#include "driver/protocol/frame_codec.h"
#include "driver/protocol/wire_fields.h"

namespace zarvik12m {

namespace {

using TPayload = std::span<const std::uint8_t>;

void DecodeLayout(TResultFields& record, TPayload payload)
{
    record.Result = ReadByte(payload.first<1>());
}

void DecodeLayout(TGoodsLookupFields& record, TPayload payload)
{
    const auto p = payload.first<TGoodsLookupFields::PayloadSize>();
    record.Code = ReadRawText(p.subspan<0, 13>());
    record.Field2 = ReadThousandths(p.subspan<13, 4>());
}

void DecodeLayout(TPurchaseFields& record, TPayload payload)
{
    const auto p = payload.first<TPurchaseFields::PayloadSize>();
    record.Field1 = ReadByte(p.subspan<0, 1>());
    record.Field2 = ReadByte(p.subspan<1, 1>());
    record.Field3 = ReadThousandths(p.subspan<2, 4>());
    record.Field4 = ReadCurrency(p.subspan<6, 4>());
    record.Field5 = ReadHundredths(p.subspan<10, 2>());
    record.Field6 = ReadByte(p.subspan<12, 1>());
    record.Field7 = ReadCurrency(p.subspan<13, 4>());
    record.Field8 = ReadByte(p.subspan<17, 1>());
    record.Field9 = ReadRawText(p.subspan<18, 13>());
    record.Field10 = ReadByte(p.subspan<31, 1>());
    record.Field11 = ReadDosText(p.subspan<32, 16>());
}

void DecodeLayout(TReceiptFields& record, TPayload payload)
{
    const auto p = payload.first<TReceiptFields::PayloadSize>();
    record.Field1 = ReadByte(p.subspan<0, 1>());
    record.Field2 = ReadWordBE(p.subspan<1, 2>());
    record.Field3 = ReadWordBE(p.subspan<3, 2>());
    record.Field4 = BCDToDateTime(p.subspan<5, 5>());
    record.Field5 = ReadByte(p.subspan<10, 1>());
    record.Field6 = ReadByte(p.subspan<11, 1>());
    record.Field7 = ReadCurrency40(p.subspan<12, 5>());
    record.Field8 = ReadByte(p.subspan<17, 1>());
    record.Field9 = ReadCurrency(p.subspan<18, 4>());
    record.Field10 = ReadByte(p.subspan<22, 1>());
    record.Field11 = ReadCurrency(p.subspan<23, 4>());
}

void DecodeLayout(TReportFields& record, TPayload payload)
{
    const auto p = payload.first<TReportFields::PayloadSize>();
    record.Field1 = ReadWordBE(p.subspan<0, 2>());
    record.Field2 = BCDToDateTime(p.subspan<2, 5>());
    record.Field3 = ReadCurrency40(p.subspan<7, 5>());
}

void DecodeLayout(TAuthorisationByCodeFields& record, TPayload payload)
{
    const auto p = payload.first<TAuthorisationByCodeFields::PayloadSize>();
    record.Amount = ReadCurrency(p.subspan<0, 4>());
    record.Code = ReadRawText(p.subspan<4, 13>());
}

void DecodeLayout(TAuthorisationByReaderFields& record, TPayload payload)
{
    constexpr std::size_t AmountSize = 4;
    if (payload.size() < AmountSize) {
        // Too short to hold the amount: nothing of it is read.
        record.Amount = 0;
        record.Data.clear();
        return;
    }
    record.Amount = ReadCurrency(payload.first<AmountSize>());
    record.Data = BytesToArray(payload.subspan(AmountSize));
}

void DecodeLayout(TRX_READ_TOV_DataIn& record, TPayload payload)
{
    const auto p = payload.first<TRX_READ_TOV_DataIn::PayloadSize>();
    record.Barcode = ReadRawText(p.subspan<0, 13>());
    record.Price = ReadCurrency(p.subspan<13, 4>());
    record.Name = ReadDosText(p.subspan<17, 16>());
    record.Group = ReadByte(p.subspan<33, 1>());
    record.Quantity = ReadThousandths(p.subspan<34, 4>());
}

void DecodeLayout(TRX_STATE_DataIn& record, TPayload payload)
{
    const auto p = payload.first<TRX_STATE_DataIn::PayloadSize>();
    record.Field1 = ReadByte(p.subspan<0, 1>());
    record.Field2 = ReadByte(p.subspan<1, 1>());
}

void DecodeLayout(TRX_SERIAL_NUMBER_DataIn& record, TPayload payload)
{
    record.SerialNumber = ReadTrimmedText(payload.first<TRX_SERIAL_NUMBER_DataIn::PayloadSize>());
}

void DecodeLayout(TDateTimeFields& record, TPayload payload)
{
    const auto p = payload.first<TDateTimeFields::PayloadSize>();
    record.DateTime = BCDToDateTime(p.subspan<0, 5>());
    record.Field2 = ReadByte(p.subspan<5, 1>());
}

void DecodeLayout(TRX_READ_TAPE_DataIn& record, TPayload payload)
{
    const auto p = payload.first<TRX_READ_TAPE_DataIn::PayloadSize>();
    record.Field1 = ReadWordBE(p.subspan<0, 2>());
    record.Field2 = ReadThousandths(p.subspan<2, 4>());
    record.Field3 = ReadCurrency(p.subspan<6, 4>());
    record.Field4 = ReadByte(p.subspan<10, 1>());
    record.Field5 = ReadByte(p.subspan<11, 1>());
    record.Field6 = ReadHundredths(p.subspan<12, 2>());
    record.Field7 = ReadHundredths(p.subspan<14, 2>());
    record.Field8 = ReadHundredths(p.subspan<16, 2>());
    record.Field9 = ReadByte(p.subspan<18, 1>());
    record.Field10 = ReadByte(p.subspan<19, 1>());
    record.Field11 = ReadByte(p.subspan<20, 1>());
    record.Field12 = BCDToTime(p.subspan<21, 2>());
    record.Field13 = ReadByte(p.subspan<23, 1>());
    record.Field14 = ReadByte(p.subspan<24, 1>());
    record.Field15 = ReadCurrency(p.subspan<25, 4>());
    record.Field16 = ReadRawText(p.subspan<29, 13>());
}

void DecodeLayout(TBytesFields& record, TPayload payload)
{
    record.Data = BytesToArray(payload);
}

bool IsReceivedCommand(std::uint8_t commandNumber)
{
    const TCommandType type = TFrameCodec::CommandTypeOf(commandNumber);
    return type == ctKKMRequest || type == ctKKMResponse || commandNumber == UnknownCommand;
}

}  // namespace

void TFrameCodec::DecodeData(const TCommand& command, std::span<const std::uint8_t> payload)
{
    if (!IsReceivedCommand(command.CommandNumber) || command.Data == nullptr) {
        return;
    }
    if (command.Data->index() != command.CommandNumber) {
        throw std::logic_error("DecodeData: the record is not of command " + std::to_string(command.CommandNumber));
    }
    std::visit(
        [payload](auto& record) {
            using TRecord = std::remove_cvref_t<decltype(record)>;
            if constexpr (requires { DecodeLayout(record, payload); }) {
                if (payload.size() >= PayloadSizeOf<TRecord>) {
                    DecodeLayout(record, payload);
                }
            }
        },
        *command.Data);
}

}  // namespace zarvik12m
