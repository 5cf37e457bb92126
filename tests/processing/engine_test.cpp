#include <algorithm>
#include <chrono>
#include <filesystem>
#include <future>
#include <iterator>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "driver/common/cp1251.h"
#include "driver/port/com_port.h"
#include "driver/processing/command_encoder.h"
#include "driver/processing/command_queues.h"
#include "driver/processing/rx_command_thread.h"
#include "driver/processing/tx_command_thread.h"
#include "tests/processing/logged_texts.h"
#include "tests/support/expect_error.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/raw_frame.h"
#include "tests/support/temp_directory.h"
#include "tests/support/thread_test_access.h"

namespace zarvik12m {
namespace {

using testing::RawFrame;
using testing::TBytes;
using testing::TextBytes;
using testing::TPortVariable;
using testing::TPseudoTerminal;

using Clock = std::chrono::steady_clock;

constexpr std::uint8_t TestPort = 7;

// The request of server command 58 to register 1, and a serial-number
// answer of that register.
const TBytes SerialNumberRequest = {0x01, 0x00, 0x1B, 0xE3};
const TBytes SerialNumberAnswer = RawFrame(0x01, 0x1B, TextBytes("00012345678  "));

// A goods-found answer (38 bytes) of register 1 whose barcode is the text.
TBytes GoodsFoundAnswer(const std::string& barcode, std::uint8_t address = 0x01)
{
    TBytes payload = TextBytes(barcode);
    payload.resize(13, ' ');
    const TBytes rest = {0x00, 0x00, 0x04, 0xD2,                                                  // price 1234
                         0x8C, 0xAE, 0xAB, 0xAE, 0xAA, 0xAE, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20,  // "Молоко"
                         0x20, 0x20, 0x20, 0x20, 0x05, 0x00, 0x00, 0x03, 0xE8};                   // group 5, 1.000
    payload.insert(payload.end(), rest.begin(), rest.end());
    return RawFrame(address, 0x24, payload);
}

TBytes ReadGoodsRequest(std::uint16_t code)
{
    return RawFrame(0x01, 0x24, {static_cast<std::uint8_t>(code >> 8U), static_cast<std::uint8_t>(code)});
}

struct TAnswer {
    std::uint8_t Number = 0;
    TCommandDataPtr Data;
};

TAnswer Execute(TCommandEncoder& engine, std::uint8_t commandNumber, const TCommandData* request = nullptr,
                std::uint8_t netNumber = 1)
{
    TAnswer answer;
    engine.ExecuteCommand(netNumber, commandNumber, answer.Data, answer.Number, request);
    return answer;
}

TCommandData ReadGoods(std::uint16_t code)
{
    TTX_READ_TOV_DataIn request{};
    request.Argument = code;
    return TCommandData{request};
}

// Waits until the condition holds, looking again whenever the engine may
// have moved on; false when it does not hold within ten seconds.
template <typename TCondition>
bool Eventually(TCondition condition)
{
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

template <typename TQueue>
std::size_t CountOf(TQueue& queue)
{
    const TCriticalSection::TGuard lock(queue);
    return queue.Count();
}

template <typename TQueue>
TCommand EntryOf(TQueue& queue, std::size_t index)
{
    const TCriticalSection::TGuard lock(queue);
    return queue.EntryAt(index);
}

// An engine on a pseudo-terminal whose far end the test plays.
class EngineOnALine : public ::testing::Test {
protected:
    void SetUp() override { FEngine.Start(9600); }

    std::future<TAnswer> ExecuteAsync(std::uint8_t commandNumber, const TCommandData* request = nullptr,
                                      std::uint8_t netNumber = 1)
    {
        return std::async(std::launch::async,
                          [=, this] { return Execute(FEngine, commandNumber, request, netNumber); });
    }

    // What the register received, all of it once it has arrived.
    void ExpectRequest(const TBytes& expected) { EXPECT_EQ(FLine.Receive(expected.size()), expected); }

    // Reads goods 1..last in turn; each answer must be the found goods
    // whose barcode begins with its own number.
    void ReadGoodsOneToLast(std::uint16_t last)
    {
        for (std::uint16_t code = 1; code <= last; ++code) {
            const TCommandData request = ReadGoods(code);
            const TAnswer result = Execute(FEngine, 48, &request);
            ASSERT_EQ(result.Number, 11) << code;
            const std::string barcode = DataAs<TRX_READ_TOV_DataIn>(result.Data).Barcode.Str();
            ASSERT_EQ(barcode.substr(0, barcode.find(' ')), std::to_string(code));
        }
    }

    TCommand ReceivedEntry(std::uint32_t index) { return EntryOf(FEngine.RXQueue(), index); }

    testing::TScratchDirectory FScratch;
    TPseudoTerminal FLine;
    TPortVariable FVariable{TestPort, FLine.SlavePath()};
    TCommandEncoder FEngine{TestPort, ByteSetOf({1, 2})};
};

TEST_F(EngineOnALine, SerialNumberIsAnsweredAndBothQueuesEmptyAgain)
{
    auto answer = ExecuteAsync(58);
    ExpectRequest(SerialNumberRequest);
    FLine.Send(SerialNumberAnswer);
    const TAnswer result = answer.get();
    ASSERT_EQ(result.Number, 24);
    EXPECT_EQ(DataAs<TRX_SERIAL_NUMBER_DataIn>(result.Data).SerialNumber.View(), "00012345678");
    EXPECT_EQ(CountOf(FEngine.TXQueue()), 0U);
    EXPECT_EQ(CountOf(FEngine.RXQueue()), 0U);
    FEngine.Stop();
    EXPECT_FALSE(FLine.HasPendingInput());  // the request went once, and nothing after it
}

TEST_F(EngineOnALine, MissingGoodsGiveTheErrorAnswer)
{
    const TCommandData request = ReadGoods(5);
    auto answer = ExecuteAsync(48, &request);
    ExpectRequest(ReadGoodsRequest(5));
    FLine.Send(RawFrame(0x01, 0x24, {0x07}));
    const TAnswer result = answer.get();
    ASSERT_EQ(result.Number, 12);
    EXPECT_EQ(DataAs<TRX_READ_TOV_ERROR_DataIn>(result.Data).Result, 7);
}

TEST_F(EngineOnALine, CommandsOutsideTheCatalogueQueueNothing)
{
    for (const std::uint8_t number : {std::uint8_t{0}, std::uint8_t{67}}) {
        // The record is refused before it is made for any register: the
        // message names network number 0.
        testing::ExpectError([&] { Execute(FEngine, number); }, ecUnknownCommand,
                             {std::int64_t{TestPort}, 0, std::int64_t{number}});
    }
    EXPECT_EQ(CountOf(FEngine.TXQueue()), 0U);
    EXPECT_FALSE(FLine.HasPendingInput());
}

TEST_F(EngineOnALine, ARequestWhoseLogEntryFailsLeavesTheQueueAndIsNeverSent)
{
    // A folder where the log's file would be: every entry fails, the one
    // of the request's removal after the first failure too.
    std::filesystem::create_directory(FEngine.Log().FileName());
    FEngine.Log().SetEnabled(true);
    EXPECT_THROW(Execute(FEngine, 58), std::system_error);
    EXPECT_EQ(CountOf(FEngine.TXQueue()), 0U);

    FEngine.Log().SetEnabled(false);
    const TCommandData request = ReadGoods(1);
    auto answer = ExecuteAsync(48, &request);
    ExpectRequest(ReadGoodsRequest(1));
    FLine.Send(GoodsFoundAnswer("1"));
    EXPECT_EQ(answer.get().Number, 11);
    FEngine.Stop();
    EXPECT_FALSE(FLine.HasPendingInput());
}

TEST_F(EngineOnALine, GarbageBeforeAnAnswerIsKeptAsOneUnknownRecord)
{
    auto answer = ExecuteAsync(58);
    ExpectRequest(SerialNumberRequest);
    TBytes bytes = {0xAA, 0xBB, 0xCC};
    bytes.reserve(bytes.size() + SerialNumberAnswer.size());
    bytes.insert(bytes.end(), SerialNumberAnswer.begin(), SerialNumberAnswer.end());
    FLine.Send(bytes);
    EXPECT_EQ(answer.get().Number, 24);

    const TCommand unknown = ReceivedEntry(0);
    EXPECT_EQ(unknown.CommandNumber, UnknownCommand);
    EXPECT_EQ(unknown.CommandType, ctUnknown);
    EXPECT_EQ(unknown.NetNumber, 0);
    EXPECT_EQ(DataAs<TRX_UNKNOWN_DataIn>(unknown).Data, (TBytes{0xAA, 0xBB, 0xCC}));
    EXPECT_EQ(CountOf(FEngine.RXQueue()), 1U);
    // The bytes leave the input queue just after the answer is handed over.
    TReadQueue& input = FEngine.Port().InputQueue();
    EXPECT_TRUE(Eventually([&] {
        const TCriticalSection::TGuard lock(input);
        return input.Count() == 0;
    }));
}

TEST_F(EngineOnALine, AFrameSplitInTwoIsRecognisedOnceWhole)
{
    auto answer = ExecuteAsync(58);
    ExpectRequest(SerialNumberRequest);
    const TBytes first(SerialNumberAnswer.begin(), SerialNumberAnswer.begin() + 8);
    const TBytes second(SerialNumberAnswer.begin() + 8, SerialNumberAnswer.end());
    FLine.Send(first);
    TReadQueue& input = FEngine.Port().InputQueue();
    ASSERT_TRUE(Eventually([&] {
        const TCriticalSection::TGuard lock(input);
        return input.Count() == first.size();
    }));
    EXPECT_EQ(answer.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
    FLine.Send(second);
    EXPECT_EQ(answer.get().Number, 24);
    EXPECT_EQ(CountOf(FEngine.RXQueue()), 0U);  // nothing was skipped
}

TEST_F(EngineOnALine, AFrameWithAWrongChecksumIsSkipped)
{
    auto answer = ExecuteAsync(58);
    ExpectRequest(SerialNumberRequest);
    TBytes broken = SerialNumberAnswer;
    broken.back() ^= 0x01;
    TBytes bytes = broken;
    bytes.insert(bytes.end(), SerialNumberAnswer.begin(), SerialNumberAnswer.end());
    FLine.Send(bytes);
    EXPECT_EQ(answer.get().Number, 24);
    const TCommand unknown = ReceivedEntry(0);
    EXPECT_EQ(unknown.CommandNumber, UnknownCommand);
    EXPECT_EQ(DataAs<TRX_UNKNOWN_DataIn>(unknown).Data, broken);
}

TEST_F(EngineOnALine, ASecondAnswerIsKeptUndefinedUnderItsOwnID)
{
    auto answer = ExecuteAsync(58);
    ExpectRequest(SerialNumberRequest);
    TBytes twice = SerialNumberAnswer;
    twice.insert(twice.end(), SerialNumberAnswer.begin(), SerialNumberAnswer.end());
    FLine.Send(twice);
    EXPECT_EQ(answer.get().Number, 24);
    ASSERT_TRUE(Eventually([&] { return CountOf(FEngine.RXQueue()) == 1; }));
    const TCommand second = ReceivedEntry(0);
    EXPECT_EQ(second.CommandNumber, 24);
    EXPECT_EQ(second.State, csUndefined);
    EXPECT_NE(second.ID, 0U);
}

TEST_F(EngineOnALine, AnAnswerOfAnotherRegisterIsNotPaired)
{
    const TCommandData request = ReadGoods(1);
    auto answer = ExecuteAsync(48, &request);
    ExpectRequest(ReadGoodsRequest(1));
    FLine.Send(GoodsFoundAnswer("FROM-TWO", 0x02));
    ASSERT_TRUE(Eventually([&] { return CountOf(FEngine.RXQueue()) == 1; }));
    EXPECT_EQ(ReceivedEntry(0).State, csUndefined);
    EXPECT_EQ(ReceivedEntry(0).NetNumber, 2);
    FLine.Send(GoodsFoundAnswer("FROM-ONE"));
    const TAnswer result = answer.get();
    ASSERT_EQ(result.Number, 11);
    EXPECT_EQ(DataAs<TRX_READ_TOV_DataIn>(result.Data).Barcode.View(), "FROM-ONE     ");
}

TEST_F(EngineOnALine, AnAnswerPairsWithTheOldestSentCommandOfItsRegisterAndCode)
{
    // As an answer that comes late does: it belongs to whatever command of
    // the same register and code has been sent and waits.
    TCommand notYetSent = FEngine.InitCommand(48, 1);
    notYetSent.CommandType = ctUnknown;  // kept back from the transmit thread
    TCommand waiting = FEngine.InitCommand(48, 1);
    waiting.State = csProcessed;
    {
        const TCriticalSection::TGuard lock(FEngine.TXQueue());
        FEngine.TXQueue().Enqueue(notYetSent);
        FEngine.TXQueue().Enqueue(waiting);
    }
    FLine.Send(GoodsFoundAnswer("LATE"));
    ASSERT_EQ(waiting.Event->WaitFor(10000), TEvent::wrSignaled);
    const TCommand paired = ReceivedEntry(0);
    EXPECT_EQ(paired.ID, waiting.ID);
    EXPECT_EQ(paired.State, csProcessed);
    EXPECT_EQ(paired.CommandNumber, 11);
    const TCriticalSection::TGuard lock(FEngine.TXQueue());
    EXPECT_EQ(FEngine.TXQueue().FindByState(csConfirmed).ID, waiting.ID);
    EXPECT_EQ(FEngine.TXQueue().FindByState(csCreated).ID, notYetSent.ID);
}

TEST_F(EngineOnALine, AnAnswerThatBeganBeforeItsCommandWasSentIsNotPaired)
{
    // A command sent after the answer's first byte had arrived: that answer
    // repeats an earlier one (a register sending its answer twice).
    TCommand waiting = FEngine.InitCommand(48, 1);
    waiting.State = csProcessed;
    {
        TReadQueue& input = FEngine.Port().InputQueue();
        const TCriticalSection::TGuard lock(input);
        waiting.InputMark = input.ReceivedTotal() + 1;
    }
    {
        const TCriticalSection::TGuard lock(FEngine.TXQueue());
        FEngine.TXQueue().Enqueue(waiting);
    }
    FLine.Send(GoodsFoundAnswer("EARLIER"));
    ASSERT_TRUE(Eventually([&] { return CountOf(FEngine.RXQueue()) == 1; }));
    EXPECT_EQ(ReceivedEntry(0).State, csUndefined);
    EXPECT_NE(ReceivedEntry(0).ID, waiting.ID);
    EXPECT_EQ(waiting.Event->WaitFor(0), TEvent::wrTimeout);

    // The next answer starts after the mark: it is the command's.
    FLine.Send(GoodsFoundAnswer("ITS OWN"));
    ASSERT_EQ(waiting.Event->WaitFor(10000), TEvent::wrSignaled);
    EXPECT_EQ(ReceivedEntry(1).ID, waiting.ID);
}

TEST_F(EngineOnALine, ARepeatedAnswerIsNotTakenForTheNextCommands)
{
    // Every answer comes twice in one burst; each command still gets the
    // answer to itself.
    std::thread registerSide([this] {
        for (std::uint16_t code = 1; code <= 200; ++code) {
            if (FLine.Receive(6) != ReadGoodsRequest(code)) {
                return;
            }
            TBytes twice = GoodsFoundAnswer(std::to_string(code));
            const TBytes again = twice;
            twice.insert(twice.end(), again.begin(), again.end());
            FLine.Send(twice);
        }
    });
    ReadGoodsOneToLast(200);
    registerSide.join();
}

TEST_F(EngineOnALine, EveryExchangeOfAQuickRegisterIsAnswered)
{
    // A register answering the instant it has a request, as an adapter on
    // a fast line can: no answer may be taken for a stray one.
    std::thread registerSide([this] {
        for (std::uint16_t code = 1; code <= 500; ++code) {
            const TBytes request = FLine.Receive(6);
            if (request != ReadGoodsRequest(code)) {
                return;
            }
            FLine.Send(GoodsFoundAnswer(std::to_string(code)));
        }
    });
    ReadGoodsOneToLast(500);
    registerSide.join();
    EXPECT_EQ(CountOf(FEngine.RXQueue()), 0U);
}

TEST_F(EngineOnALine, ARegisterRequestIsKeptAndAnsweredOnceItIsProcessed)
{
    // An X report request of register 1: stored as it came, and nothing
    // is sent in reply.
    FLine.Send(RawFrame(0x01, 0x1C, TBytes(12, 0x00)));
    ASSERT_TRUE(Eventually([&] { return CountOf(FEngine.RXQueue()) == 1; }));
    TCommand request = ReceivedEntry(0);
    EXPECT_EQ(request.CommandNumber, 5);
    EXPECT_EQ(request.CommandType, ctKKMRequest);
    EXPECT_EQ(request.State, csCreated);

    const auto enqueueAnswer = [&](std::uint8_t answerByte) {
        TCommand answer = FEngine.InitCommand(38, 1);
        DataAs<TTX_X_REPORT_ANSWER_DataIn>(answer).Answer = answerByte;
        const TCriticalSection::TGuard lock(FEngine.TXQueue());
        FEngine.TXQueue().Enqueue(answer);
    };
    // The driver's answer to a request not yet processed is not sent.
    enqueueAnswer(1);
    ASSERT_TRUE(Eventually([&] { return EntryOf(FEngine.TXQueue(), 0).State == csUndefined; }));
    EXPECT_FALSE(FLine.HasPendingInput());
    EXPECT_EQ(ReceivedEntry(0).State, csCreated);

    // Once the request is marked processed, as whoever serves register
    // requests would mark it, the answer goes once and confirms it.
    request.State = csProcessed;
    {
        const TCriticalSection::TGuard lock(FEngine.RXQueue());
        FEngine.RXQueue().Update(request);
    }
    enqueueAnswer(0);
    ExpectRequest(RawFrame(0x01, 0x1C, {0x00}));
    EXPECT_TRUE(Eventually([&] { return ReceivedEntry(0).State == csConfirmed; }));
    FEngine.Stop();
    EXPECT_FALSE(FLine.HasPendingInput());
}

TEST_F(EngineOnALine, ACommandTooLongForAFrameEndsTheTransmitThreadUnsent)
{
    TTX_WRITE_RPZU_DataIn record{};
    record.Data = TBytes(247, 0x55);  // one more than a frame holds
    const TCommandData request{record};
    const auto start = Clock::now();
    const TAnswer result = Execute(FEngine, 65, &request);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(TCommandEncoder::AnswerTimeout));
    EXPECT_EQ(result.Number, 0);
    EXPECT_EQ(result.Data, nullptr);
    EXPECT_EQ(CountOf(FEngine.TXQueue()), 0U);
    EXPECT_FALSE(FLine.HasPendingInput());

    TThread& transmit = FEngine.TXThread()->Thread();
    ASSERT_TRUE(Eventually([&] { return transmit.Finished(); }));
    transmit.WaitFor();
    ASSERT_NE(TThreadTestAccess::FatalException(transmit), nullptr);
    testing::ExpectError([&] { std::rethrow_exception(TThreadTestAccess::FatalException(transmit)); },
                         ecCommandDataSize, {std::int64_t{TestPort}, 1});
    EXPECT_FALSE(FEngine.TXStarted());
}

TEST_F(EngineOnALine, ASilentLineGivesNoAnswerAfterTheWait)
{
    const auto start = Clock::now();
    const TAnswer result = Execute(FEngine, 58);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(TCommandEncoder::AnswerTimeout));
    EXPECT_EQ(result.Number, 0);
    EXPECT_EQ(result.Data, nullptr);
    EXPECT_EQ(CountOf(FEngine.TXQueue()), 0U);
    ExpectRequest(SerialNumberRequest);  // it was sent once
}

TEST(Engine, StartOnAMissingDeviceRaisesTheOpenError)
{
    const testing::TScratchDirectory scratch;
    const TPortVariable variable(TestPort, "/nonexistent/zarvik12m-line");
    TCommandEncoder engine(TestPort, ByteSetOf({1}));
    testing::ExpectError([&] { engine.Start(9600); }, ecPortOpen,
                         {std::int64_t{TestPort}, std::string("/nonexistent/zarvik12m-line")});
    EXPECT_EQ(engine.TXThread(), nullptr);
    EXPECT_EQ(engine.RXThread(), nullptr);
}

TEST(Engine, StartReturnsWhenItsThreadsEndBeforeTheyAreSeenRunning)
{
    const testing::TScratchDirectory scratch;
    TPseudoTerminal line;
    const TPortVariable variable(TestPort, line.SlavePath());
    TCommandEncoder engine(TestPort, ByteSetOf({1}));
    // A folder where the log's file would be: each thread fails on its
    // start entry and ends, its started flag often lowered again before
    // Start has looked at it. Many starts make sure that happens.
    std::filesystem::create_directory(engine.Log().FileName());
    engine.Log().SetEnabled(true);
    for (int start = 0; start < 200; ++start) {
        engine.Start(9600);
        for (TThread* thread : {&engine.TXThread()->Thread(), &engine.RXThread()->Thread()}) {
            thread->WaitFor();
            ASSERT_NE(TThreadTestAccess::FatalException(*thread), nullptr);
            EXPECT_THROW(std::rethrow_exception(TThreadTestAccess::FatalException(*thread)), std::system_error);
        }
    }
    EXPECT_FALSE(engine.TXStarted());
    EXPECT_FALSE(engine.RXStarted());
}

TEST(Engine, TwoEnginesOnTwoPortsWorkAtTheSameTime)
{
    const testing::TScratchDirectory scratch;
    TPseudoTerminal firstLine;
    TPseudoTerminal secondLine;
    const TPortVariable first(3, firstLine.SlavePath());
    const TPortVariable second(4, secondLine.SlavePath());
    TCommandEncoder firstEngine(3, ByteSetOf({1}));
    TCommandEncoder secondEngine(4, ByteSetOf({1}));
    firstEngine.Start(9600);
    secondEngine.Start(115200);
    auto firstAnswer = std::async(std::launch::async, [&] { return Execute(firstEngine, 58); });
    auto secondAnswer = std::async(std::launch::async, [&] { return Execute(secondEngine, 58); });
    EXPECT_EQ(firstLine.Receive(4), SerialNumberRequest);
    EXPECT_EQ(secondLine.Receive(4), SerialNumberRequest);
    secondLine.Send(RawFrame(0x01, 0x1B, TextBytes("SECOND       ")));
    firstLine.Send(RawFrame(0x01, 0x1B, TextBytes("FIRST        ")));
    EXPECT_EQ(DataAs<TRX_SERIAL_NUMBER_DataIn>(firstAnswer.get().Data).SerialNumber.View(), "FIRST");
    EXPECT_EQ(DataAs<TRX_SERIAL_NUMBER_DataIn>(secondAnswer.get().Data).SerialNumber.View(), "SECOND");
}

// The command log's entry texts of an engine started the given number of
// times, then asked for the serial number once, then destroyed.
std::vector<std::string> LogOfOneExchange(int starts)
{
    const testing::TScratchDirectory scratch;
    TPseudoTerminal line;
    const TPortVariable variable(TestPort, line.SlavePath());
    std::string fileName;
    {
        TCommandEncoder engine(TestPort, ByteSetOf({1}));
        engine.Log().SetEnabled(true);
        fileName = engine.Log().FileName();
        for (int start = 0; start < starts; ++start) {
            engine.Start(9600);
        }
        auto answer = std::async(std::launch::async, [&] { return Execute(engine, 58); });
        EXPECT_EQ(line.Receive(4), SerialNumberRequest);
        line.Send(SerialNumberAnswer);
        EXPECT_EQ(answer.get().Number, 24);
    }
    return testing::LoggedTexts(fileName);
}

TEST(Engine, TheCommandLogFollowsStartExchangeAndStop)
{
    const std::vector<std::string> texts = LogOfOneExchange(1);
    // The threads and the caller log concurrently: each thread raises its
    // started flag before it logs its start, and the caller, woken by the
    // confirmation, may delete the answer before the confirmation is
    // logged. So each queue's entries and the threads' entries are checked
    // in their own order.
    const auto entriesOf = [&](std::string_view prefix) { return testing::TextsStartingWith(texts, prefix); };
    const auto expect = [](std::initializer_list<std::string_view> expected) {
        return std::vector<std::string>(expected.begin(), expected.end());
    };
    EXPECT_EQ(entriesOf("Выходная очередь команд: "_cp1251),
              expect({"Выходная очередь команд: Постановка в очередь"_cp1251,
                      "Выходная очередь команд: Обновление команды в очереди"_cp1251,  // sent
                      "Выходная очередь команд: Обновление команды в очереди"_cp1251,  // confirmed
                      "Выходная очередь команд: Удаление команды из очереди"_cp1251}));
    EXPECT_EQ(entriesOf("Входная очередь команд: "_cp1251),
              expect({"Входная очередь команд: Постановка в очередь"_cp1251,
                      "Входная очередь команд: Удаление команды из очереди"_cp1251}));
    EXPECT_EQ(texts.front(), "Выходной поток команд: Запущен"_cp1251);
    EXPECT_EQ(entriesOf("Входной поток команд: "_cp1251),
              expect({"Входной поток команд: Запущен"_cp1251, "Входной поток команд: Остановлен"_cp1251}));
    // The receive thread stops first, then the transmit thread.
    ASSERT_GE(texts.size(), 2U);
    EXPECT_EQ(texts[texts.size() - 2], "Входной поток команд: Остановлен"_cp1251);
    EXPECT_EQ(texts.back(), "Выходной поток команд: Остановлен"_cp1251);
    // The answer is stored before the request is confirmed.
    const auto position = [&](std::string_view text, int occurrence) {
        int seen = 0;
        for (std::size_t i = 0; i < texts.size(); ++i) {
            if (texts[i] == text && ++seen == occurrence) {
                return i;
            }
        }
        return texts.size();
    };
    EXPECT_LT(position("Входная очередь команд: Постановка в очередь"_cp1251, 1),
              position("Выходная очередь команд: Обновление команды в очереди"_cp1251, 2));
}

TEST(Engine, StartingAStartedEngineStopsItFirst)
{
    const std::vector<std::string> texts = LogOfOneExchange(2);
    const auto entriesOf = [&](std::string_view prefix) { return testing::TextsStartingWith(texts, prefix); };
    const std::string txStarted("Выходной поток команд: Запущен"_cp1251);
    const std::string txStopped("Выходной поток команд: Остановлен"_cp1251);
    const std::string rxStarted("Входной поток команд: Запущен"_cp1251);
    const std::string rxStopped("Входной поток команд: Остановлен"_cp1251);
    EXPECT_EQ(entriesOf("Выходной поток"_cp1251),
              (std::vector<std::string>{txStarted, txStopped, txStarted, txStopped}));
    EXPECT_EQ(entriesOf("Входной поток"_cp1251),
              (std::vector<std::string>{rxStarted, rxStopped, rxStarted, rxStopped}));
    // The first threads end as a stop ends them, the receive thread first.
    const auto firstOf = [&](const std::string& text) {
        return std::find(texts.begin(), texts.end(), text) - texts.begin();
    };
    EXPECT_LT(firstOf(rxStopped), firstOf(txStopped));
}

}  // namespace
}  // namespace zarvik12m
