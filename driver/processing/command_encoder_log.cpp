#include "driver/processing/command_encoder.h"

namespace zarvik12m {

void TCommandEncoder::LogCommand(const TCommand& command, std::string_view text)
{
    const TCriticalSection::TGuard guard(FLog);
    FLog.WriteCommand(command, text);
}

void TCommandEncoder::LogText(std::string_view text)
{
    const TCriticalSection::TGuard guard(FLog);
    FLog.WriteText(text);
}

}  // namespace zarvik12m
