#include "tests/support/register_on_port.h"

#include <utility>

namespace zarvik12m::testing {

namespace {

emulator::TEmulatorSettings WithTrace(emulator::TEmulatorSettings settings, TAnswerHold& hold)
{
    settings.Trace = hold.Trace();
    return settings;
}

}  // namespace

std::function<void(const std::string&)> TAnswerHold::Trace()
{
    return [this](const std::string& line) { OnTrace(line); };
}

void TAnswerHold::Arm(std::size_t frameNumber)
{
    const std::lock_guard lock(FLock);
    FHoldAt = frameNumber;
    FHeld = false;
    FReleased = false;
}

bool TAnswerHold::WaitUntilHeld()
{
    std::unique_lock lock(FLock);
    return FChanged.wait_for(lock, LongWait, [this] { return FHeld; });
}

void TAnswerHold::Release()
{
    const std::lock_guard lock(FLock);
    FReleased = true;
    FChanged.notify_all();
}

void TAnswerHold::OnTrace(const std::string& line)
{
    // Trace lines are "<time> RX <bytes> ..." for each frame received.
    if (line.find(" RX ") == std::string::npos) {
        return;
    }
    std::unique_lock lock(FLock);
    if (++FFrames != FHoldAt) {
        return;
    }
    FHeld = true;
    FChanged.notify_all();
    // Bounded, so that a failed test cannot keep the emulator from stopping.
    FChanged.wait_for(lock, LongWait, [this] { return FReleased; });
}

TRegisterOnPort::TRegisterOnPort(std::uint8_t port, emulator::TEmulatorSettings settings)
    : Emulator(WithTrace(std::move(settings), Hold)), FVariable(port, Emulator.SlavePath())
{}

}  // namespace zarvik12m::testing
