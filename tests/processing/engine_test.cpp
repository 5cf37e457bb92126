#include <algorithm>
#include <chrono>
#include <future>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "driver/common/cp1251.h"
#include "driver/port/com_port.h"
#include "driver/processing/command_queues.h"
#include "driver/processing/rx_command_thread.h"
#include "driver/processing/tx_command_thread.h"
#include "driver/protocol/command_encoder.h"
#include "tests/support/expect_error.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/raw_frame.h"
#include "tests/support/temp_directory.h"

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

    TCommand ReceivedEntry(std::uint32_t index)
    {
        TRXCommandQueue& queue = FEngine.RXQueue();
        const TCriticalSection::TGuard lock(queue);
        return queue.EntryAt(index);
    }

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

TEST(Engine, TheCommandLogFollowsStartExchangeAndStop)
{
    const testing::TScratchDirectory scratch;
    TPseudoTerminal line;
    const TPortVariable variable(TestPort, line.SlavePath());
    std::string fileName;
    {
        TCommandEncoder engine(TestPort, ByteSetOf({1}));
        engine.Log().SetEnabled(true);
        fileName = engine.Log().FileName();
        engine.Start(9600);
        auto answer = std::async(std::launch::async, [&] { return Execute(engine, 58); });
        EXPECT_EQ(line.Receive(4), SerialNumberRequest);
        line.Send(SerialNumberAnswer);
        EXPECT_EQ(answer.get().Number, 24);
    }
    std::vector<std::string> texts;
    // Every entry begins with an empty line, the first one at the file's start.
    const std::string log = "\r\n" + testing::ReadFileBytes(fileName);
    for (std::size_t at = log.find("\r\n\r\n"); at != std::string::npos; at = log.find("\r\n\r\n", at + 2)) {
        const std::size_t begin = log.find_first_not_of("0123456789./: ", at + 4);
        texts.push_back(log.substr(begin, log.find("\r\n", begin) - begin));
    }
    // The threads and the caller log concurrently: each thread raises its
    // started flag before it logs its start, and the caller, woken by the
    // confirmation, may delete the answer before the confirmation is
    // logged. So each queue's entries and the threads' entries are checked
    // in their own order.
    const auto entriesOf = [&](std::string_view prefix) {
        std::vector<std::string> found;
        std::copy_if(texts.begin(), texts.end(), std::back_inserter(found),
                     [&](const std::string& text) { return text.starts_with(prefix); });
        return found;
    };
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

}  // namespace
}  // namespace zarvik12m
