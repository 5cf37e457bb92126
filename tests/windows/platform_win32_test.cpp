// The Win32 platform files on their own, under Wine: files in binary mode
// with the system's error codes and their messages, the replacement of a
// PLU file, the console charset of a redirected output, the user's date
// and time formats, thread priorities, device names, the kinds of the
// system's error codes.

// Winsock before windows.h, which would bring the old winsock.h.
#include <winsock2.h>

#include <windows.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "driver/platform/device_path.h"
#include "driver/platform/file.h"
#include "driver/platform/file_error.h"
#include "driver/platform/file_system.h"
#include "driver/platform/local_time.h"
#include "driver/platform/serial_device.h"
#include "driver/platform/standard_streams.h"
#include "driver/platform/system_error.h"
#include "driver/platform/thread.h"
#include "tests/support/temp_directory.h"

namespace zarvik12m {
namespace {

using testing::ReadFileBytes;
using testing::TTempDirectory;
using testing::WriteFileBytes;

// The message of the EFileError that the call raises; empty when none.
template <class TCall>
std::string FileErrorOf(TCall call)
{
    try {
        call();
    } catch (const EFileError& error) {
        return error.what();
    }
    return {};
}

TEST(Win32Files, AppendsBytesAsTheyAreAndTellsTheSystemsErrors)
{
    const TTempDirectory folder;
    const std::string log = (folder.Path() / "LogError.txt").string();
    for (const char* line : {"first\r\n", "second\n"}) {
        int error = -1;
        TFileHandle file = OpenFileForAppending(log, error);
        ASSERT_TRUE(file.IsOpen()) << error;
        EXPECT_EQ(WriteAllBytes(file.Get(), line), 0);
        EXPECT_EQ(file.Close(), 0);
    }
    EXPECT_EQ(ReadFileBytes(log), "first\r\nsecond\n");  // no LF became CR LF

    int error = 0;
    EXPECT_FALSE(OpenFileForAppending((folder.Path() / "missing" / "log.txt").string(), error).IsOpen());
    EXPECT_EQ(error, ERROR_PATH_NOT_FOUND);

    EXPECT_EQ(FileErrorMessage(ERROR_FILE_NOT_FOUND), "File not found");
    EXPECT_EQ(FileErrorMessage(ERROR_PATH_NOT_FOUND), "Path not found");
    EXPECT_EQ(FileErrorMessage(ERROR_ACCESS_DENIED), "File access denied");
    EXPECT_EQ(FileErrorMessage(ERROR_DISK_FULL), "Disk full");
    EXPECT_EQ(FileErrorMessage(ERROR_HANDLE_DISK_FULL), "Disk full");
    EXPECT_EQ(FileErrorMessage(ERROR_CRC), "I/O error 23");
}

TEST(Win32Files, OpenForReadingNamesWhatIsMissing)
{
    const TTempDirectory folder;
    EXPECT_EQ(FileErrorOf([&] { OpenFileForReading((folder.Path() / "plu.txt").string()); }), "File not found");
    EXPECT_EQ(FileErrorOf([&] { OpenFileForReading((folder.Path() / "no" / "plu.txt").string()); }), "Path not found");

    WriteFileBytes(folder.Path() / "plu.txt", "1;2\r\n");
    const TFileHandle file = OpenFileForReading((folder.Path() / "plu.txt").string());
    char buffer[16];
    EXPECT_EQ(zarvik12m::ReadFileBytes(file.Get(), buffer, sizeof buffer), 5U);
    EXPECT_EQ(zarvik12m::ReadFileBytes(file.Get(), buffer, sizeof buffer), 0U);
}

TEST(Win32Files, ReplacingAFileKeepsTheOldOneUntilTheNewIsComplete)
{
    const TTempDirectory folder;
    const std::filesystem::path plu = folder.Path() / "plu.txt";
    ReplaceFileContent(plu.string(), "new\r\n");
    EXPECT_EQ(ReadFileBytes(plu), "new\r\n");
    WriteFileBytes(plu, "an old and longer content\r\n");
    ReplaceFileContent(plu.string(), "1\r\n");
    EXPECT_EQ(ReadFileBytes(plu), "1\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);  // no temporary file left

    ASSERT_NE(SetFileAttributesA(plu.string().c_str(), FILE_ATTRIBUTE_READONLY), FALSE);
    EXPECT_EQ(FileErrorOf([&] { ReplaceFileContent(plu.string(), "2\r\n"); }), "File access denied");
    EXPECT_EQ(ReadFileBytes(plu), "1\r\n");
    SetFileAttributesA(plu.string().c_str(), FILE_ATTRIBUTE_NORMAL);

    EXPECT_EQ(FileErrorOf([&] { ReplaceFileContent((folder.Path() / "no" / "plu.txt").string(), "x"); }),
              "Path not found");
    EXPECT_EQ(FileErrorOf([&] { ReplaceFileContent(folder.Path().string(), "x"); }), "File access denied");
}

TEST(Win32Console, ARedirectedOutputGetsTheDosCodePage)
{
    // CTest reads the test's output through a pipe.
    EXPECT_FALSE(IsTerminal(StandardOutput()));
    EXPECT_EQ(StandardOutputCharset(), csDos866);
    EXPECT_EQ(ConsoleLineEnd, "\r\n");
}

TEST(Win32LocalTime, UsesTheUsersShortDateAndLongTime)
{
    TLocalTime time;
    time.Year = 2026;
    time.Month = 12;
    time.Day = 7;
    time.Hour = 9;
    time.Minute = 41;
    time.Second = 5;
    time.WeekDay = 1;
    const TLocalTimeText dateOnly = LocalDateTimeText(time, false);
    const TLocalTimeText both = LocalDateTimeText(time, true);
    EXPECT_TRUE(both.Utf8);
    EXPECT_NE(dateOnly.Text.find("2026"), std::string::npos) << dateOnly.Text;
    EXPECT_EQ(dateOnly.Text.find("41"), std::string::npos) << dateOnly.Text;
    EXPECT_EQ(both.Text.rfind(dateOnly.Text + " ", 0), 0U) << both.Text;
    EXPECT_NE(both.Text.find("41:05"), std::string::npos) << both.Text;

    const TLocalTime now = CurrentLocalTime();
    SYSTEMTIME system{};
    GetLocalTime(&system);
    EXPECT_EQ(now.Year, system.wYear);
    EXPECT_EQ(now.Month, system.wMonth);
}

TEST(Win32Threads, RunAtTheSystemsPriorities)
{
    for (const auto& [priority, expected] : {std::pair{TThread::tpNormal, THREAD_PRIORITY_NORMAL},
                                             std::pair{TThread::tpAboveNormal, THREAD_PRIORITY_ABOVE_NORMAL},
                                             std::pair{TThread::tpHighest, THREAD_PRIORITY_HIGHEST}}) {
        int seen = THREAD_PRIORITY_ERROR_RETURN;
        {
            TThread thread([&seen](TThread&) { seen = GetThreadPriority(GetCurrentThread()); }, false, priority);
            thread.WaitFor();
        }
        EXPECT_EQ(seen, expected) << int{priority};
    }
}

TEST(Win32SerialDevice, OpensTheComNameAsItIs)
{
    EXPECT_EQ(ResolveDevicePath("COM9"), "COM9");
    EXPECT_EQ(ResolveDevicePath(R"(\\.\COM10)"), R"(\\.\COM10)");
    // A port that no device stands for: Wine falls back to a /dev/ttyS
    // device that this machine does not have.
    TSerialDevice device;
    EXPECT_FALSE(device.Open(R"(\\.\COM200)"));
    EXPECT_FALSE(device.IsOpen());
    EXPECT_FALSE(device.Purge());
    EXPECT_EQ(device.LastError().Kind, TErrorKind::Closed);
    EXPECT_EQ(device.LastError().Code, static_cast<int>(ERROR_INVALID_HANDLE));
}

// The Windows table behind TSystemError: the codes that a COM device, a
// Winsock connection or a file answers, with the kind the port and the
// tools decide by, and the system's words.
TEST(Win32SystemError, EveryCodeOfTheDeviceAndTheConnectionHasItsKind)
{
    const struct {
        DWORD Code;
        TErrorKind Kind;
    } table[] = {
        {ERROR_FILE_NOT_FOUND, TErrorKind::NotFound}, {ERROR_PATH_NOT_FOUND, TErrorKind::NotFound},
        {ERROR_INVALID_NAME, TErrorKind::NotFound},   {WSAHOST_NOT_FOUND, TErrorKind::NotFound},
        {ERROR_SHARING_VIOLATION, TErrorKind::Busy},  {ERROR_BUSY, TErrorKind::Busy},
        {ERROR_ACCESS_DENIED, TErrorKind::Denied},    {WSAEACCES, TErrorKind::Denied},
        {ERROR_NOT_SUPPORTED, TErrorKind::NotSerial}, {ERROR_INVALID_FUNCTION, TErrorKind::NotSerial},
        {ERROR_SEM_TIMEOUT, TErrorKind::TimedOut},    {WSAETIMEDOUT, TErrorKind::TimedOut},
        {ERROR_INVALID_HANDLE, TErrorKind::Closed},   {WSAECONNRESET, TErrorKind::Closed},
        {ERROR_BROKEN_PIPE, TErrorKind::Closed},      {ERROR_GEN_FAILURE, TErrorKind::Other},
        {ERROR_INVALID_PARAMETER, TErrorKind::Other}, {WSAECONNREFUSED, TErrorKind::Other},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.Code);
        const TSystemError error = SystemErrorOf(static_cast<int>(row.Code));
        EXPECT_EQ(error.Kind, row.Kind);
        EXPECT_EQ(error.Code, static_cast<int>(row.Code));
        EXPECT_FALSE(error.Text.empty());
    }
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(LastSystemError().Kind, TErrorKind::Denied);

    const TTempDirectory folder;
    try {
        static_cast<void>(OpenFileForReading((folder.Path() / "missing.txt").string()));
        FAIL() << "opened a missing file";
    } catch (const EFileError& error) {
        EXPECT_STREQ(error.what(), "File not found");
        EXPECT_EQ(error.Kind(), TErrorKind::NotFound);
        EXPECT_EQ(error.ErrorNumber(), static_cast<int>(ERROR_FILE_NOT_FOUND));
    }
}

}  // namespace
}  // namespace zarvik12m
