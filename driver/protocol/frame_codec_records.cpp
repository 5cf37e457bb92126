#include "driver/protocol/frame_codec.h"

namespace zarvik12m {

std::uint32_t TFrameCodec::NextID()
{
    const TCriticalSection::TGuard guard(FIDGenerator);
    if (FIDGenerator.Counter() == 0) {
        FIDGenerator.SetCounter(1);
    }
    const std::uint32_t id = FIDGenerator.Counter();
    FIDGenerator.SetCounter(id + 1);  // wraps to 0 past 4294967295; the next call skips it
    return id;
}

TCommand TFrameCodec::InitCommand(std::uint8_t commandNumber, std::uint8_t netNumber)
{
    TCommand command;
    command.ID = NextID();
    command.CommandType = CommandTypeOf(commandNumber);
    command.State = csCreated;
    command.StateTime = Now();
    command.Event = std::make_shared<TEvent>(TEvent::rmAutoReset, false);
    command.NetNumber = netNumber;
    command.ProtocolCommand = IsCatalogued(commandNumber) ? CommandCatalogue[commandNumber].ProtocolCommand : 0;
    command.CommandNumber = commandNumber;
    command.Data = AllocData(commandNumber);
    return command;
}

void TFrameCodec::FreeCommand(TCommand& command) noexcept
{
    command = TCommand{};
}

}  // namespace zarvik12m
