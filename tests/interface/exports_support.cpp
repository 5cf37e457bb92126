#include "tests/interface/exports_support.h"

#include <stdexcept>
#include <utility>

#include "driver/common/cp1251.h"
#include "tools/emulator/goods_generator.h"
#include "tools/emulator/wire.h"

void PrintTo(const TZarvik12m_GoodsItem& item, std::ostream* stream)
{
    *stream << "{" << item.Code << " '" << item.Barcode.View() << "' " << item.Price << " '"
            << zarvik12m::Cp1251ToUtf8(item.Name.View()) << "' " << int{item.Group} << " " << item.Quantity << "}";
}

namespace zarvik12m::testing {

const TZarvik12mDll& Driver()
{
    static const TZarvik12mDll library(ZARVIK12M_LIBRARY_PATH);
    return library;
}

}  // namespace zarvik12m::testing

namespace zarvik12m::testing {

TZarvik12m_GoodsItem Delivered(std::uint16_t code, const emulator::TGoodsRecord& record)
{
    TZarvik12m_GoodsItem item{};
    item.Code = code;
    item.Barcode.Assign(record.Barcode);
    item.Price = std::int64_t{record.Price} * 10000;
    // The register's character set has no room for some Windows-1251
    // signs: the name comes back as the two translations leave it.
    emulator::TBytes dosName;
    emulator::PutDosField(dosName, record.Name, emulator::NameWidth);
    item.Name.Assign(emulator::GetDosField(dosName.data(), emulator::NameWidth));
    item.Group = record.Group;
    item.Quantity = record.Quantity / 1000.0;
    return item;
}

TZarvik12m_Goods Delivered(const emulator::TGoodsTable& table)
{
    TZarvik12m_Goods goods;
    for (const auto& [number, record] : table) {
        goods.push_back(Delivered(number, emulator::Normalised(record)));
    }
    return goods;
}

emulator::TGoodsTable GoodsNumbered(const std::vector<std::uint16_t>& numbers)
{
    const emulator::TGoodsTable all = emulator::GenerateGoods(emulator::MaxGoodsNumber);
    emulator::TGoodsTable table;
    for (const std::uint16_t number : numbers) {
        table.emplace(number, emulator::Normalised(all.at(number)));
    }
    return table;
}

std::vector<std::uint8_t> MessagesReceived(TRegisterOnPort& target, std::uint8_t port)
{
    TZarvik12m_Properties properties{};
    Driver().GetProperties(port, TestBaudRate, TestNetNumber, properties);
    std::vector<std::uint8_t> messages;
    for (const emulator::TReceivedFrame& frame : target.Emulator.ReceivedFrames()) {
        messages.push_back(frame.Message);
    }
    if (messages.empty() || messages.back() != SerialNumberMessage) {
        throw std::logic_error("the marker's frame did not come last");
    }
    messages.pop_back();
    return messages;
}

std::uint16_t ExportsTest::Load(TZarvik12m_Goods& goods)
{
    std::uint16_t count = 0xFFFF;
    Driver().LoadGoods(Port, TestBaudRate, TestNetNumber, goods, count);
    return count;
}

void ExportsTest::Write(const TZarvik12m_Goods& goods, std::uint16_t count)
{
    Driver().WriteGoods(Port, TestBaudRate, TestNetNumber, goods, count);
}

std::vector<std::uint16_t> ExportsTest::GoodsNumbersAsked() const
{
    // Frames are recorded as they are recognised, before they are
    // answered; an exchange only once its answer has been written, which
    // can be after the driver has read that answer and returned.
    std::vector<std::uint16_t> numbers;
    for (const emulator::TReceivedFrame& frame : FRegister.Emulator.ReceivedFrames()) {
        if (frame.Message == ReadGoodsMessage) {
            numbers.push_back(emulator::GetWord(frame.Bytes.data() + 3));
        }
    }
    return numbers;
}

std::string ExportsTest::LastLogEntry() const
{
    std::string log = ReadFileBytes(FScratch.Path() / "LogError.txt");
    if (!log.ends_with("\r\n")) {
        return log;
    }
    log.resize(log.size() - 2);
    const std::size_t lineStart = log.rfind('\n') == std::string::npos ? 0 : log.rfind('\n') + 1;
    const std::size_t entry = log.find(" [ErrorCode", lineStart);
    return entry == std::string::npos ? log.substr(lineStart) : log.substr(entry + 1);
}

}  // namespace zarvik12m::testing
