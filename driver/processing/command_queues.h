#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "driver/platform/critical_section.h"
#include "driver/platform/event.h"
#include "driver/protocol/command.h"

namespace zarvik12m {

class TCommandEncoder;

// The log texts of one queue's changes.
struct TCommandQueueTexts {
    std::string_view Enqueue;
    std::string_view Update;
    std::string_view Delete;
    std::string_view Clear;
};

// What the transmit and the receive queue share. Entries are copies of
// command records, oldest first; from Enqueue on, the queue holds the
// record's event and data, and Delete and Clear release them (copies held
// elsewhere keep theirs). Every change is written to the engine's command
// log. Lookups return a copy, all zero (ID 0) when nothing matches.
//
// A queue is its own lock: callers hold it around each single operation,
// and no thread holds both queues' locks at once. An operation whose log
// entry fails stops at that step and passes the error on.
class TCommandQueue : public TCriticalSection {
public:
    TCommandQueue(const TCommandQueue&) = delete;
    TCommandQueue& operator=(const TCommandQueue&) = delete;

    // Appends a copy, logs it and sets QueueEvent().
    void Enqueue(const TCommand& command);

    // Removes the entry of the ID, logging it first; an unknown ID does
    // nothing.
    void Delete(std::uint32_t id);

    // Removes the entry of the ID at once and then logs it as Delete does,
    // if the log can be written: for ways out on an error, where the log may
    // be what failed and the entry must not stay behind.
    void Discard(std::uint32_t id) noexcept;

    // Removes every entry, oldest first, logging each.
    void Clear();

    // The oldest entry in the state, of the network number and the protocol
    // command code; the command number takes no part.
    [[nodiscard]] TCommand FindMatch(TCommandState state, std::uint8_t netNumber, std::uint8_t protocolCommand) const;

    // Auto-reset; set after every Enqueue.
    [[nodiscard]] TEvent& QueueEvent() noexcept { return FQueueEvent; }

    [[nodiscard]] std::size_t Count() const noexcept { return FCommands.size(); }

    // A copy of the entry at the position (0 is the oldest), all zero past
    // the end: for looking into a queue from outside.
    [[nodiscard]] TCommand EntryAt(std::size_t index) const
    {
        return index < FCommands.size() ? FCommands[index] : TCommand{};
    }

protected:
    TCommandQueue(TCommandEncoder& encoder, const TCommandQueueTexts& texts);

    // Entries left at destruction are released unlogged: the engine clears
    // its queues, logging them, before it destroys them.
    ~TCommandQueue() = default;

    // Overwrites the entry of the command's ID with the command; returns the
    // entry, or null when no entry has the ID.
    TCommand* Replace(const TCommand& command);

    // A copy of the oldest entry that satisfies the test, else all zero.
    template <typename TTest>
    [[nodiscard]] TCommand FindFirst(TTest test) const
    {
        for (const TCommand& stored : FCommands) {
            if (test(stored)) {
                return stored;
            }
        }
        return {};
    }

    void LogEntry(const TCommand& command, std::string_view text) const;

    [[nodiscard]] const TCommandQueueTexts& Texts() const noexcept { return FTexts; }

private:
    TCommandEncoder& FEncoder;
    TCommandQueueTexts FTexts;
    // The entry with that ID, or the end.
    std::vector<TCommand>::iterator EntryOf(std::uint32_t id);

    std::vector<TCommand> FCommands;
    TEvent FQueueEvent{TEvent::rmAutoReset, false};
};

// Commands that came from the register: register requests, answers
// (paired with a sent command or not) and bytes that formed no frame.
class TRXCommandQueue final : public TCommandQueue {
public:
    explicit TRXCommandQueue(TCommandEncoder& encoder);

    // Overwrites the entry of the command's ID; never signals its event.
    void Update(const TCommand& command);

    // The entry of the ID: the answer paired with a sent command carries
    // the command's ID.
    [[nodiscard]] TCommand FindByID(std::uint32_t id) const;
};

// Commands the driver wants to send.
class TTXCommandQueue final : public TCommandQueue {
public:
    explicit TTXCommandQueue(TCommandEncoder& encoder);

    // Overwrites the entry of the command's ID; an entry that becomes (or
    // stays) confirmed has its event set, which wakes the caller waiting
    // for the answer.
    void Update(const TCommand& command);

    // The oldest entry in the state: the next command to send.
    [[nodiscard]] TCommand FindByState(TCommandState state) const;
};

}  // namespace zarvik12m
