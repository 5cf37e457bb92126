// Payloads of what the driver sends: commands 32..65. One function per
// layout, each a fixed sequence of field conversions on a payload of the
// layout's exact size, so that every field's place is checked while
// compiling.

#include <stdexcept>
#include <string>
#include <type_traits>

#include "driver/protocol/frame_codec.h"
#include "driver/protocol/wire_fields.h"

namespace zarvik12m {

namespace {

using TPayload = std::span<std::uint8_t>;

void EncodeLayout(const TAnswerFields& record, TPayload payload)
{
    WriteByte(payload.first<1>(), record.Answer);
}

void EncodeLayout(const TByteArgumentFields& record, TPayload payload)
{
    WriteByte(payload.first<1>(), record.Argument);
}

void EncodeLayout(const TWordArgumentFields& record, TPayload payload)
{
    WriteWordBE(payload.first<2>(), record.Argument);
}

void EncodeLayout(const TGoodsFoundFields& record, TPayload payload)
{
    const auto p = payload.first<TGoodsFoundFields::PayloadSize>();
    WriteCurrency(p.subspan<0, 4>(), record.Price);
    WriteDosText(p.subspan<4, 16>(), record.Name);
    WriteByte(p.subspan<20, 1>(), record.Group);
    WriteThousandths(p.subspan<21, 4>(), record.Quantity);
}

void EncodeLayout(const TAuthorisationGrantedFields& record, TPayload payload)
{
    const auto p = payload.first<TAuthorisationGrantedFields::PayloadSize>();
    WriteByte(p.subspan<0, 1>(), record.Field1);
    WriteHundredths(p.subspan<1, 2>(), record.Field2);
    WriteDosText(p.subspan<3, 26>(), record.Field3);
    WriteDosText(p.subspan<29, 26>(), record.Field4);
    WriteDosText(p.subspan<55, 26>(), record.Field5);
}

void EncodeLayout(const TZarvik12m_GoodsItem& record, TPayload payload)
{
    const auto p = payload.first<PayloadSizeOf<TZarvik12m_GoodsItem>>();
    WriteWordBE(p.subspan<0, 2>(), record.Code);
    WriteRightText(p.subspan<2, 13>(), record.Barcode);
    WriteCurrency(p.subspan<15, 4>(), record.Price);
    WriteDosText(p.subspan<19, 16>(), record.Name);
    WriteByte(p.subspan<35, 1>(), record.Group);
    WriteThousandths(p.subspan<36, 4>(), record.Quantity);
}

void EncodeLayout(const TPurchaseFields& record, TPayload payload)
{
    const auto p = payload.first<TPurchaseFields::PayloadSize>();
    WriteByte(p.subspan<0, 1>(), record.Field1);
    WriteByte(p.subspan<1, 1>(), record.Field2);
    WriteThousandths(p.subspan<2, 4>(), record.Field3);
    WriteCurrency(p.subspan<6, 4>(), record.Field4);
    WriteHundredths(p.subspan<10, 2>(), record.Field5);
    WriteByte(p.subspan<12, 1>(), record.Field6);
    WriteCurrency(p.subspan<13, 4>(), record.Field7);
    WriteByte(p.subspan<17, 1>(), record.Field8);
    WriteRightText(p.subspan<18, 13>(), record.Field9);
    WriteByte(p.subspan<31, 1>(), record.Field10);
    WriteDosText(p.subspan<32, 16>(), record.Field11);
}

void EncodeLayout(const TTX_CLOSE_CHECK_DataIn& record, TPayload payload)
{
    const auto p = payload.first<TTX_CLOSE_CHECK_DataIn::PayloadSize>();
    WriteByte(p.subspan<0, 1>(), record.Field1);
    WriteCurrency(p.subspan<1, 4>(), record.Field2);
}

void EncodeLayout(const TDateTimeFields& record, TPayload payload)
{
    const auto p = payload.first<TDateTimeFields::PayloadSize>();
    DateTimeToBCD(p.subspan<0, 5>(), record.DateTime);
    WriteByte(p.subspan<5, 1>(), record.Field2);
}

void EncodeLayout(const TTX_DISPLAY_DataIn& record, TPayload payload)
{
    const auto p = payload.first<TTX_DISPLAY_DataIn::PayloadSize>();
    // Bit 1 from the first flag, bit 0 from the second; nothing else.
    const auto flags = static_cast<std::uint8_t>(((record.Field1 & 1U) << 1U) | (record.Field2 & 1U));
    WriteByte(p.subspan<0, 1>(), flags);
    WriteDosText(p.subspan<1, 16>(), record.Text);
}

void EncodeLayout(const TTX_READ_RPZU_DataIn& record, TPayload payload)
{
    const auto p = payload.first<TTX_READ_RPZU_DataIn::PayloadSize>();
    WriteByte(p.subspan<0, 1>(), record.Field1);
    WriteLongBE(p.subspan<1, 4>(), static_cast<std::uint32_t>(record.Field2));
}

void EncodeLayout(const TTX_WRITE_RPZU_DataIn& record, TPayload payload)
{
    const auto p = payload.first<TTX_WRITE_RPZU_DataIn::PayloadSize>();
    if (payload.size() < p.size() + record.Data.size()) {
        return;  // no room for the data bytes: nothing written
    }
    WriteByte(p.subspan<0, 1>(), record.Field1);
    WriteLongBE(p.subspan<1, 4>(), static_cast<std::uint32_t>(record.Field2));
    ArrayToBytes(payload.subspan(p.size()), record.Data);
}

}  // namespace

void TFrameCodec::EncodeData(const TCommand& command, std::span<std::uint8_t> payload)
{
    const TCommandType type = CommandTypeOf(command.CommandNumber);
    if ((type != ctServerResponse && type != ctServerCommand) || command.Data == nullptr) {
        return;
    }
    if (command.Data->index() != command.CommandNumber) {
        throw std::logic_error("EncodeData: the record is not of command " + std::to_string(command.CommandNumber));
    }
    std::visit(
        [payload](const auto& record) {
            using TRecord = std::remove_cvref_t<decltype(record)>;
            if constexpr (requires { EncodeLayout(record, payload); }) {
                if (payload.size() >= PayloadSizeOf<TRecord>) {
                    EncodeLayout(record, payload);
                }
            }
        },
        *command.Data);
}

}  // namespace zarvik12m
