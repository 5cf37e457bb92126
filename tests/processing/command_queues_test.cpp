#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/common/cp1251.h"
#include "driver/processing/command_encoder.h"
#include "driver/processing/command_queues.h"
#include "tests/processing/logged_texts.h"
#include "tests/support/temp_directory.h"

namespace zarvik12m {
namespace {

using testing::LoggedTexts;
using testing::ReadFileBytes;
using testing::TScratchDirectory;

std::vector<std::string> Texts(std::initializer_list<std::string_view> texts)
{
    return {texts.begin(), texts.end()};
}

class CommandQueues : public ::testing::Test {
protected:
    CommandQueues() { FEncoder.Log().SetEnabled(true); }

    TCommand Make(std::uint8_t commandNumber, TCommandState state = csCreated, std::uint8_t netNumber = 1)
    {
        TCommand command = FEncoder.InitCommand(commandNumber, netNumber);
        command.State = state;
        return command;
    }

    std::vector<std::string> Logged() { return LoggedTexts(FEncoder.Log().FileName()); }

    TScratchDirectory FScratch;
    TCommandEncoder FEncoder{1, ByteSetOf({1, 2})};
    TRXCommandQueue& FRX = FEncoder.RXQueue();
    TTXCommandQueue& FTX = FEncoder.TXQueue();
};

TEST_F(CommandQueues, LookupsOnEmptyQueuesFindNothing)
{
    EXPECT_EQ(FRX.FindByID(1).ID, 0U);
    EXPECT_EQ(FRX.FindMatch(csProcessed, 1, 0x24).ID, 0U);
    EXPECT_EQ(FTX.FindByState(csCreated).ID, 0U);
    EXPECT_EQ(FTX.FindMatch(csProcessed, 1, 0x24).ID, 0U);
    const TCommand none = FTX.FindByState(csCreated);
    EXPECT_EQ(none.CommandNumber, 0);
    EXPECT_EQ(none.Event, nullptr);
    EXPECT_EQ(none.Data, nullptr);
}

TEST_F(CommandQueues, UnknownIDsChangeNothingAndLogNothing)
{
    const TCommand stored = Make(48);
    FTX.Enqueue(stored);
    TCommand stranger = Make(48, csConfirmed);
    FTX.Update(stranger);
    FRX.Update(stranger);
    FTX.Delete(stranger.ID);
    FRX.Delete(stranger.ID);
    EXPECT_EQ(stranger.Event->WaitFor(0), TEvent::wrTimeout);
    EXPECT_EQ(FTX.Count(), 1U);
    EXPECT_EQ(FTX.FindByState(csCreated).ID, stored.ID);
    EXPECT_EQ(Logged(), Texts({"Выходная очередь команд: Постановка в очередь"_cp1251}));
}

TEST_F(CommandQueues, OldestEntryWins)
{
    const TCommand older = Make(48);
    const TCommand newer = Make(58);
    FTX.Enqueue(older);
    FTX.Enqueue(newer);
    EXPECT_EQ(FTX.FindByState(csCreated).ID, older.ID);
    FTX.Delete(older.ID);
    EXPECT_EQ(FTX.FindByState(csCreated).ID, newer.ID);
}

TEST_F(CommandQueues, FindMatchNeedsStateNetworkNumberAndCode)
{
    const TCommand created = Make(48, csCreated);        // not yet sent
    const TCommand otherNet = Make(48, csProcessed, 2);  // another register
    const TCommand otherCode = Make(58, csProcessed);    // another code
    const TCommand wanted = Make(48, csProcessed);
    for (const TCommand& command : {created, otherNet, otherCode, wanted}) {
        FTX.Enqueue(command);
    }
    EXPECT_EQ(FTX.FindMatch(csProcessed, 1, 0x24).ID, wanted.ID);
    EXPECT_EQ(FTX.FindMatch(csProcessed, 2, 0x24).ID, otherNet.ID);
    EXPECT_EQ(FTX.FindMatch(csConfirmed, 1, 0x24).ID, 0U);
    // The command number takes no part: the answer 11 has 48's code.
    TCommand answer = Make(11, csProcessed);
    FRX.Enqueue(answer);
    EXPECT_EQ(FRX.FindMatch(csProcessed, 1, 0x24).ID, answer.ID);
}

TEST_F(CommandQueues, OnlyTheTransmitQueueSignalsAConfirmation)
{
    TCommand sent = Make(48);
    FTX.Enqueue(sent);
    for (const TCommandState state : {csProcessed, csUndefined, csCreated}) {
        sent.State = state;
        FTX.Update(sent);
        EXPECT_EQ(sent.Event->WaitFor(0), TEvent::wrTimeout) << int{state};
    }
    sent.State = csConfirmed;
    FTX.Update(sent);
    EXPECT_EQ(sent.Event->WaitFor(0), TEvent::wrSignaled);
    FTX.Update(sent);  // confirmed again: signalled again
    EXPECT_EQ(sent.Event->WaitFor(0), TEvent::wrSignaled);
    EXPECT_EQ(FTX.FindByState(csConfirmed).ID, sent.ID);

    TCommand request = Make(1);
    FRX.Enqueue(request);
    request.State = csConfirmed;
    FRX.Update(request);
    EXPECT_EQ(request.Event->WaitFor(0), TEvent::wrTimeout);
    EXPECT_EQ(FRX.FindByID(request.ID).State, csConfirmed);
}

TEST_F(CommandQueues, EnqueueSetsTheQueueEventOnceForSeveral)
{
    FTX.Enqueue(Make(48));
    FTX.Enqueue(Make(58));
    EXPECT_EQ(FTX.QueueEvent().WaitFor(0), TEvent::wrSignaled);
    EXPECT_EQ(FTX.QueueEvent().WaitFor(0), TEvent::wrTimeout);
    FRX.Enqueue(Make(11));
    EXPECT_EQ(FRX.QueueEvent().WaitFor(0), TEvent::wrSignaled);
}

TEST_F(CommandQueues, DeleteAndClearReleaseEntriesAndLogThem)
{
    std::vector<TCommand> held;
    for (const int number : {11, 12, 24}) {
        held.push_back(Make(static_cast<std::uint8_t>(number)));
        FRX.Enqueue(held.back());
    }
    const TCommand extra = Make(48);
    FTX.Enqueue(extra);
    FTX.Delete(extra.ID);
    EXPECT_EQ(extra.Event.use_count(), 1);  // only the test's copy is left
    for (const TCommand& command : held) {
        EXPECT_EQ(command.Event.use_count(), 2);
    }
    FRX.Clear();
    EXPECT_EQ(FRX.Count(), 0U);
    for (const TCommand& command : held) {
        EXPECT_EQ(command.Event.use_count(), 1);
        EXPECT_EQ(command.Data.use_count(), 1);
    }
    const std::string_view cleared = "Входная очередь команд: Удаление команды из очереди (При очистке очереди)"_cp1251;
    const std::vector<std::string> expected = Texts(
        {"Входная очередь команд: Постановка в очередь"_cp1251, "Входная очередь команд: Постановка в очередь"_cp1251,
         "Входная очередь команд: Постановка в очередь"_cp1251, "Выходная очередь команд: Постановка в очередь"_cp1251,
         "Выходная очередь команд: Удаление команды из очереди"_cp1251, cleared, cleared, cleared});
    EXPECT_EQ(Logged(), expected);
    // Oldest first: the IDs of the clear entries come in enqueue order.
    const std::string log = ReadFileBytes(FEncoder.Log().FileName());
    std::size_t at = log.find(cleared);
    for (const TCommand& command : held) {
        const std::size_t id = log.find("ID: " + std::to_string(command.ID) + "\r\n", at);
        ASSERT_NE(id, std::string::npos);
        at = id;
    }
}

TEST_F(CommandQueues, UpdateLogsTheNewContents)
{
    TCommand command = Make(48);
    FTX.Enqueue(command);
    command.State = csProcessed;
    FTX.Update(command);
    const std::string log = ReadFileBytes(FEncoder.Log().FileName());
    EXPECT_NE(log.find(std::string("Выходная очередь команд: Обновление команды в очереди"_cp1251) + "\r\n   ID: "),
              std::string::npos);
    EXPECT_NE(log.find("Состояние: Обработана"_cp1251), std::string::npos);
}

}  // namespace
}  // namespace zarvik12m
