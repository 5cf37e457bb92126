// A stand-in for libzarvik12m.so: the seven exports with scripted
// behaviour, so that the utility's flows run without a register. Every
// setting comes from the environment of the process that loads it:
//
//   ZARVIK12M_STAND_IN_RECORD     file to which each event is appended as a
//                                 line: "load", "unload", each export call
//                                 with its arguments, and each entry that
//                                 WriteGoods sends ("  code|barcode|price|
//                                 name|group|quantity")
//   ZARVIK12M_STAND_IN_GOODS      file of the register's goods, one entry a
//                                 line in the record's entry format
//   ZARVIK12M_STAND_IN_GOODS_COUNT  or that many made-up goods 1..N
//   ZARVIK12M_STAND_IN_FAILURE    "driver": EZarvik12mError with
//                                 ZARVIK12M_STAND_IN_ERROR_CODE and the
//                                 bytes of ZARVIK12M_STAND_IN_ERROR_MESSAGE;
//                                 "other": an exception class of this
//                                 library; "foreign": an int
//   ZARVIK12M_STAND_IN_FAIL_AT    the progress step that fails (default 1)
//   ZARVIK12M_STAND_IN_HOLD       a FIFO: at step ZARVIK12M_STAND_IN_HOLD_AT
//                                 the export waits (position already set)
//                                 until one byte can be read from it
//
// Progress follows the real library: LoadGoods steps once per goods number
// and once more for the first number not held, WriteGoods once per entry,
// ClearGoods and GetProperties once; the maximum is 4000, 4000, 1, 1.

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <charconv>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "zarvik12m/exports.h"

namespace {

std::array<std::atomic<std::int32_t>, 256> Positions{};
std::array<std::atomic<std::int32_t>, 256> Maximums{};

std::string Setting(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

long NumberSetting(const char* name, long fallback)
{
    const std::string text = Setting(name);
    return text.empty() ? fallback : std::strtol(text.c_str(), nullptr, 10);
}

void Record(const std::string& line)
{
    const std::string path = Setting("ZARVIK12M_STAND_IN_RECORD");
    if (path.empty()) {
        return;
    }
    const int file = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (file < 0) {
        std::abort();
    }
    const std::string bytes = line + "\n";
    const bool complete = ::write(file, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    if (::close(file) != 0 || !complete) {
        std::abort();
    }
}

std::string ArgumentsText(std::uint8_t port, std::int32_t baudRate, std::uint8_t netNumber)
{
    return std::to_string(port) + " " + std::to_string(baudRate) + " " + std::to_string(netNumber);
}

std::string EntryText(const TZarvik12m_GoodsItem& item)
{
    char quantity[64];
    const auto end = std::to_chars(quantity, quantity + sizeof quantity, item.Quantity).ptr;
    return std::to_string(item.Code) + "|" + item.Barcode.Str() + "|" + std::to_string(item.Price) + "|" +
           item.Name.Str() + "|" + std::to_string(item.Group) + "|" + std::string(quantity, end);
}

std::vector<std::string_view> SplitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t bar = line.find('|', start);
        fields.push_back(line.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start));
        if (bar == std::string_view::npos) {
            return fields;
        }
        start = bar + 1;
    }
}

TZarvik12m_GoodsItem EntryOf(std::string_view line)
{
    const std::vector<std::string_view> fields = SplitFields(line);
    if (fields.size() != 6) {
        std::abort();
    }
    const auto number = [](std::string_view text) { return std::strtoll(std::string(text).c_str(), nullptr, 10); };
    TZarvik12m_GoodsItem item{};
    item.Code = static_cast<std::uint16_t>(number(fields[0]));
    item.Barcode.Assign(fields[1]);
    item.Price = number(fields[2]);
    item.Name.Assign(fields[3]);
    item.Group = static_cast<std::uint8_t>(number(fields[4]));
    item.Quantity = std::strtod(std::string(fields[5]).c_str(), nullptr);
    return item;
}

// The goods the register holds.
std::vector<TZarvik12m_GoodsItem> RegisterGoods()
{
    std::vector<TZarvik12m_GoodsItem> goods;
    const std::string path = Setting("ZARVIK12M_STAND_IN_GOODS");
    if (!path.empty()) {
        std::string content;
        const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (file < 0) {
            std::abort();
        }
        char buffer[4096];
        for (ssize_t count = 0; (count = ::read(file, buffer, sizeof buffer)) > 0;) {
            content.append(buffer, static_cast<std::size_t>(count));
        }
        ::close(file);
        for (std::size_t start = 0; start < content.size();) {
            const std::size_t end = content.find('\n', start);
            goods.push_back(EntryOf(std::string_view(content).substr(start, end - start)));
            start = end == std::string::npos ? content.size() : end + 1;
        }
    }
    const long count = NumberSetting("ZARVIK12M_STAND_IN_GOODS_COUNT", 0);
    for (long code = 1; code <= count; ++code) {
        goods.push_back(EntryOf(std::to_string(code) + "|46000000" + std::to_string(10000 + code) + "|" +
                                std::to_string(code * 10000) + "|Goods " + std::to_string(code) + "|1|1"));
    }
    return goods;
}

// An exception class whose code lives in this library only.
class EStandInFault : public std::exception {
public:
    const char* what() const noexcept override;
};

const char* EStandInFault::what() const noexcept
{
    return "stand-in fault";
}

void WaitForRelease()
{
    const std::string path = Setting("ZARVIK12M_STAND_IN_HOLD");
    const int fifo = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fifo < 0) {
        std::abort();
    }
    char byte = 0;
    const ssize_t count = ::read(fifo, &byte, 1);
    ::close(fifo);
    if (count != 1) {
        std::abort();
    }
}

void Start(std::uint8_t port, std::int32_t maximum)
{
    Positions[port].store(0);
    Maximums[port].store(maximum);
}

void Step(std::uint8_t port)
{
    const std::int32_t step = Positions[port].fetch_add(1) + 1;
    if (!Setting("ZARVIK12M_STAND_IN_HOLD").empty() && NumberSetting("ZARVIK12M_STAND_IN_HOLD_AT", 1) == step) {
        WaitForRelease();
    }
    const std::string failure = Setting("ZARVIK12M_STAND_IN_FAILURE");
    if (failure.empty() || NumberSetting("ZARVIK12M_STAND_IN_FAIL_AT", 1) != step) {
        return;
    }
    if (failure == "driver") {
        throw EZarvik12mError(static_cast<std::int16_t>(NumberSetting("ZARVIK12M_STAND_IN_ERROR_CODE", -202)),
                              Setting("ZARVIK12M_STAND_IN_ERROR_MESSAGE"));
    }
    if (failure == "other") {
        throw EStandInFault();
    }
    throw 42;  // NOLINT(hicpp-exception-baseclass)
}

__attribute__((constructor)) void RecordLoad()
{
    Record("load");
}

__attribute__((destructor)) void RecordUnload()
{
    Record("unload");
}

}  // namespace

std::int32_t GetProgressPosition(std::uint8_t port) noexcept
{
    return Positions[port].load();
}

std::int32_t GetProgressMax(std::uint8_t port) noexcept
{
    return Maximums[port].load();
}

void ProgressProcessStop(std::uint8_t port) noexcept
{
    Record("ProgressProcessStop " + std::to_string(port));
}

void LoadGoods(std::uint8_t port, std::int32_t baudRate, std::uint8_t netNumber, TZarvik12m_Goods& goods,
               std::uint16_t& count)
{
    Record("LoadGoods " + ArgumentsText(port, baudRate, netNumber));
    Start(port, MaxGoodsCount);
    const std::vector<TZarvik12m_GoodsItem> held = RegisterGoods();
    count = 0;
    goods.assign(MaxGoodsCount, TZarvik12m_GoodsItem{});
    try {
        for (std::size_t i = 0; i < MaxGoodsCount; ++i) {
            Step(port);
            if (i >= held.size()) {
                break;
            }
            goods[count++] = held[i];
        }
    } catch (...) {
        goods.resize(count);
        throw;
    }
    goods.resize(count);
}

void WriteGoods(std::uint8_t port, std::int32_t baudRate, std::uint8_t netNumber, const TZarvik12m_Goods& goods,
                std::uint16_t count)
{
    Record("WriteGoods " + ArgumentsText(port, baudRate, netNumber) + " " + std::to_string(count));
    Start(port, MaxGoodsCount);
    for (std::size_t i = 0; i < count; ++i) {
        Step(port);
        Record("  " + EntryText(goods.at(i)));
    }
}

#ifndef ZARVIK12M_STAND_IN_WITHOUT_CLEAR_GOODS
void ClearGoods(std::uint8_t port, std::int32_t baudRate, std::uint8_t netNumber)
{
    Record("ClearGoods " + ArgumentsText(port, baudRate, netNumber));
    Start(port, 1);
    Step(port);
}
#endif

void GetProperties(std::uint8_t port, std::int32_t baudRate, std::uint8_t netNumber, TZarvik12m_Properties& properties)
{
    Record("GetProperties " + ArgumentsText(port, baudRate, netNumber));
    Start(port, 1);
    properties.MaxGoods = MaxGoodsCount;
    Step(port);
}
