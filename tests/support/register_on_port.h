#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "tests/support/pseudo_terminal.h"
#include "tools/emulator/emulator.h"

// An emulated register on a COM port of a test, with a way to hold back an
// answer so that a test can act while the driver waits at a known point.

namespace zarvik12m::testing {

inline constexpr std::chrono::milliseconds LongWait{20000};

// Holds back the register's answer to one command until the test lets it
// go, so that a test can act while an export waits at a known point. The
// emulator's trace runs on the emulator's thread after a frame has come in
// and before it is answered; the hold waits there.
class TAnswerHold {
public:
    // The callback for TEmulatorSettings::Trace.
    std::function<void(const std::string& line)> Trace();

    // The answer to the frame with this number (the first frame the
    // register receives is 1) waits until Release. Arming again, once the
    // last hold has been released, sets a new one.
    void Arm(std::size_t frameNumber);

    // Whether that frame has come and its answer waits.
    bool WaitUntilHeld();

    void Release();

private:
    void OnTrace(const std::string& line);

    std::mutex FLock;
    std::condition_variable FChanged;
    std::size_t FFrames = 0;
    std::size_t FHoldAt = 0;
    bool FHeld = false;
    bool FReleased = false;
};

// An emulated register on a COM port of its own (ZARVIK12M_COM<port>),
// with a hold on its answers.
class TRegisterOnPort {
public:
    explicit TRegisterOnPort(std::uint8_t port, emulator::TEmulatorSettings settings = {});
    ~TRegisterOnPort() { Hold.Release(); }

    TRegisterOnPort(const TRegisterOnPort&) = delete;
    TRegisterOnPort& operator=(const TRegisterOnPort&) = delete;

    TAnswerHold Hold;  // outlives the emulator's thread, which may wait in it
    emulator::TEmulator Emulator;

private:
    TPortVariable FVariable;
};

}  // namespace zarvik12m::testing
