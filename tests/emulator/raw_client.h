#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "driver/platform/wakeable_wait.h"

// The computer's end of the line in the emulator's tests: a few lines of
// frame building of the tests' own, and a client that opens the line as it
// stands, without touching its settings, so that the tests see the line the
// way the emulator left it.

namespace zarvik12m::emulator::testing {

using TByteString = std::vector<std::uint8_t>;

inline constexpr std::chrono::milliseconds LongWait{10000};

// "01 00 1B E3" as bytes.
TByteString Hex(std::string_view text);

// Address byte, length, code, payload, and 255 minus the byte sum.
TByteString MakeFrame(std::uint8_t address, std::uint8_t code, const TByteString& payload = {});

TByteString Joined(std::initializer_list<TByteString> parts);

// A device node as it is now. Pseudo-terminal numbers are reused at once
// by whoever asks next (tests run side by side), so "gone" means no node at
// the path or a newer one.
class TDeviceNode {
public:
    explicit TDeviceNode(const std::string& path);
    [[nodiscard]] bool Gone() const;

private:
    std::string FPath;
    long FChangeSeconds = 0;
    long FChangeNanoseconds = 0;
};

class TRawClient {
public:
    explicit TRawClient(const std::string& path);
    ~TRawClient();
    TRawClient(const TRawClient&) = delete;
    TRawClient& operator=(const TRawClient&) = delete;

    [[nodiscard]] int Fd() const { return FFd; }

    void Write(const TByteString& bytes);

    // Reads until `count` bytes have come or the time is up.
    TByteString Read(std::size_t count, std::chrono::milliseconds timeout = LongWait);

    // One read of whatever is there once something is.
    TByteString ReadSome(std::chrono::milliseconds timeout = LongWait);

    // Bytes waiting to be read.
    [[nodiscard]] std::size_t Pending() const;

    // Whether the line reports a hang-up within the time.
    bool WaitForHangUp(std::chrono::milliseconds timeout = LongWait);

private:
    [[nodiscard]] TWakeableWait::TOutcome WaitFor(TWakeableWait::TReadiness readiness,
                                                  std::chrono::steady_clock::time_point deadline);

    int FFd = -1;
    TWakeableWait FWait;  // never woken: waits for the line or the time
};

}  // namespace zarvik12m::emulator::testing
