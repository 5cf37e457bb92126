#include "tools/emulator/replay.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <stdexcept>
#include <system_error>
#include <utility>
#include <vector>

#include "driver/platform/linux_support.h"

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

timespec ToTimespec(TClock::duration duration)
{
    const auto clamped = std::max(duration, TClock::duration::zero());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(clamped);
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(clamped - seconds);
    return {static_cast<time_t>(seconds.count()), static_cast<long>(nanoseconds.count())};
}

// Polls until `until`; an interrupted wait counts as nothing ready.
void PollUntil(pollfd* fds, nfds_t count, TClock::time_point until)
{
    const timespec timeout = ToTimespec(until - TClock::now());
    if (ppoll(fds, count, &timeout, nullptr) < 0) {
        if (errno != EINTR) {
            throw std::system_error(errno, std::generic_category(), "ppoll");
        }
        for (nfds_t i = 0; i < count; ++i) {
            fds[i].revents = 0;
        }
    }
}

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

TReplayResult TReplay::Run(TNativeFile stop)
{
    FStop = stop;
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
    pollfd fds[2] = {{Descriptor(FStop), POLLIN, 0}, {Descriptor(FTerminal.Master()), POLLIN, 0}};
    const nfds_t count = FStop == NoFile ? 1 : 2;
    pollfd* watched = FStop == NoFile ? &fds[1] : &fds[0];
    PollUntil(watched, count, until);
    if (FStop != NoFile && fds[0].revents != 0) {
        FResult.Outcome = roInterrupted;
        FEnded = true;
        return false;
    }
    if ((fds[1].revents & POLLIN) != 0) {
        std::uint8_t buffer[4096];
        const ssize_t read = ::read(Descriptor(FTerminal.Master()), buffer, sizeof buffer);
        if (read > 0) {
            return Compare(buffer, static_cast<std::size_t>(read));
        }
        if (read < 0 && errno != EAGAIN && errno != EINTR && errno != EIO) {
            throw std::system_error(errno, std::generic_category(), "read");
        }
    } else if ((fds[1].revents & (POLLHUP | POLLERR)) == 0) {
        return true;
    }
    pollfd idle{-1, 0, 0};
    PollUntil(&idle, 1, std::min(until, TClock::now() + HangUpBackOff));
    return true;
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
        pollfd line{Descriptor(FTerminal.Master()), POLLIN, 0};
        PollUntil(&line, 1, until);
        if ((line.revents & POLLIN) == 0) {
            break;
        }
        std::uint8_t buffer[TReplayDifference::ShownBytes];
        const ssize_t read = ::read(Descriptor(FTerminal.Master()), buffer, sizeof buffer);
        if (read <= 0) {
            break;
        }
        CollectReceived(buffer, static_cast<std::size_t>(read));
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
    TLineClock clock;
    clock.SetBaudRate(static_cast<std::uint32_t>(std::min(4e9, baudRate * FSpeed)));
    std::vector<TClock::time_point> due(bytes.size());
    const TClock::time_point ready = TClock::now();
    for (auto& time : due) {
        time = clock.Carry(ready);
    }
    // A byte is due once it has crossed; the first goes at once, as the
    // recorded time is that of its arrival.
    const TClock::duration first = due.front() - ready;
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const TClock::time_point now = TClock::now();
        std::size_t end = sent;
        while (end < bytes.size() && due[end] - first <= now) {
            ++end;
        }
        if (end == sent) {
            if (!WaitUntil(due[sent] - first)) {
                return false;
            }
            continue;
        }
        if (!WriteAll(bytes.data() + sent, end - sent)) {
            return false;
        }
        sent = end;
    }
    return true;
}

bool TReplay::WriteAll(const std::uint8_t* data, std::size_t size)
{
    const TClock::time_point deadline = TClock::now() + WriteTimeout;
    while (size > 0) {
        const ssize_t written = ::write(Descriptor(FTerminal.Master()), data, size);
        if (written > 0) {
            data += written;
            size -= static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EINTR) {
            throw std::system_error(errno, std::generic_category(), "write");
        }
        if (TClock::now() >= deadline) {
            throw std::runtime_error("nobody reads the line");
        }
        // Room on the line, or the computer's bytes, whichever comes.
        pollfd fds[2] = {{Descriptor(FTerminal.Master()), POLLOUT, 0}, {Descriptor(FStop), POLLIN, 0}};
        PollUntil(fds, FStop == NoFile ? 1 : 2, deadline);
        if (FStop != NoFile && fds[1].revents != 0) {
            FResult.Outcome = roInterrupted;
            FEnded = true;
            return false;
        }
        if (!Wait(TClock::now())) {
            return false;
        }
    }
    return true;
}

}  // namespace zarvik12m::emulator
