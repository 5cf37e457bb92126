#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>

#include "tools/emulator/wire.h"

namespace zarvik12m::emulator {

// Ways in which the emulated register misbehaves, each off by default.
// They apply to every answer from the moment they are set.
struct TFaults {
    // Takes commands (and carries out writes and clears) but never answers.
    bool NeverAnswer = false;

    // Command number -> the status byte answered instead of the real
    // answer, in a one-byte frame with the command's code (for 48, 49 and
    // 50 that is answer 12, 13 or 14). A write or clear answered with a
    // status other than 0 leaves the table unchanged.
    std::map<std::uint8_t, std::uint8_t> ForcedStatus;

    // Sent before each answer.
    TBytes Garbage;

    // Answers go in chunks of this many bytes with a pause between them;
    // 0 sends each answer whole.
    std::size_t ChunkSize = 0;
    std::chrono::milliseconds ChunkPause{0};

    // A copy of the answer addressed to this network number goes first;
    // 0: none.
    std::uint8_t ForeignNetNumber = 0;

    // Every answer is sent twice.
    bool DuplicateAnswer = false;

    // Waits this long before each answer.
    std::chrono::milliseconds AnswerDelay{0};

    // Bytes cross the line no faster than this speed allows, ten bits a
    // byte, in both directions; 0: no limit.
    std::uint32_t BaudRate = 0;

    // After this many exchanges the register hangs up the line for good;
    // 0: never.
    std::size_t HangUpAfter = 0;
};

}  // namespace zarvik12m::emulator
