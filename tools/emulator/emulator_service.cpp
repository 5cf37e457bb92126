// The emulator's thread: it reads the line, answers the commands for its
// network number and misbehaves as its faults say.

#include "tools/emulator/emulator.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <exception>
#include <system_error>
#include <utility>

#include "driver/platform/linux_support.h"
#include "tools/emulator/catalogue.h"
#include "tools/emulator/line_send.h"

namespace zarvik12m::emulator {

namespace {

constexpr std::uint8_t StatusOk = 0;
constexpr std::uint8_t StatusNoSuchGoods = 7;
constexpr std::uint8_t StatusCodeTooLarge = 8;

// How long an answer may wait for room on the line before it is dropped,
// and how long a hang-up waits for the driver to take the last answer.
constexpr auto WriteTimeout = std::chrono::seconds(2);
constexpr auto DrainTimeout = std::chrono::seconds(2);
constexpr auto DrainPoll = std::chrono::milliseconds(1);
constexpr auto DrainQuiet = std::chrono::milliseconds(50);
// With no slave open the master reports a hang-up at once and keeps doing
// so; the emulator's own slave descriptor prevents that, and this is the
// back-off should it happen all the same.
constexpr auto HangUpBackOff = std::chrono::milliseconds(10);

// The register's date and time: day, month, year in the century, hour and
// minute in packed BCD, then one byte.
TBytes DateTimePayload()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {ToBcd(static_cast<unsigned>(local.tm_mday)),       ToBcd(static_cast<unsigned>(local.tm_mon + 1)),
            ToBcd(static_cast<unsigned>(local.tm_year % 100)), ToBcd(static_cast<unsigned>(local.tm_hour)),
            ToBcd(static_cast<unsigned>(local.tm_min)),        0};
}

TBytes SerialNumberPayload(const std::string& serialNumber)
{
    TBytes payload(BarcodeWidth, 0x20);
    std::copy_n(serialNumber.begin(), std::min(serialNumber.size(), payload.size()), payload.begin());
    return payload;
}

std::string TimeStamp()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    static_cast<void>(std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                                    static_cast<int>(milliseconds)));
    return text;
}

std::string Describe(const TReceivedFrame& frame)
{
    std::string text = "RX " + HexText(frame.Bytes) + "  (";
    text += frame.Message == 0 ? std::string("?") : std::to_string(frame.Message);
    text += ", net " + std::to_string(frame.NetNumber);
    text += frame.ForThisRegister ? ")" : ", another register)";
    return text;
}

template <typename T>
void Remember(std::deque<T>& history, T entry)
{
    if (history.size() == TEmulator::HistoryLimit) {
        history.pop_front();
    }
    history.push_back(std::move(entry));
}

}  // namespace

void TEmulator::Serve()
{
    try {
        while (!FThread.Terminated() && FTerminal.IsOpen()) {
            TFrameScanner::TStep step = FScanner.Next(TClock::now());
            if (step.Kind == TFrameScanner::skSkip) {
                FSkipped.push_back(step.Bytes.front());
                continue;
            }
            FlushSkipped();
            if (step.Kind == TFrameScanner::skFrame) {
                Handle(std::move(step.Bytes));
            } else if (step.Kind == TFrameScanner::skWait) {
                WaitForLine(step.WakeAt);
            } else {
                WaitForLine(std::nullopt);
            }
        }
    } catch (const std::exception& error) {
        Trace(std::string("line failed: ") + error.what());
        FTerminal.Close();
    }
    EndService();
}

void TEmulator::WaitForLine(std::optional<TClock::time_point> until)
{
    const TWakeableWait::TOutcome outcome = FWakeup.Wait(FTerminal.Master(), TWakeableWait::rdReadable, until);
    if (outcome.Woken) {
        return;  // a stop request
    }
    if (outcome.Ready) {
        ReadLine();
    } else if (outcome.HungUp) {
        Pause(TClock::now() + HangUpBackOff);
    }
}

void TEmulator::ReadLine()
{
    std::uint8_t buffer[4096];
    int error = 0;
    const std::size_t count = ReadAvailable(FTerminal.Master(), buffer, error);
    if (error != 0) {
        if (error == EAGAIN) {
            return;
        }
        if (error == EIO) {  // no slave open at the moment
            Pause(TClock::now() + HangUpBackOff);
            return;
        }
        throw std::system_error(error, std::generic_category(), "read");
    }
    if (AnswerGarbled(buffer, count)) {
        return;
    }
    {
        // The speed in force when the bytes came, not when the thread last
        // looked.
        const std::lock_guard lock(FLock);
        FReceiveClock.SetBaudRate(FSettings.Faults.BaudRate);
    }
    const TClock::time_point now = TClock::now();
    for (std::size_t i = 0; i < count; ++i) {
        FScanner.Append(buffer[i], FReceiveClock.Carry(now));
    }
}

// Bytes read at another speed than the register's are garbled for it: it
// recognises nothing in them, and what it sends comes out as garbage.
bool TEmulator::AnswerGarbled(const std::uint8_t* bytes, std::size_t count)
{
    std::uint32_t registerRate = 0;
    TFaults faults;
    {
        const std::lock_guard lock(FLock);
        registerRate = FSettings.LineBaudRate;
        faults = FSettings.Faults;
    }
    if (registerRate == 0) {
        return false;
    }
    const std::uint32_t lineRate = FTerminal.LineBaudRate();
    if (lineRate == registerRate) {
        return false;
    }
    {
        const std::lock_guard lock(FLock);
        FGarbledByteCount += count;
    }
    FChanged.notify_all();
    Trace("RX " + HexText(std::span(bytes, count)) + "  (garbled: line at " + std::to_string(lineRate) +
          " baud, register at " + std::to_string(registerRate) + ")");
    Trace("TX " + HexText(GarbledAnswer));
    static_cast<void>(Send(GarbledAnswer, faults));
    return true;
}

void TEmulator::FlushSkipped()
{
    if (FSkipped.empty()) {
        return;
    }
    Trace("SKIP " + HexText(FSkipped));
    {
        const std::lock_guard lock(FLock);
        FSkippedByteCount += FSkipped.size();
    }
    FSkipped.clear();
}

void TEmulator::Handle(TBytes bytes)
{
    TReceivedFrame frame;
    frame.NetNumber = NetNumberOf(bytes[0]);
    frame.Message = MessageOf(bytes[2], bytes[1]);
    frame.Bytes = std::move(bytes);
    TFaults faults;
    {
        const std::lock_guard lock(FLock);
        frame.ForThisRegister = frame.NetNumber == FSettings.NetNumber;
        faults = FSettings.Faults;
        Remember(FFrames, frame);
        ++FFrameCount;
    }
    FChanged.notify_all();
    Trace(Describe(frame));
    // Only the computer's commands make an exchange; its answers to
    // requests this register never made go unanswered, as do frames for
    // other registers.
    if (!frame.ForThisRegister || frame.Message < FirstServerCommand) {
        return;
    }

    TBytes answer = AnswerTo(frame, faults);
    const bool sent = !answer.empty() && !faults.NeverAnswer && SendAnswer(answer, faults);
    if (!sent) {
        answer.clear();
    }
    bool hangUp = false;
    {
        const std::lock_guard lock(FLock);
        Remember(FExchanges, TExchange{std::move(frame), std::move(answer)});
        ++FExchangeCount;
        hangUp = faults.HangUpAfter != 0 && FExchangeCount >= faults.HangUpAfter;
    }
    FChanged.notify_all();
    if (hangUp) {
        HangUp();
    }
}

TBytes TEmulator::AnswerTo(const TReceivedFrame& frame, const TFaults& faults)
{
    const std::uint8_t command = frame.Message;
    const std::uint8_t code = ShapeOf(command).Code;  // an answer shares its command's code
    const auto payload = std::span(frame.Bytes).subspan(3, frame.Bytes[1]);
    const auto answer = [&](const TBytes& answerPayload) { return BuildFrame(frame.NetNumber, code, answerPayload); };

    if (const auto forced = faults.ForcedStatus.find(command); forced != faults.ForcedStatus.end()) {
        if (forced->second == StatusOk && command == scWriteGoods) {
            StoreGoods(payload);
        } else if (forced->second == StatusOk && command == scClearGoods) {
            ClearGoods();
        }
        return answer({forced->second});
    }

    switch (command) {
    case scReadGoods: {
        const std::optional<TGoodsRecord> goods = Goods(GetWord(payload.data()));
        return answer(goods ? GoodsFoundPayload(*goods) : TBytes{StatusNoSuchGoods});
    }
    case scWriteGoods:
        return answer({StoreGoods(payload)});
    case scClearGoods:
        ClearGoods();
        return answer({StatusOk});
    case scState: {
        const std::lock_guard lock(FLock);
        return answer({FSettings.State, FSettings.Mode});
    }
    case scSerialNumber:
        return answer(SerialNumberPayload(SerialNumber()));
    case scDateTime:
        return answer(DateTimePayload());
    default:
        return {};  // a command this register does not serve: silence
    }
}

std::uint8_t TEmulator::StoreGoods(std::span<const std::uint8_t> payload)
{
    const TGoodsWrite write = ParseGoodsWrite(payload);
    if (write.Number < 1 || write.Number > MaxGoodsNumber) {
        return StatusCodeTooLarge;
    }
    const std::lock_guard lock(FLock);
    // Kept as the line delivered it; only the name's padding goes.
    FSettings.Goods[write.Number] = write.Record;
    return StatusOk;
}

bool TEmulator::SendAnswer(const TBytes& answer, const TFaults& faults)
{
    if (faults.AnswerDelay.count() > 0 && !Pause(TClock::now() + faults.AnswerDelay)) {
        return false;
    }
    TBytes bytes = faults.Garbage;
    if (faults.ForeignNetNumber != 0) {
        TBytes foreign = answer;
        foreign.front() = AddressOf(faults.ForeignNetNumber);
        foreign.back() = FrameChecksum(std::span(foreign).first(foreign.size() - 1));
        bytes.insert(bytes.end(), foreign.begin(), foreign.end());
    }
    bytes.insert(bytes.end(), answer.begin(), answer.end());
    if (faults.DuplicateAnswer) {
        bytes.insert(bytes.end(), answer.begin(), answer.end());
    }
    Trace("TX " + HexText(bytes));
    return Send(bytes, faults);
}

bool TEmulator::Send(const TBytes& bytes, const TFaults& faults)
{
    FSendClock.SetBaudRate(faults.BaudRate);
    const std::size_t chunk = faults.ChunkSize == 0 ? bytes.size() : faults.ChunkSize;
    for (std::size_t position = 0; position < bytes.size(); position += chunk) {
        if (position > 0 && faults.ChunkPause.count() > 0) {
            const TClock::time_point resume = TClock::now() + faults.ChunkPause;
            FSendClock.HoldUntil(resume);
            if (!Pause(resume)) {
                return false;
            }
        }
        const std::size_t size = std::min(chunk, bytes.size() - position);
        if (!(FSendClock.BaudRate() == 0 ? WriteAll(bytes.data() + position, size)
                                         : SendPaced(bytes.data() + position, size))) {
            return false;
        }
    }
    return true;
}

// Each byte goes to the line once it would have crossed it at the line's
// speed; bytes that are due together go in one write.
bool TEmulator::SendPaced(const std::uint8_t* data, std::size_t size)
{
    const std::vector<TClock::time_point> due = DueTimes(FSendClock, size, TClock::now());
    return SendWhenDue(
        due, [this](TClock::time_point time) { return Pause(time); },
        [this, data](std::size_t offset, std::size_t count) { return WriteAll(data + offset, count); });
}

bool TEmulator::WriteAll(const std::uint8_t* data, std::size_t size)
{
    const auto waitForRoom = [this](TClock::time_point deadline) {
        return !FWakeup.Wait(FTerminal.Master(), TWakeableWait::rdWritable, deadline).Woken;
    };
    int error = 0;
    switch (WriteAllBy(FTerminal.Master(), std::span(data, size), TClock::now() + WriteTimeout, waitForRoom, error)) {
    case weWritten:
        return true;
    case weFailed:
        Trace(std::string("answer dropped: ") + std::generic_category().message(error));
        return false;
    case weTimedOut:
        Trace("answer dropped: nobody reads the line");
        return false;
    case weStopped:
        break;
    }
    return false;
}

bool TEmulator::Pause(TClock::time_point until)
{
    while (TClock::now() < until) {
        if (FWakeup.Wait(until).Woken) {
            return false;
        }
    }
    return !FThread.Terminated();
}

void TEmulator::HangUp()
{
    // The driver takes the last answer first; closing at once would throw
    // it away with the line. The pseudo-terminal hands written bytes to the
    // slave a moment later, so the line counts as drained once nothing has
    // waited there for a while.
    const TClock::time_point deadline = TClock::now() + DrainTimeout;
    TClock::time_point quietSince = TClock::now();
    for (TClock::time_point now = quietSince; now < deadline; now = TClock::now()) {
        if (FTerminal.UnreadBySlave() > 0) {
            quietSince = now;
        } else if (now - quietSince >= DrainQuiet) {
            break;
        }
        if (!Pause(now + DrainPoll)) {
            break;
        }
    }
    FTerminal.Close();
    Trace("hung up");
}

void TEmulator::EndService()
{
    {
        const std::lock_guard lock(FLock);
        FServiceEnded = true;
    }
    FChanged.notify_all();
    if (!FThread.Terminated() && FSettings.OnServiceEnded) {
        FSettings.OnServiceEnded();
    }
}

void TEmulator::Trace(const std::string& line) const
{
    if (FSettings.Trace) {
        FSettings.Trace(TimeStamp() + " " + line);
    }
}

}  // namespace zarvik12m::emulator
