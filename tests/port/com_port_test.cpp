#include <termios.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "driver/common/error_log.h"
#include "driver/platform/linux_support.h"
#include "driver/port/com_port.h"
#include "tests/support/expect_error.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/read_thread_test_access.h"
#include "tests/support/temp_directory.h"

namespace zarvik12m {
namespace {

using testing::CountingBytes;
using testing::ExpectError;
using testing::TBytes;

constexpr std::uint8_t PortNumber = 3;
constexpr std::uint32_t WaitMilliseconds = 10000;
const TPortSettings EngineSettings{9600, 0, 8, 0};

std::size_t Occurrences(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) {
        ++count;
    }
    return count;
}

// A COM port whose device is the slave of a pseudo-terminal; the test is
// the register at the far end.
class COMPortTest : public ::testing::Test {
protected:
    std::string ErrorLog() const { return testing::ReadFileBytes(Scratch.Path() / ErrorLogFileName); }

    // What the input queue holds once it holds count bytes, each look
    // after a DataEvent; what it holds when no more come.
    TBytes WaitUntilHeld(std::size_t count)
    {
        TReadQueue& queue = Port.InputQueue();
        for (;;) {
            bool enough = false;
            TBytes held;
            {
                const TCriticalSection::TGuard lock(queue);
                enough = queue.Count() >= count;
                held.resize(queue.Count());
                queue.Peek(held.data(), held.size());
            }
            if (enough || queue.DataEvent().WaitFor(WaitMilliseconds) != TEvent::wrSignaled) {
                return held;
            }
        }
    }

    // Takes everything the port receives until count bytes have come, the
    // way the engine's receive thread does.
    TBytes Consume(std::size_t count)
    {
        TReadQueue& queue = Port.InputQueue();
        TBytes received;
        while (received.size() < count) {
            if (queue.DataEvent().WaitFor(WaitMilliseconds) != TEvent::wrSignaled) {
                break;
            }
            const TCriticalSection::TGuard lock(queue);
            const std::size_t held = queue.Count();
            received.resize(received.size() + held);
            queue.Peek(received.data() + received.size() - held, held);
            queue.Remove(held);
        }
        return received;
    }

    testing::TScratchDirectory Scratch;
    testing::TPseudoTerminal Line;
    testing::TPortVariable Variable{PortNumber, Line.SlavePath()};
    TCOMPort Port{PortNumber};
};

TEST_F(COMPortTest, OpensAndClosesInBothModes)
{
    Port.Close();  // never opened: nothing to do
    for (const bool asyncMode : {false, true, false}) {
        SCOPED_TRACE(asyncMode ? "asynchronous" : "synchronous");
        Port.Open(EngineSettings, asyncMode);
        EXPECT_TRUE(Port.IsOpen());
        EXPECT_EQ(Port.AsyncMode(), asyncMode);
        EXPECT_EQ(Port.ReadThread() != nullptr, asyncMode);
        Port.Close();
        EXPECT_FALSE(Port.IsOpen());
        EXPECT_EQ(Port.ReadThread(), nullptr);
        Port.Close();
    }
    EXPECT_EQ(ErrorLog(), "");
}

TEST_F(COMPortTest, DeviceHeldByAnotherOpenFailsWithItsPath)
{
    Port.Open(EngineSettings, true);

    TCOMPort samePort(PortNumber);
    ExpectError([&] { samePort.Open(EngineSettings, true); }, ecPortOpen, {PortNumber, Line.SlavePath()});

    const testing::TPortVariable otherVariable(4, Line.SlavePath());
    TCOMPort otherPort(4);
    ExpectError([&] { otherPort.Open(EngineSettings, false); }, ecPortOpen, {4, Line.SlavePath()});

    // Opening the open port again is refused the same way, and the port
    // goes on working as it was.
    ExpectError([&] { Port.Open(EngineSettings, false); }, ecPortOpen, {PortNumber, Line.SlavePath()});
    EXPECT_TRUE(Port.AsyncMode());
    const TBytes frame = CountingBytes(8);
    Port.Write(frame.data(), frame.size());
    EXPECT_EQ(Line.Receive(frame.size()), frame);
}

TEST_F(COMPortTest, DeviceThatCannotBeOpenedFailsWithWhatWasTried)
{
    struct TCase {
        std::uint8_t Port;
        const char* Variable;  // null: not set
        const char* Shown;
    };
    const TCase cases[] = {
        {5, "/nonexistent/ttyZ9", "/nonexistent/ttyZ9"},
        {6, "/dev/null", "/dev/null"},  // not a terminal
        {200, nullptr, "/dev/ttyS199"},
        {0, nullptr, "COM0"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(int{c.Port});
        const std::string name = "ZARVIK12M_COM" + std::to_string(c.Port);
        if (c.Variable != nullptr) {
            setenv(name.c_str(), c.Variable, 1);
        } else {
            unsetenv(name.c_str());
        }
        TCOMPort port(c.Port);
        ExpectError([&] { port.Open(EngineSettings, true); }, ecPortOpen, {c.Port, c.Shown});
        EXPECT_FALSE(port.IsOpen());
        unsetenv(name.c_str());
    }
}

TEST_F(COMPortTest, LineIsRawEightNoneOneAtTheGivenRate)
{
    for (const std::uint32_t rate : {9600U, 115200U, 12345U, 250000U}) {
        SCOPED_TRACE(rate);
        Port.Open({rate, 0, 8, 0}, true);
        termios line{};
        ASSERT_EQ(tcgetattr(Descriptor(Line.SlaveHandle()), &line), 0);
        EXPECT_EQ(line.c_iflag, 0U);
        EXPECT_EQ(line.c_oflag, 0U);
        EXPECT_EQ(line.c_lflag, 0U);
        EXPECT_EQ(line.c_cflag & CSIZE, tcflag_t{CS8});
        EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS | HUPCL), 0U);
        EXPECT_EQ(line.c_cflag & (CREAD | CLOCAL), tcflag_t{CREAD | CLOCAL});
        EXPECT_EQ(line.c_cc[VMIN], 0);
        EXPECT_EQ(line.c_cc[VTIME], 0);
        std::uint32_t inputRate = 0;
        std::uint32_t outputRate = 0;
        ASSERT_TRUE(ReadLineRates(Descriptor(Line.SlaveHandle()), inputRate, outputRate));
        EXPECT_EQ(inputRate, rate);
        EXPECT_EQ(outputRate, rate);
        EXPECT_EQ(Line.LineBaudRate(), rate);  // as the far end sees it
        Port.Close();
    }
}

TEST_F(COMPortTest, SettingsNoLineHasFailWithParametersError)
{
    const TPortSettings invalid[] = {{0, 0, 8, 0}, {9600, 5, 8, 0}, {9600, 0, 9, 0}, {9600, 0, 8, 1}};
    for (const TPortSettings& settings : invalid) {
        SCOPED_TRACE(::testing::Message() << settings.BaudRate << ' ' << int{settings.Parity} << ' '
                                          << int{settings.ByteSize} << ' ' << int{settings.StopBits});
        ExpectError([&] { Port.Open(settings, true); }, ecPortSetParameters, {PortNumber});
        // What the failed open made stays until Close.
        EXPECT_TRUE(Port.IsOpen());
        EXPECT_EQ(Port.ReadThread(), nullptr);
        Port.Close();
    }
    Port.Open(EngineSettings, true);
    EXPECT_TRUE(Port.IsOpen());
}

TEST_F(COMPortTest, WritesBlocksOfUpTo1024Bytes)
{
    for (const bool asyncMode : {true, false}) {
        SCOPED_TRACE(asyncMode ? "asynchronous" : "synchronous");
        Port.Open(EngineSettings, asyncMode);
        const TBytes block = CountingBytes(1024);
        Port.Write(block.data(), block.size());
        EXPECT_EQ(Line.Receive(block.size()), block);

        const TBytes tooLarge = CountingBytes(1025);
        ExpectError([&] { Port.Write(tooLarge.data(), tooLarge.size()); }, ecPortWriteBlockTooLarge,
                    {PortNumber, 1025, 1024});
        EXPECT_FALSE(Line.HasPendingInput());
        Port.Close();
    }
}

// The line stops taking bytes: a write gives up after its time limit.
// Asynchronously that is a failed write; synchronously the bytes that went
// are counted.
TEST_F(COMPortTest, WriteThatTheLineDoesNotTakeInTimeFails)
{
    for (const bool asyncMode : {true, false}) {
        SCOPED_TRACE(asyncMode ? "asynchronous" : "synchronous");
        Port.Open(EngineSettings, asyncMode);
        Line.StopLine();
        const std::uint8_t byte = 0x55;
        if (asyncMode) {
            ExpectError([&] { Port.Write(&byte, 1); }, ecPortWriteFailed, {PortNumber});
        } else {
            ExpectError([&] { Port.Write(&byte, 1); }, ecPortWriteIncomplete, {PortNumber, 0, 1});
        }
        EXPECT_TRUE(Port.IsOpen());
        Port.Close();
    }
}

TEST_F(COMPortTest, ReceivedBytesReachTheInputQueueAndOutliveClose)
{
    Port.Open(EngineSettings, true);
    const TBytes frame = CountingBytes(10);
    Line.Send(frame);
    EXPECT_EQ(WaitUntilHeld(frame.size()), frame);

    // Neither Close nor the purge of the next Open touches the queue.
    Port.Close();
    Port.Open(EngineSettings, true);
    const TCriticalSection::TGuard lock(Port.InputQueue());
    EXPECT_EQ(Port.InputQueue().Count(), frame.size());
}

TEST_F(COMPortTest, BurstsLongerThanOneReadArriveWholeAndInOrder)
{
    Port.Open(EngineSettings, true);
    const TBytes burst = CountingBytes(8000);
    Line.Send(burst);
    EXPECT_EQ(Consume(burst.size()), burst);
    EXPECT_EQ(ErrorLog(), "");
}

// The read thread waits for the device without a time limit: Close can only
// return because it woke the thread.
TEST_F(COMPortTest, CloseEndsTheReadThreadWhileItWaits)
{
    Port.Open(EngineSettings, true);
    const TBytes frame = CountingBytes(3);
    Line.Send(frame);
    EXPECT_EQ(Consume(frame.size()), frame);  // the thread has been round its loop
    Port.Close();
    EXPECT_EQ(Port.ReadThread(), nullptr);
    EXPECT_EQ(ErrorLog(), "");
}

TEST_F(COMPortTest, HangUpEndsTheReadThreadWithOneStatusError)
{
    Port.Open(EngineSettings, true);
    TReadThread* thread = Port.ReadThread();
    ASSERT_NE(thread, nullptr);
    Line.HangUp();
    ASSERT_TRUE(TReadThreadTestAccess::WaitForEnd(*thread, WaitMilliseconds));
    ASSERT_NE(TReadThreadTestAccess::FatalException(*thread), nullptr);
    ExpectError([&] { std::rethrow_exception(TReadThreadTestAccess::FatalException(*thread)); }, ecReadStatus,
                {PortNumber});

    // A write to the dead line fails; the port still closes cleanly.
    const std::uint8_t byte = 0x55;
    ExpectError([&] { Port.Write(&byte, 1); }, ecPortWriteFailed, {PortNumber});
    Port.Close();
    EXPECT_FALSE(Port.IsOpen());

    const std::string log = ErrorLog();
    EXPECT_EQ(Occurrences(log, "\r\n"), 2U) << log;
    EXPECT_EQ(Occurrences(log, " [ErrorCode-119] "), 1U) << log;
    EXPECT_EQ(Occurrences(log, " [ErrorCode-101] "), 1U) << log;
}

// A traced port: the trace holds what crossed the line, both ways, for
// each opening, and the line carries exactly what it would untraced. A
// large burst arrives in several reads, which the trace keeps in order.
TEST_F(COMPortTest, ATracedPortRecordsBothWaysOfEveryOpeningAndLeavesTheLineAlone)
{
    const std::string traceFile = (Scratch.Path() / "line.trace").string();
    SetLineTraceFile(PortNumber, traceFile);
    const TBytes frame = CountingBytes(1024);
    const TBytes burst = CountingBytes(3000);
    Port.Open(EngineSettings, true);
    Port.Write(frame.data(), frame.size());
    EXPECT_EQ(Line.Receive(frame.size()), frame);
    Line.Send(burst);
    EXPECT_EQ(Consume(burst.size()), burst);
    Port.Close();
    Port.Open(EngineSettings, false);
    Port.Write(frame.data(), 6);
    EXPECT_EQ(Line.Receive(6), TBytes(frame.begin(), frame.begin() + 6));
    Port.Close();

    // Switched off for this port, whatever else says otherwise.
    SetLineTraceFile(PortNumber, "");
    Port.Open(EngineSettings, true);
    Port.Write(frame.data(), 6);
    EXPECT_EQ(Line.Receive(6), TBytes(frame.begin(), frame.begin() + 6));
    Port.Close();
    SetLineTraceFile(PortNumber, std::nullopt);

    const auto hex = [](const TBytes& bytes, std::size_t count) {
        std::string text;
        char digits[4];
        for (std::size_t i = 0; i < count; ++i) {
            static_cast<void>(std::snprintf(digits, sizeof digits, " %02X", bytes[i]));
            text += digits;
        }
        return text;
    };
    const std::string expectedOut = hex(frame, frame.size()) + hex(frame, 6);
    const std::string expectedIn = hex(burst, burst.size());

    const std::string trace = testing::ReadFileBytes(traceFile);
    std::istringstream lines(trace);
    std::string out;
    std::string in;
    std::size_t openings = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("open ")) {
            ++openings;
            EXPECT_NE(line.find(" port=3 baud=9600 "), std::string::npos) << line;
            EXPECT_TRUE(line.ends_with(" device=" + Line.SlavePath())) << line;
            continue;
        }
        const std::size_t direction = line.find(' ') + 1;
        ASSERT_LT(direction, line.size()) << line;
        (line[direction] == '>' ? out : in) += line.substr(direction + 1);
    }
    EXPECT_EQ(openings, 2U);
    EXPECT_EQ(out, expectedOut);
    EXPECT_EQ(in, expectedIn);
    EXPECT_EQ(ErrorLog(), "");
}

// A failure keeps its code and message whatever the system said; the
// system's reason goes to the trace only: the busy and the missing device
// at the open, the hung-up line at the read status and the write.
TEST_F(COMPortTest, FailuresKeepTheirCodesAndMessagesWhileTheTraceGetsTheSystemsReason)
{
    const std::string traceFile = (Scratch.Path() / "line.trace").string();
    SetLineTraceFile(PortNumber, traceFile);
    {
        TSerialDevice holder;
        ASSERT_TRUE(holder.Open(Line.SlavePath()));
        ExpectError([&] { Port.Open(EngineSettings, true); }, ecPortOpen, {PortNumber, Line.SlavePath()});
    }
    const std::string missing = (Scratch.Path() / "ttyUSB9").string();
    TCOMPort missingPort(PortNumber, missing);
    ExpectError([&] { missingPort.Open(EngineSettings, true); }, ecPortOpen, {PortNumber, missing});

    Port.Open(EngineSettings, true);
    TReadThread* thread = Port.ReadThread();
    ASSERT_NE(thread, nullptr);
    Line.HangUp();
    ASSERT_TRUE(TReadThreadTestAccess::WaitForEnd(*thread, WaitMilliseconds));
    ExpectError([&] { std::rethrow_exception(TReadThreadTestAccess::FatalException(*thread)); }, ecReadStatus,
                {PortNumber});
    const std::uint8_t byte = 0x55;
    ExpectError([&] { Port.Write(&byte, 1); }, ecPortWriteFailed, {PortNumber});
    EXPECT_EQ(Port.DeviceError().Kind, TErrorKind::Closed);
    Port.Close();
    SetLineTraceFile(PortNumber, std::nullopt);

    const std::string trace = testing::ReadFileBytes(traceFile);
    const std::string busy =
        "port=3 baud=9600 reason=" + DescribeSystemError(SystemErrorOf(EBUSY)) + " device=" + Line.SlavePath() + "\n";
    const std::string notFound =
        "port=3 baud=9600 reason=" + DescribeSystemError(SystemErrorOf(ENOENT)) + " device=" + missing + "\n";
    EXPECT_EQ(Occurrences(trace, "# open failed "), 2U) << trace;
    EXPECT_EQ(Occurrences(trace, busy), 1U) << trace;
    EXPECT_EQ(Occurrences(trace, notFound), 1U) << trace;
    EXPECT_EQ(Occurrences(trace, " failed: read status: closed (" + std::to_string(EIO) + ": "), 1U) << trace;
    EXPECT_EQ(Occurrences(trace, " failed: write: closed ("), 1U) << trace;
    EXPECT_EQ(Occurrences(trace, "\nopen "), 1U) << trace;

    // The error log has the messages of old, without the system's words.
    const std::string log = ErrorLog();
    EXPECT_EQ(Occurrences(log, " [ErrorCode-110] "), 2U) << log;
    EXPECT_EQ(Occurrences(log, SystemErrorOf(EBUSY).Text), 0U) << log;
    EXPECT_EQ(Occurrences(log, SystemErrorOf(EIO).Text), 0U) << log;
}

// A trace file that takes no bytes (a full disk) is told once in the error
// log; the line works on as if untraced.
TEST_F(COMPortTest, ATraceThatCannotBeWrittenLeavesTheLineAlone)
{
    SetLineTraceFile(PortNumber, "/dev/full");
    const TBytes frame = CountingBytes(16);
    for (int opening = 0; opening < 2; ++opening) {
        Port.Open(EngineSettings, true);
        Port.Write(frame.data(), frame.size());
        EXPECT_EQ(Line.Receive(frame.size()), frame);
        Line.Send(frame);
        EXPECT_EQ(Consume(frame.size()), frame);
        Port.Close();
    }
    SetLineTraceFile(PortNumber, std::nullopt);
    const std::string log = ErrorLog();
    EXPECT_EQ(Occurrences(log, " [ErrorCode-121] [COM3] "), 1U) << log;
    EXPECT_NE(log.find("\"/dev/full\""), std::string::npos) << log;
}

}  // namespace
}  // namespace zarvik12m
