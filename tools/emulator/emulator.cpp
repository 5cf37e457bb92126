#include "tools/emulator/emulator.h"

#include <stdexcept>
#include <utility>

namespace zarvik12m::emulator {

namespace {

void CheckNetNumber(std::uint8_t netNumber)
{
    if (netNumber < 1 || netNumber > 99) {
        throw std::out_of_range("network number outside 1..99");
    }
}

void CheckGoodsNumber(std::uint16_t number)
{
    if (number < 1 || number > MaxGoodsNumber) {
        throw std::out_of_range("goods number outside 1..4000");
    }
}

}  // namespace

TEmulator::TEmulator(TEmulatorSettings settings)
    : FSettings(std::move(settings)),
      FSlavePath(FTerminal.SlavePath()),
      FScanner(FSettings.StallTimeout),
      FThread([this](TThread&) { Serve(); }, true)
{
    CheckNetNumber(FSettings.NetNumber);
    SetGoodsTable(FSettings.Goods);
    FThread.Start();
}

TEmulator::~TEmulator()
{
    Stop();
}

void TEmulator::Stop()
{
    FThread.Terminate();
    FWakeup.Wake();
    FThread.WaitFor();
    FTerminal.Close();
    const std::lock_guard lock(FLock);
    FServiceEnded = true;
    FChanged.notify_all();
}

bool TEmulator::ServiceEnded() const
{
    const std::lock_guard lock(FLock);
    return FServiceEnded;
}

// ---- goods table and identity ----

void TEmulator::SetGoods(std::uint16_t number, const TGoodsRecord& record)
{
    CheckGoodsNumber(number);
    const std::lock_guard lock(FLock);
    FSettings.Goods[number] = Normalised(record);
}

void TEmulator::SetGoodsTable(const TGoodsTable& table)
{
    TGoodsTable normalised;
    for (const auto& [number, record] : table) {
        CheckGoodsNumber(number);
        normalised.emplace(number, Normalised(record));
    }
    const std::lock_guard lock(FLock);
    FSettings.Goods = std::move(normalised);
}

void TEmulator::EraseGoods(std::uint16_t number)
{
    const std::lock_guard lock(FLock);
    FSettings.Goods.erase(number);
}

void TEmulator::ClearGoods()
{
    const std::lock_guard lock(FLock);
    FSettings.Goods.clear();
}

std::optional<TGoodsRecord> TEmulator::Goods(std::uint16_t number) const
{
    const std::lock_guard lock(FLock);
    const auto found = FSettings.Goods.find(number);
    if (found == FSettings.Goods.end()) {
        return std::nullopt;
    }
    return found->second;
}

TGoodsTable TEmulator::GoodsTable() const
{
    const std::lock_guard lock(FLock);
    return FSettings.Goods;
}

std::size_t TEmulator::GoodsCount() const
{
    const std::lock_guard lock(FLock);
    return FSettings.Goods.size();
}

std::uint8_t TEmulator::NetNumber() const
{
    const std::lock_guard lock(FLock);
    return FSettings.NetNumber;
}

void TEmulator::SetNetNumber(std::uint8_t netNumber)
{
    CheckNetNumber(netNumber);
    const std::lock_guard lock(FLock);
    FSettings.NetNumber = netNumber;
}

std::string TEmulator::SerialNumber() const
{
    const std::lock_guard lock(FLock);
    return FSettings.SerialNumber;
}

void TEmulator::SetSerialNumber(const std::string& serialNumber)
{
    const std::lock_guard lock(FLock);
    FSettings.SerialNumber = serialNumber;
}

void TEmulator::SetStateAndMode(std::uint8_t state, std::uint8_t mode)
{
    const std::lock_guard lock(FLock);
    FSettings.State = state;
    FSettings.Mode = mode;
}

// ---- faults ----

TFaults TEmulator::Faults() const
{
    const std::lock_guard lock(FLock);
    return FSettings.Faults;
}

void TEmulator::SetFaults(const TFaults& faults)
{
    const std::lock_guard lock(FLock);
    FSettings.Faults = faults;
}

void TEmulator::SetNeverAnswer(bool on)
{
    const std::lock_guard lock(FLock);
    FSettings.Faults.NeverAnswer = on;
}

void TEmulator::SetForcedStatus(std::uint8_t command, std::uint8_t status)
{
    const std::lock_guard lock(FLock);
    FSettings.Faults.ForcedStatus[command] = status;
}

void TEmulator::ClearForcedStatus(std::uint8_t command)
{
    const std::lock_guard lock(FLock);
    FSettings.Faults.ForcedStatus.erase(command);
}

void TEmulator::SetGarbage(const TBytes& bytes)
{
    const std::lock_guard lock(FLock);
    FSettings.Faults.Garbage = bytes;
}

void TEmulator::SetChunks(std::size_t chunkSize, std::chrono::milliseconds pause)
{
    const std::lock_guard lock(FLock);
    FSettings.Faults.ChunkSize = chunkSize;
    FSettings.Faults.ChunkPause = pause;
}

void TEmulator::SetForeignNetNumber(std::uint8_t netNumber)
{
    if (netNumber != 0) {
        CheckNetNumber(netNumber);
    }
    const std::lock_guard lock(FLock);
    FSettings.Faults.ForeignNetNumber = netNumber;
}

void TEmulator::SetDuplicateAnswer(bool on)
{
    const std::lock_guard lock(FLock);
    FSettings.Faults.DuplicateAnswer = on;
}

void TEmulator::SetAnswerDelay(std::chrono::milliseconds delay)
{
    const std::lock_guard lock(FLock);
    FSettings.Faults.AnswerDelay = delay;
}

void TEmulator::SetBaudRate(std::uint32_t baudRate)
{
    const std::lock_guard lock(FLock);
    FSettings.Faults.BaudRate = baudRate;
}

void TEmulator::SetLineBaudRate(std::uint32_t baudRate)
{
    const std::lock_guard lock(FLock);
    FSettings.LineBaudRate = baudRate;
}

std::size_t TEmulator::GarbledByteCount() const
{
    const std::lock_guard lock(FLock);
    return FGarbledByteCount;
}

void TEmulator::SetHangUpAfter(std::size_t exchanges)
{
    const std::lock_guard lock(FLock);
    FSettings.Faults.HangUpAfter = exchanges;
}

// ---- history ----

std::vector<TReceivedFrame> TEmulator::ReceivedFrames() const
{
    const std::lock_guard lock(FLock);
    return {FFrames.begin(), FFrames.end()};
}

std::vector<TExchange> TEmulator::Exchanges() const
{
    const std::lock_guard lock(FLock);
    return {FExchanges.begin(), FExchanges.end()};
}

std::size_t TEmulator::FrameCount() const
{
    const std::lock_guard lock(FLock);
    return FFrameCount;
}

std::size_t TEmulator::ExchangeCount() const
{
    const std::lock_guard lock(FLock);
    return FExchangeCount;
}

std::size_t TEmulator::SkippedByteCount() const
{
    const std::lock_guard lock(FLock);
    return FSkippedByteCount;
}

void TEmulator::ClearHistory()
{
    const std::lock_guard lock(FLock);
    FFrames.clear();
    FExchanges.clear();
    FFrameCount = 0;
    FExchangeCount = 0;
    FSkippedByteCount = 0;
}

bool TEmulator::WaitForFrames(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(FLock);
    return FChanged.wait_for(lock, timeout, [&] { return FFrameCount >= count; });
}

bool TEmulator::WaitForExchanges(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(FLock);
    return FChanged.wait_for(lock, timeout, [&] { return FExchangeCount >= count; });
}

bool TEmulator::WaitForServiceEnd(std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(FLock);
    return FChanged.wait_for(lock, timeout, [&] { return FServiceEnded; });
}

}  // namespace zarvik12m::emulator
