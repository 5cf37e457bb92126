#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "tools/emulator/wire.h"

// Reading a line trace as the driver writes it (ZARVIK12M_TRACE; the format
// is described in driver/port/line_trace.h): the events in the order of the
// file, each opening of the port starting a new count of time.

namespace zarvik12m::emulator {

struct TTraceEvent {
    bool ToRegister = false;         // ">": the computer wrote; "<": the register sent
    std::uint64_t Microseconds = 0;  // since the port's opening
    std::size_t Opening = 0;         // index of the opening the event belongs to
    TBytes Bytes;
};

struct TTraceOpening {
    std::uint32_t BaudRate = 0;  // 0 when the line does not tell
};

struct TTrace {
    std::vector<TTraceOpening> Openings;
    std::vector<TTraceEvent> Events;
};

// A trace that cannot be read; the message names the line.
class TTraceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The trace in text; events before the first "open" line belong to an
// opening without a baud rate. Throws TTraceError.
TTrace ParseTrace(std::string_view text);

// The trace in the file; throws TTraceError, or EFileError when the file
// cannot be read. Files above MaxTraceFileSize are refused.
inline constexpr std::size_t MaxTraceFileSize = std::size_t{256} * 1024 * 1024;
TTrace LoadTrace(const std::string& fileName);

// Every byte that went one way, in order.
TBytes TraceStream(const TTrace& trace, bool toRegister);

}  // namespace zarvik12m::emulator
