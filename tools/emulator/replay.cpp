#include "tools/emulator/replay.h"

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <system_error>
#include <utility>
#include <vector>

#include "driver/platform/linux_support.h"
#include "tools/emulator/line_send.h"

namespace zarvik12m::emulator {

namespace {

constexpr auto WriteTimeout = std::chrono::seconds(10);
constexpr auto DrainTimeout = std::chrono::seconds(5);
constexpr auto DrainPoll = std::chrono::milliseconds(1);
// After a difference, the bytes that follow at once are shown with it.
constexpr auto DifferenceContext = std::chrono::milliseconds(200);
// With no slave open the master reports a hang-up at once; the
// pseudo-terminal's own slave descriptor prevents that, and this is the
// back-off should it happen all the same.
constexpr auto HangUpBackOff = std::chrono::milliseconds(10);

TBytes Slice(const TBytes& bytes, std::size_t offset, std::size_t most)
{
    const std::size_t start = std::min(offset, bytes.size());
    const std::size_t end = std::min(bytes.size(), start + most);
    return {bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.begin() + static_cast<std::ptrdiff_t>(end)};
}

}  // namespace

TReplay::TReplay(TTrace trace, double speed) : FTrace(std::move(trace)), FSpeed(speed)
{
    if (!(speed > 0)) {
        throw std::invalid_argument("replay speed not above 0");
    }
    FExpected = TraceStream(FTrace, true);
}

TClock::duration TReplay::Scaled(std::chrono::microseconds duration) const
{
    return std::chrono::duration_cast<TClock::duration>(
        std::chrono::duration<double, std::micro>(static_cast<double>(duration.count()) / FSpeed));
}

TReplayResult TReplay::Run()
{
    TWakeableWait never;
    return Run(never);
}

TReplayResult TReplay::Run(TWakeableWait& stop)
{
    FStop = &stop;
    TClock::time_point lastDone = TClock::now();
    std::uint64_t lastMicroseconds = 0;
    std::size_t lastOpening = FTrace.Openings.size();
    std::size_t expectedEnd = 0;
    for (const TTraceEvent& event : FTrace.Events) {
        // The pause between two openings is not recorded: none is kept.
        const std::uint64_t pause = event.Opening == lastOpening && event.Microseconds > lastMicroseconds
                                        ? event.Microseconds - lastMicroseconds
                                        : 0;
        const TClock::time_point due = lastDone + Scaled(std::chrono::microseconds(pause));
        if (event.ToRegister) {
            expectedEnd += event.Bytes.size();
            while (FMatched < expectedEnd) {
                // The computer's first byte may take as long as its user
                // does to start it; later ones only as long as the trace
                // says, and the patience beyond.
                const TClock::time_point deadline = FMatched == 0 ? TClock::now() + Patience : due + Patience;
                if (FMatched > 0 && TClock::now() >= deadline) {
                    Differ(FMatched, nullptr, 0);
                }
                if (FEnded || !Wait(deadline)) {
                    return FResult;
                }
            }
        } else if (!WaitUntil(due) || !Send(event.Bytes, FTrace.Openings.at(event.Opening).BaudRate)) {
            return FResult;
        }
        lastDone = TClock::now();
        lastMicroseconds = event.Microseconds;
        lastOpening = event.Opening;
    }
    static_cast<void>(Finish());
    return FResult;
}

// The driver takes the last bytes sent; then the line stays quiet a while.
bool TReplay::Finish()
{
    const TClock::time_point drainDeadline = TClock::now() + DrainTimeout;
    while (FTerminal.UnreadBySlave() > 0 && TClock::now() < drainDeadline) {
        if (!Wait(TClock::now() + DrainPoll)) {
            return false;
        }
    }
    return WaitUntil(TClock::now() + Linger);
}

bool TReplay::WaitUntil(TClock::time_point until)
{
    while (TClock::now() < until) {
        if (!Wait(until)) {
            return false;
        }
    }
    return true;
}

// Waits until `until` or for the next bytes from the computer, which are
// compared; false once the play has ended (a difference, a stop).
bool TReplay::Wait(TClock::time_point until)
{
    if (FEnded) {
        return false;
    }
    const TWakeableWait::TOutcome outcome = FStop->Wait(FTerminal.Master(), TWakeableWait::rdReadable, until);
    if (outcome.Woken) {
        Interrupt();
        return false;
    }
    if (outcome.Ready) {
        std::uint8_t buffer[4096];
        int error = 0;
        const std::size_t read = ReadAvailable(FTerminal.Master(), buffer, error);
        if (read > 0) {
            return Compare(buffer, read);
        }
        if (error != 0 && error != EAGAIN && error != EIO) {
            throw std::system_error(error, std::generic_category(), "read");
        }
    } else if (!outcome.HungUp) {
        return true;
    }
    // A wake-up during the back-off is seen by the next wait.
    static_cast<void>(FStop->Wait(std::min(until, TClock::now() + HangUpBackOff)));
    return true;
}

void TReplay::Interrupt()
{
    FResult.Outcome = roInterrupted;
    FEnded = true;
}

bool TReplay::Compare(const std::uint8_t* bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (FMatched >= FExpected.size() || FExpected[FMatched] != bytes[i]) {
            Differ(FMatched, bytes + i, count - i);
            return false;
        }
        ++FMatched;
    }
    return true;
}

void TReplay::Differ(std::size_t offset, const std::uint8_t* received, std::size_t count)
{
    FResult.Outcome = roDiffered;
    FEnded = true;
    TReplayDifference& difference = FResult.Difference;
    difference.Offset = offset;
    difference.Expected = Slice(FExpected, offset, TReplayDifference::ShownBytes);
    CollectReceived(received, count);
    if (count == 0) {
        return;
    }
    // What follows at once is shown too.
    const TClock::time_point until = TClock::now() + DifferenceContext;
    while (difference.Received.size() < TReplayDifference::ShownBytes && TClock::now() < until) {
        if (!FStop->Wait(FTerminal.Master(), TWakeableWait::rdReadable, until).Ready) {
            break;
        }
        std::uint8_t buffer[TReplayDifference::ShownBytes];
        int error = 0;
        const std::size_t read = ReadAvailable(FTerminal.Master(), buffer, error);
        if (read == 0) {
            break;
        }
        CollectReceived(buffer, read);
    }
}

void TReplay::CollectReceived(const std::uint8_t* bytes, std::size_t count)
{
    TBytes& received = FResult.Difference.Received;
    const std::size_t taken = std::min(count, TReplayDifference::ShownBytes - received.size());
    received.insert(received.end(), bytes, bytes + taken);
}

// Each byte goes once it would have crossed the line at the recorded rate
// (sped up); bytes that are due together go in one write. The computer's
// bytes are taken and compared meanwhile.
bool TReplay::Send(const TBytes& bytes, std::uint32_t baudRate)
{
    if (bytes.empty()) {
        return true;
    }
    TLineClock clock;
    clock.SetBaudRate(static_cast<std::uint32_t>(std::min(4e9, baudRate * FSpeed)));
    const TClock::time_point ready = TClock::now();
    std::vector<TClock::time_point> due = DueTimes(clock, bytes.size(), ready);
    // A byte is due once it has crossed; the first goes at once, as the
    // recorded time is that of its arrival.
    const TClock::duration first = due.front() - ready;
    for (auto& time : due) {
        time -= first;
    }
    return SendWhenDue(
        due, [this](TClock::time_point time) { return WaitUntil(time); },
        [this, &bytes](std::size_t offset, std::size_t count) { return WriteAll(bytes.data() + offset, count); });
}

bool TReplay::WriteAll(const std::uint8_t* data, std::size_t size)
{
    // Room on the line, or the computer's bytes, whichever comes.
    const auto waitForRoom = [this](TClock::time_point deadline) {
        if (FStop->Wait(FTerminal.Master(), TWakeableWait::rdWritable, deadline).Woken) {
            Interrupt();
            return false;
        }
        return Wait(TClock::now());
    };
    int error = 0;
    switch (WriteAllBy(FTerminal.Master(), std::span(data, size), TClock::now() + WriteTimeout, waitForRoom, error)) {
    case weWritten:
        return true;
    case weFailed:
        throw std::system_error(error, std::generic_category(), "write");
    case weTimedOut:
        throw std::runtime_error("nobody reads the line");
    case weStopped:
        break;
    }
    return false;
}

}  // namespace zarvik12m::emulator
