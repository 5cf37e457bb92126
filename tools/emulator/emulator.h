#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "driver/platform/file.h"
#include "driver/platform/pseudo_terminal.h"
#include "driver/platform/thread.h"
#include "driver/platform/wakeable_wait.h"
#include "tools/emulator/faults.h"
#include "tools/emulator/frame_scanner.h"
#include "tools/emulator/goods_record.h"
#include "tools/emulator/line_clock.h"
#include "tools/emulator/wire.h"

namespace zarvik12m::emulator {

// What a register sends back to a line set to the wrong speed: bytes of
// which none is a valid address (each has a nibble above 9), so that no
// frame can ever be read in them.
inline const TBytes GarbledAnswer = {0xFE, 0xE0, 0xF8, 0x8F, 0xFF, 0xE6, 0x9E, 0xFC};

struct TEmulatorSettings {
    std::uint8_t NetNumber = 1;             // 1..99
    std::string SerialNumber = "12000001";  // factory number, at most 13 bytes
    std::uint8_t State = 0;                 // the two bytes of answer 23
    std::uint8_t Mode = 0;
    TGoodsTable Goods;
    TFaults Faults;

    // The register understands the line only while the computer has set
    // it to this speed (read from the pseudo-terminal as each chunk of
    // bytes comes); at any other speed it answers with garbage, as a real
    // line at the wrong speed would. 0: any speed.
    std::uint32_t LineBaudRate = 0;

    // A line for every frame received and sent and every run of skipped
    // bytes; called on the emulator's thread.
    std::function<void(const std::string& line)> Trace;

    // Called on the emulator's thread when it stops serving by itself
    // (after a hang-up, or when the line fails).
    std::function<void()> OnServiceEnded;

    // A frame that has begun but stops short is given up after this much
    // silence on the line.
    std::chrono::milliseconds StallTimeout{100};
};

// A frame the register recognised on the line.
struct TReceivedFrame {
    TBytes Bytes;                  // the whole frame
    std::uint8_t NetNumber = 0;    // from its address byte
    std::uint8_t Message = 0;      // message number (1..65) by code and length
    bool ForThisRegister = false;  // addressed to this register's network number
};

// A command (48..65) to this register and what it answered.
struct TExchange {
    TReceivedFrame Request;
    TBytes Answer;  // the answer frame; empty when none was sent
};

// The register on a pseudo-terminal. The constructor creates the line and
// starts serving it on a thread of its own; the destructor stops it and
// removes the line. Everything public may be called from any thread, but
// not Stop() from the Trace or OnServiceEnded callbacks.
//
//     TEmulator emulator;
//     emulator.SetGoods(1, {"4600000000017", 89, std::string("Молоко"_cp1251), 1, 1000});
//     setenv("ZARVIK12M_COM1", emulator.SlavePath().c_str(), 1);
//     ... the driver reads goods 1 and 2 ...
//     emulator.WaitForExchanges(2, std::chrono::seconds(10));
//     emulator.Exchanges()[1].Answer;  // 01 01 24 07 D2: no goods 2
class TEmulator {
public:
    explicit TEmulator(TEmulatorSettings settings = {});
    ~TEmulator();

    TEmulator(const TEmulator&) = delete;
    TEmulator& operator=(const TEmulator&) = delete;

    // The device the driver opens (ZARVIK12M_COM<N>).
    [[nodiscard]] const std::string& SlavePath() const noexcept { return FSlavePath; }

    // Stops serving and closes the line; the destructor does it too.
    void Stop();

    // Whether the register no longer serves: stopped, hung up
    // (TFaults::HangUpAfter) or lost its line.
    [[nodiscard]] bool ServiceEnded() const;

    // The goods table.
    void SetGoods(std::uint16_t number, const TGoodsRecord& record);
    void SetGoodsTable(const TGoodsTable& table);
    void EraseGoods(std::uint16_t number);
    void ClearGoods();
    [[nodiscard]] std::optional<TGoodsRecord> Goods(std::uint16_t number) const;
    [[nodiscard]] TGoodsTable GoodsTable() const;
    [[nodiscard]] std::size_t GoodsCount() const;

    // Identity.
    [[nodiscard]] std::uint8_t NetNumber() const;
    void SetNetNumber(std::uint8_t netNumber);
    [[nodiscard]] std::string SerialNumber() const;
    void SetSerialNumber(const std::string& serialNumber);
    void SetStateAndMode(std::uint8_t state, std::uint8_t mode);

    // Faults, all at once or one by one.
    [[nodiscard]] TFaults Faults() const;
    void SetFaults(const TFaults& faults);
    void SetNeverAnswer(bool on);
    void SetForcedStatus(std::uint8_t command, std::uint8_t status);
    void ClearForcedStatus(std::uint8_t command);
    void SetGarbage(const TBytes& bytes);
    void SetChunks(std::size_t chunkSize, std::chrono::milliseconds pause);
    void SetForeignNetNumber(std::uint8_t netNumber);
    void SetDuplicateAnswer(bool on);
    void SetAnswerDelay(std::chrono::milliseconds delay);
    void SetBaudRate(std::uint32_t baudRate);
    void SetHangUpAfter(std::size_t exchanges);
    void SetLineBaudRate(std::uint32_t baudRate);

    // Bytes that came while the line was at another speed than
    // LineBaudRate: never recognised, each chunk answered with
    // GarbledAnswer.
    [[nodiscard]] std::size_t GarbledByteCount() const;

    // What came over the line. The histories keep the latest
    // HistoryLimit entries; the counts count everything.
    static constexpr std::size_t HistoryLimit = 65536;
    [[nodiscard]] std::vector<TReceivedFrame> ReceivedFrames() const;
    [[nodiscard]] std::vector<TExchange> Exchanges() const;
    [[nodiscard]] std::size_t FrameCount() const;
    [[nodiscard]] std::size_t ExchangeCount() const;
    [[nodiscard]] std::size_t SkippedByteCount() const;
    void ClearHistory();

    // Wait until that many frames or exchanges have been counted (an
    // exchange counts once its answer has been written whole); false when
    // the time ran out first.
    bool WaitForFrames(std::size_t count, std::chrono::milliseconds timeout) const;
    bool WaitForExchanges(std::size_t count, std::chrono::milliseconds timeout) const;
    bool WaitForServiceEnd(std::chrono::milliseconds timeout) const;

private:
    void Serve();
    void WaitForLine(std::optional<TClock::time_point> until);
    void ReadLine();
    bool AnswerGarbled(const std::uint8_t* bytes, std::size_t count);
    void Handle(TBytes bytes);
    TBytes AnswerTo(const TReceivedFrame& frame, const TFaults& faults);
    std::uint8_t StoreGoods(std::span<const std::uint8_t> payload);
    bool SendAnswer(const TBytes& answer, const TFaults& faults);
    bool Send(const TBytes& bytes, const TFaults& faults);
    bool SendPaced(const std::uint8_t* data, std::size_t size);
    bool WriteAll(const std::uint8_t* data, std::size_t size);
    bool Pause(TClock::time_point until);
    void HangUp();
    void EndService();
    void Trace(const std::string& line) const;
    void FlushSkipped();

    mutable std::mutex FLock;
    mutable std::condition_variable FChanged;
    TEmulatorSettings FSettings;
    std::deque<TReceivedFrame> FFrames;
    std::deque<TExchange> FExchanges;
    std::size_t FFrameCount = 0;
    std::size_t FExchangeCount = 0;
    std::size_t FSkippedByteCount = 0;
    std::size_t FGarbledByteCount = 0;
    bool FServiceEnded = false;

    // Used by the emulator's thread only (and by Stop once it has ended).
    TPseudoTerminal FTerminal;
    const std::string FSlavePath;
    TWakeableWait FWakeup;  // woken by Stop
    TFrameScanner FScanner;
    TLineClock FReceiveClock;
    TLineClock FSendClock;
    TBytes FSkipped;

    TThread FThread;  // last: stopped before anything it uses goes
};

}  // namespace zarvik12m::emulator
