#include "driver/interface/progress.h"

#include <array>
#include <atomic>

#include "driver/common/errors.h"

namespace zarvik12m {

namespace {

struct TProgressSlot {
    std::atomic<std::int32_t> Position{0};
    std::atomic<std::int32_t> Max{0};
    std::atomic<bool> Stop{false};
};

std::array<TProgressSlot, ProgressPortCount> ProgressSlots;

TProgressSlot* SlotOf(std::uint8_t port) noexcept
{
    if (port < 1 || port > ProgressPortCount) {
        return nullptr;
    }
    return &ProgressSlots[port - 1U];
}

}  // namespace

void ResetProgress(std::uint8_t port) noexcept
{
    if (TProgressSlot* slot = SlotOf(port)) {
        slot->Position.store(0, std::memory_order_relaxed);
        slot->Max.store(0, std::memory_order_relaxed);
        slot->Stop.store(false, std::memory_order_relaxed);
    }
}

void SetProgressMax(std::uint8_t port, std::int32_t value) noexcept
{
    if (TProgressSlot* slot = SlotOf(port)) {
        slot->Max.store(value, std::memory_order_relaxed);
    }
}

void StepProgress(std::uint8_t port, std::int32_t step)
{
    TProgressSlot* slot = SlotOf(port);
    if (slot == nullptr) {
        return;
    }
    if (slot->Stop.load(std::memory_order_relaxed)) {
        RaiseError(ecCancelled);
    }
    slot->Position.fetch_add(step, std::memory_order_relaxed);
}

std::int32_t ProgressPositionOf(std::uint8_t port) noexcept
{
    const TProgressSlot* slot = SlotOf(port);
    return slot != nullptr ? slot->Position.load(std::memory_order_relaxed) : 0;
}

std::int32_t ProgressMaxOf(std::uint8_t port) noexcept
{
    const TProgressSlot* slot = SlotOf(port);
    return slot != nullptr ? slot->Max.load(std::memory_order_relaxed) : 0;
}

void RequestProgressStop(std::uint8_t port) noexcept
{
    if (TProgressSlot* slot = SlotOf(port)) {
        slot->Stop.store(true, std::memory_order_relaxed);
    }
}

}  // namespace zarvik12m
