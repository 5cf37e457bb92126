#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "driver/platform/file.h"
#include "driver/platform/thread.h"

// Line traces: what crossed a port's line while it was open, in a text file
// that a user can send us and that zarvik12m-emulator --replay plays back.
//
//     open 2026-12-09 19:22:00.123 port=1 baud=9600 version=1.0.0 device=/dev/ttyUSB0
//     0 > 01 02 30 00 01 CB
//     2131 < 01 2A 26 24 ...
//
// One "open" line each time a port opens: the local date and time, the port
// number, the baud rate, the library's version and the device (last, as it
// may hold blanks). Then one line per chunk: the microseconds since the
// open, ">" for bytes written to the register or "<" for bytes read from
// it, and the bytes in hex. Lines starting with "#" are remarks: the
// system's reason for a failure of the line, for instance
//
//     # 5120311 failed: read status: closed (5: Input/output error)
//     # open failed 2026-12-09 19:23:10.456 port=1 baud=9600 reason=busy (16: Device or resource busy)
//     device=/dev/ttyUSB0
//
// Bytes read within a few byte times of the previous read continue its
// line: on a slow line the read thread meets an answer one or two bytes at
// a time as it crosses, and a line per byte would make a 4000-goods read at
// 9600 baud a trace of megabytes. Replaying paces each line's bytes at the
// recorded baud rate, which gives the driver the same trickle again.

namespace zarvik12m {

enum TLineDirection : char {
    ldToRegister = '>',
    ldFromRegister = '<',
};

// The variable that names the trace file of every port.
inline constexpr const char* LineTraceVariable = "ZARVIK12M_TRACE";

// The trace file of a port: the one set for it in code, else the file that
// ZARVIK12M_TRACE names, else none (empty). A caller that serves several
// registers (a service with a setting per register) sets or clears a
// port's file here before the port opens; an empty name switches the
// port's trace off whatever the environment says, and std::nullopt returns
// the port to the environment's choice. Safe from any thread.
void SetLineTraceFile(std::uint8_t portNumber, std::optional<std::string> fileName);
std::string LineTraceFileOf(std::uint8_t portNumber);

// The opening of a port, as its "open" line tells it.
struct TLineTraceOpening {
    std::uint8_t PortNumber = 0;
    std::uint32_t BaudRate = 0;
    std::string Device;
};

// Appends the "# open failed" remark of an opening whose device could not
// be opened, with the reason in one line, to the trace file. Raises
// nothing; a file that cannot be written costs the remark alone.
void RecordOpenFailure(const std::string& fileName, const TLineTraceOpening& opening,
                       const std::string& reason) noexcept;

// The trace of one opening of a port. Recording never raises and never
// touches the line: the threads of the line only add lines to memory, and
// a thread of the trace's own writes them to the file, so that a slow disk
// never holds up the line. A trace file that cannot be opened or written
// costs one line in the error log (once per file in a process) and the rest
// of this trace. Record may run on several threads at once (the transmit
// thread writes, the read thread reads); lines follow in the order of the
// calls.
class TLineTrace {
public:
    // Opens fileName for appending (created when missing), writes the
    // "open" line and starts the writer.
    TLineTrace(const std::string& fileName, const TLineTraceOpening& opening) noexcept;

    // Writes out what is still held and ends the writer.
    ~TLineTrace();

    TLineTrace(const TLineTrace&) = delete;
    TLineTrace& operator=(const TLineTrace&) = delete;

    // Whether the file is still being written.
    [[nodiscard]] bool Active() const noexcept { return FActive.load(std::memory_order_acquire); }

    // Records count bytes going the direction given. Bytes to the register
    // are recorded before they are handed to the device, so that no answer
    // can come before its request in the file.
    void Record(TLineDirection direction, const std::uint8_t* data, std::size_t count) noexcept;

    // Records a remark line ("# " and the microseconds since the open
    // before the text, which is one line).
    void Remark(const std::string& text) noexcept;

    // The writer takes the held lines once this much has gathered, and at
    // least every FlushInterval. Should the file fall HeldLimit behind, the
    // trace is given up rather than the memory.
    static constexpr std::size_t FlushSize = std::size_t{32} * 1024;
    static constexpr std::chrono::milliseconds FlushInterval{250};
    static constexpr std::size_t HeldLimit = std::size_t{16} * 1024 * 1024;

private:
    using TClock = std::chrono::steady_clock;

    void AppendHex(const std::uint8_t* data, std::size_t count);
    void Write(TThread& thread);
    void Fail(int error) noexcept;

    mutable std::mutex FLock;
    std::condition_variable FWake;
    std::string FFileName;
    std::uint8_t FPortNumber;
    TFileHandle FFile;  // written by the writer alone once it runs
    std::atomic<bool> FActive{false};
    TClock::time_point FOpened;
    TClock::duration FMergeGap{};
    // Under FLock:
    std::string FHeld;
    bool FLineOpen = false;  // the last held line may still grow
    TLineDirection FLastDirection = ldToRegister;
    TClock::time_point FLastRecord;
    bool FWriteAsked = false;
    bool FStopping = false;

    std::unique_ptr<TThread> FWriter;  // last: ends before anything it uses
};

}  // namespace zarvik12m
