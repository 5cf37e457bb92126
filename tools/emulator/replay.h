#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "driver/platform/file.h"
#include "driver/platform/pseudo_terminal.h"
#include "driver/platform/wakeable_wait.h"
#include "tools/emulator/line_clock.h"
#include "tools/emulator/trace_file.h"

namespace zarvik12m::emulator {

// Where the computer's bytes first left the trace: the offset in the
// stream of bytes to the register (every ">" of the trace, one after the
// other), the bytes the trace has from there and those that came instead
// (at most ShownBytes of each; nothing received when the line stayed
// silent, nothing expected when the trace had ended).
struct TReplayDifference {
    static constexpr std::size_t ShownBytes = 16;
    std::size_t Offset = 0;
    TBytes Expected;
    TBytes Received;
};

enum TReplayOutcome {
    roPlayed,       // the trace's end, with every byte as recorded
    roDiffered,     // see Difference
    roInterrupted,  // asked to stop before the end
};

struct TReplayResult {
    TReplayOutcome Outcome = roPlayed;
    TReplayDifference Difference;
};

// The register's side of a trace on a pseudo-terminal. The bytes that come
// from the computer are compared with the trace's ">" bytes as one stream,
// however they are cut; each "<" line is sent once everything recorded
// before it has come and as long after the previous line as the trace
// says, its bytes paced at the recorded baud rate; speed divides both.
class TReplay {
public:
    // How long the computer may take beyond the trace's own pause before
    // bytes it should have sent count as missing; longer than the driver's
    // 10-second answer time-out, which a trace may hold. The first byte of
    // all is awaited without limit.
    static constexpr std::chrono::seconds Patience{15};
    // How long the line is watched after the trace's end for bytes the
    // trace does not have.
    static constexpr std::chrono::milliseconds Linger{1000};

    // Throws std::system_error when no pseudo-terminal can be made and
    // std::invalid_argument for a speed that is not above 0.
    TReplay(TTrace trace, double speed);

    [[nodiscard]] const std::string& SlavePath() const noexcept { return FTerminal.SlavePath(); }

    // Plays the trace once; a wake-up of stop ends the play early. Throws
    // std::system_error when the line fails.
    TReplayResult Run(TWakeableWait& stop);
    TReplayResult Run();  // to the end, unstoppable

private:
    [[nodiscard]] TClock::duration Scaled(std::chrono::microseconds duration) const;
    bool Wait(TClock::time_point until);
    bool WaitUntil(TClock::time_point until);
    bool Compare(const std::uint8_t* bytes, std::size_t count);
    void CollectReceived(const std::uint8_t* bytes, std::size_t count);
    bool Send(const TBytes& bytes, std::uint32_t baudRate);
    bool WriteAll(const std::uint8_t* data, std::size_t size);
    bool Finish();
    void Interrupt();
    void Differ(std::size_t offset, const std::uint8_t* received, std::size_t count);

    TTrace FTrace;
    double FSpeed;
    TPseudoTerminal FTerminal;
    TBytes FExpected;
    std::size_t FMatched = 0;
    TWakeableWait* FStop = nullptr;  // during Run
    TReplayResult FResult;
    bool FEnded = false;
};

}  // namespace zarvik12m::emulator
