#pragma once

#include <cstdint>
#include <memory>

#include "driver/common/date_time.h"
#include "driver/platform/event.h"
#include "driver/protocol/command_data.h"

namespace zarvik12m {

// The kind of a command, decided by its number alone: the register sends
// kinds 1 and 2, the driver kinds 3 and 4; kind 0 carries bytes that
// formed no frame.
enum TCommandType : std::uint8_t {
    ctUnknown = 0,         // 66 and any number outside 1..65
    ctKKMRequest = 1,      // 1..10
    ctKKMResponse = 2,     // 11..31
    ctServerResponse = 3,  // 32..47
    ctServerCommand = 4,   // 48..65
};

enum TCommandState : std::uint8_t {
    csCreated = 0,    // the record is made
    csProcessed = 1,  // a server command was written; a register response was matched
    csConfirmed = 2,  // a server command's answer was matched; a request was answered
    csUndefined = 3,  // a response matched no command; a request found no answer
};

// The unit that the encoder, the queues, the threads and the log pass to
// one another, by value. Copies share Event and Data; a copy kept by one
// thread stays valid after another has freed its own copy (FreeCommand).
struct TCommand {
    std::uint32_t ID = 0;  // 0: no command (a lookup that found nothing)
    TCommandType CommandType = ctUnknown;
    TCommandState State = csCreated;
    TDateTime StateTime = 0;        // local time of creation or of the last state change
    std::shared_ptr<TEvent> Event;  // auto-reset; set when a sent command is confirmed
    std::uint8_t NetNumber = 0;     // 1..99; 0 for bytes that formed no frame
    std::uint8_t ProtocolCommand = 0;
    std::uint8_t CommandNumber = 0;  // 1..66
    TCommandDataPtr Data;            // the record of CommandNumber; null without payload

    // For a sent command: how many bytes the port had received when it
    // was sent. Its answer cannot begin before that point of the stream.
    std::uint64_t InputMark = 0;
};

template <class TRecord>
TRecord& DataAs(const TCommand& command)
{
    return DataAs<TRecord>(command.Data.get());
}

}  // namespace zarvik12m
