#pragma once

#include <cstdint>

#include "driver/common/error_text.h"
#include "driver/processing/command_encoder.h"
#include "driver/protocol/command_data.h"

// The frame that the goods and properties exports share: progress, one
// engine for the call, commands stepped and judged.
//
//     BeginProgress(port, 1);
//     TExportSession session(port, netNumber);   // the engine, stopped
//     session.Start(baudRate);
//     session.ExecuteForStatus<TRX_CLEAR_TOV_DataIn>(ClearGoodsCommand);
//     // leaving the scope, however it is left, destroys the engine:
//     // its threads stop and the port closes

namespace zarvik12m {

inline constexpr std::uint8_t ReadGoodsCommand = CommandNumberOf<TTX_READ_TOV_DataIn>;    // 48
inline constexpr std::uint8_t WriteGoodsCommand = CommandNumberOf<TZarvik12m_GoodsItem>;  // 49
inline constexpr std::uint8_t ClearGoodsCommand = CommandNumberOf<TNoPayload<50>>;
inline constexpr std::uint8_t SerialNumberCommand = CommandNumberOf<TNoPayload<58>>;

// Clears the port's progress (and any stop request made before the call)
// and announces the call's number of steps.
void BeginProgress(std::uint8_t port, std::int32_t maximum) noexcept;

// The answer to one command: its catalogue number, 0 when none came in
// time, and its record.
struct TAnswer {
    std::uint8_t Number = 0;
    TCommandDataPtr Data;
};

// Raises the register's status byte as the error code (its message has no
// arguments).
[[noreturn]] void RaiseStatus(std::uint8_t status);

// The conversation of one exported call with one register: an engine for
// the port that accepts the one network number. The engine lives exactly as
// long as the session.
class TExportSession {
public:
    TExportSession(std::uint8_t port, std::uint8_t netNumber);

    ~TExportSession() = default;
    TExportSession(const TExportSession&) = delete;
    TExportSession& operator=(const TExportSession&) = delete;

    // Opens the port at the rate and starts the engine's threads.
    void Start(std::int32_t baudRate) { FEncoder.Start(baudRate); }

    // Steps the port's progress by one (ecCancelled instead when a stop has been
    // asked for: the command is not sent then) and runs the command,
    // waiting for its answer.
    TAnswer Execute(std::uint8_t commandNumber, const TCommandData* request = nullptr);

    // The answer's record when it is an answer TRecord; ecCommandFailed otherwise
    // (also when no answer came).
    template <class TRecord>
    const TRecord& Expect(const TAnswer& answer) const
    {
        if (answer.Number != CommandNumberOf<TRecord>) {
            RaiseCommandFailed();
        }
        return DataAs<TRecord>(answer.Data);
    }

    // Runs a command whose answer TStatusAnswer is the register's status
    // byte: 0 is success, anything else is raised as the code.
    template <class TStatusAnswer>
    void ExecuteForStatus(std::uint8_t commandNumber, const TCommandData* request = nullptr)
    {
        const TAnswer answer = Execute(commandNumber, request);
        const std::uint8_t status = Expect<TStatusAnswer>(answer).Result;
        if (status != ecSuccess) {
            RaiseStatus(status);
        }
    }

    // ecCommandFailed "[COM%d NetNum%d] Команда не выполнилась".
    [[noreturn]] void RaiseCommandFailed() const;

private:
    std::uint8_t FPort;
    std::uint8_t FNetNumber;
    TCommandEncoder FEncoder;
};

}  // namespace zarvik12m
