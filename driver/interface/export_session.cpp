#include "driver/interface/export_session.h"

#include "driver/common/errors.h"
#include "driver/interface/progress.h"

namespace zarvik12m {

void BeginProgress(std::uint8_t port, std::int32_t maximum) noexcept
{
    ResetProgress(port);
    SetProgressMax(port, maximum);
}

void RaiseStatus(std::uint8_t status)
{
    RaiseError(static_cast<std::int16_t>(status));
}

TExportSession::TExportSession(std::uint8_t port, std::uint8_t netNumber)
    : FPort(port), FNetNumber(netNumber), FEncoder(port, ByteSetOf({netNumber}))
{}

TAnswer TExportSession::Execute(std::uint8_t commandNumber, const TCommandData* request)
{
    StepProgress(FPort, 1);
    TAnswer answer;
    FEncoder.ExecuteCommand(FNetNumber, commandNumber, answer.Data, answer.Number, request);
    return answer;
}

void TExportSession::RaiseCommandFailed() const
{
    RaiseError(ecCommandFailed, {std::int64_t{FPort}, std::int64_t{FNetNumber}});
}

}  // namespace zarvik12m
