#include "tools/emulator/goods_record.h"

namespace zarvik12m::emulator {

std::string RightAlignedBarcode(std::string_view text)
{
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 0x20) {
        text.remove_suffix(1);
    }
    std::string aligned;
    if (text.size() < BarcodeWidth) {
        aligned.assign(BarcodeWidth - text.size(), ' ');
    }
    aligned.append(text);
    aligned.resize(BarcodeWidth);
    return aligned;
}

TGoodsRecord Normalised(TGoodsRecord record)
{
    record.Barcode = RightAlignedBarcode(record.Barcode);
    if (record.Name.size() > NameWidth) {
        record.Name.resize(NameWidth);
    }
    while (!record.Name.empty() && record.Name.back() == ' ') {
        record.Name.pop_back();
    }
    return record;
}

TBytes GoodsFoundPayload(const TGoodsRecord& record)
{
    TBytes payload;
    payload.reserve(38);
    for (std::size_t i = 0; i < BarcodeWidth; ++i) {
        payload.push_back(i < record.Barcode.size() ? static_cast<std::uint8_t>(record.Barcode[i]) : 0x20);
    }
    PutLong(payload, record.Price);
    PutDosField(payload, record.Name, NameWidth);
    payload.push_back(record.Group);
    PutLong(payload, record.Quantity);
    return payload;
}

TGoodsWrite ParseGoodsWrite(std::span<const std::uint8_t> payload)
{
    TGoodsWrite write;
    if (payload.size() < 40) {
        return write;
    }
    const std::uint8_t* place = payload.data();
    write.Number = GetWord(place);
    write.Record.Barcode.assign(reinterpret_cast<const char*>(place + 2), BarcodeWidth);
    write.Record.Price = GetLong(place + 15);
    write.Record.Name = GetDosField(place + 19, NameWidth);
    write.Record.Group = place[35];
    write.Record.Quantity = GetLong(place + 36);
    return write;
}

}  // namespace zarvik12m::emulator
