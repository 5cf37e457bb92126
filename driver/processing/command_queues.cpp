#include "driver/processing/command_queues.h"

#include <algorithm>

#include "driver/common/cp1251.h"
#include "driver/processing/command_encoder.h"

namespace zarvik12m {

TCommandQueue::TCommandQueue(TCommandEncoder& encoder, const TCommandQueueTexts& texts)
    : FEncoder(encoder), FTexts(texts)
{}

void TCommandQueue::LogEntry(const TCommand& command, std::string_view text) const
{
    FEncoder.LogCommand(command, text);
}

void TCommandQueue::Enqueue(const TCommand& command)
{
    FCommands.push_back(command);
    LogEntry(command, FTexts.Enqueue);
    FQueueEvent.SetEvent();
}

std::vector<TCommand>::iterator TCommandQueue::EntryOf(std::uint32_t id)
{
    return std::find_if(FCommands.begin(), FCommands.end(), [id](const TCommand& stored) { return stored.ID == id; });
}

TCommand* TCommandQueue::Replace(const TCommand& command)
{
    const auto entry = EntryOf(command.ID);
    if (entry == FCommands.end()) {
        return nullptr;
    }
    *entry = command;
    return &*entry;
}

void TCommandQueue::Delete(std::uint32_t id)
{
    const auto entry = EntryOf(id);
    if (entry == FCommands.end()) {
        return;
    }
    LogEntry(*entry, FTexts.Delete);
    TCommandEncoder::FreeCommand(*entry);
    FCommands.erase(entry);
}

void TCommandQueue::Discard(std::uint32_t id) noexcept
{
    const auto entry = EntryOf(id);
    if (entry == FCommands.end()) {
        return;
    }
    const TCommand released = *entry;
    TCommandEncoder::FreeCommand(*entry);
    FCommands.erase(entry);
    try {
        LogEntry(released, FTexts.Delete);
    } catch (...) {  // NOLINT(bugprone-empty-catch): the entry is gone, which is what matters here
    }
}

void TCommandQueue::Clear()
{
    // Each entry leaves as soon as it has been logged, so a log that fails
    // part-way keeps exactly the entries not yet released.
    while (!FCommands.empty()) {
        LogEntry(FCommands.front(), FTexts.Clear);
        TCommandEncoder::FreeCommand(FCommands.front());
        FCommands.erase(FCommands.begin());
    }
}

TCommand TCommandQueue::FindMatch(TCommandState state, std::uint8_t netNumber, std::uint8_t protocolCommand) const
{
    return FindFirst([&](const TCommand& stored) {
        return stored.State == state && stored.NetNumber == netNumber && stored.ProtocolCommand == protocolCommand;
    });
}

TRXCommandQueue::TRXCommandQueue(TCommandEncoder& encoder)
    : TCommandQueue(encoder, {"Входная очередь команд: Постановка в очередь"_cp1251,
                              "Входная очередь команд: Обновление команды в очереди"_cp1251,
                              "Входная очередь команд: Удаление команды из очереди"_cp1251,
                              "Входная очередь команд: Удаление команды из очереди (При очистке очереди)"_cp1251})
{}

void TRXCommandQueue::Update(const TCommand& command)
{
    if (Replace(command) != nullptr) {
        LogEntry(command, Texts().Update);
    }
}

TCommand TRXCommandQueue::FindByID(std::uint32_t id) const
{
    return FindFirst([id](const TCommand& stored) { return stored.ID == id; });
}

TTXCommandQueue::TTXCommandQueue(TCommandEncoder& encoder)
    : TCommandQueue(encoder, {"Выходная очередь команд: Постановка в очередь"_cp1251,
                              "Выходная очередь команд: Обновление команды в очереди"_cp1251,
                              "Выходная очередь команд: Удаление команды из очереди"_cp1251,
                              "Выходная очередь команд: Удаление команды из очереди (При очистке очереди)"_cp1251})
{}

void TTXCommandQueue::Update(const TCommand& command)
{
    const TCommand* entry = Replace(command);
    if (entry == nullptr) {
        return;
    }
    if (entry->State == csConfirmed && entry->Event) {
        entry->Event->SetEvent();
    }
    LogEntry(command, Texts().Update);
}

TCommand TTXCommandQueue::FindByState(TCommandState state) const
{
    return FindFirst([state](const TCommand& stored) { return stored.State == state; });
}

}  // namespace zarvik12m
