#include <cmath>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <gtest/gtest.h>

#include "driver/common/cp1251.h"
#include "driver/common/date_time.h"
#include "driver/processing/command_encoder.h"
#include "tests/protocol/wire_bytes.h"
#include "tests/support/temp_directory.h"

namespace zarvik12m {
namespace {

using testing::DateTime;
using testing::ReadFileBytes;
using testing::TScratchDirectory;

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    EXPECT_EQ(start, text.size()) << "text after the last line end";
    return lines;
}

// The header texts that the clock may have shown while the entry was
// written: one per second from before to after.
bool IsHeaderWrittenBetween(const std::string& line, const std::string& text, TDateTime before, TDateTime after)
{
    constexpr double Second = 1.0 / 86400.0;
    for (TDateTime t = before; t <= after + Second; t += Second) {
        if (line == DateTimeToText(t) + " " + text) {
            return true;
        }
    }
    return false;
}

class TCommandLog : public ::testing::Test {
protected:
    TCommandLog() { FEncoder.Log().SetEnabled(true); }

    std::string LogContents() const { return ReadFileBytes(FScratch.Path() / "LogCommandEncoder_COM1.txt"); }

    TScratchDirectory FScratch;
    TCommandEncoder FEncoder{1, ByteSetOf({1})};
};

TEST(CommandLogOff, TheEngineLeavesItOffAndNothingIsWritten)
{
    TScratchDirectory scratch;
    TCommandEncoder encoder(1, ByteSetOf({1}));
    EXPECT_FALSE(encoder.Log().Enabled());
    encoder.LogText("x");
    encoder.LogCommand(encoder.InitCommand(48, 1), "y");
    EXPECT_TRUE(std::filesystem::is_empty(scratch.Path()));
}

TEST(CommandLogOff, FileIsNamedAfterThePort)
{
    EXPECT_EQ(TCommandEncoder(1, {}).Log().FileName(), "LogCommandEncoder_COM1.txt");
    EXPECT_EQ(TCommandEncoder(12, {}).Log().FileName(), "LogCommandEncoder_COM12.txt");
}

TEST_F(TCommandLog, CommandEntryIsTenLines)
{
    TCommand command;
    command.ID = 1;
    command.CommandType = ctServerCommand;
    command.State = csCreated;
    command.StateTime = DateTime(2026, 12, 7, 9, 41, 5);
    command.NetNumber = 1;
    command.ProtocolCommand = 36;
    command.CommandNumber = 48;
    const std::string text(std::string("Выходная очередь команд: Постановка в очередь"_cp1251));

    const TDateTime before = Now();
    FEncoder.LogCommand(command, text);
    const TDateTime after = Now();

    const std::vector<std::string> lines = SplitLines(LogContents());
    ASSERT_EQ(lines.size(), 10U);
    EXPECT_EQ(lines[0], "");
    EXPECT_TRUE(IsHeaderWrittenBetween(lines[1], text, before, after)) << lines[1];
    const std::vector<std::string> fields = {
        "   ID: 1",
        std::string("   Тип: Команда сервера"_cp1251),
        std::string("   Состояние: Создана"_cp1251),
        std::string("   Время смены состояния: "_cp1251) + DateTimeToText(DateTime(2026, 12, 7, 9, 41, 5)),
        std::string("   Сетевой номер: 1"_cp1251),
        std::string("   Номер команды в протоколе: 36"_cp1251),
        std::string("   Номер команды: 48"_cp1251),
        std::string(
            "   Описание команды: Команда сервера: (Чтение информации о товаре из внутренней базы товаров)"_cp1251),
    };
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 2, lines.end()), fields);
}

TEST_F(TCommandLog, TextEntryIsTwoLinesAndEntriesAppend)
{
    const TDateTime before = Now();
    FEncoder.LogText(std::string("Входной поток команд: Запущен"_cp1251));
    FEncoder.LogText(std::string("Входной поток команд: Остановлен"_cp1251));
    const TDateTime after = Now();

    const std::vector<std::string> lines = SplitLines(LogContents());
    ASSERT_EQ(lines.size(), 4U);
    EXPECT_EQ(lines[0], "");
    EXPECT_TRUE(IsHeaderWrittenBetween(lines[1], std::string("Входной поток команд: Запущен"_cp1251), before, after));
    EXPECT_EQ(lines[2], "");
    EXPECT_TRUE(
        IsHeaderWrittenBetween(lines[3], std::string("Входной поток команд: Остановлен"_cp1251), before, after));
}

TEST_F(TCommandLog, LargeIDsArePositiveAndMidnightIsTheDateAlone)
{
    TCommand command = FEncoder.InitCommand(58, 1);
    command.ID = 4294967295U;
    const TDateTime midnight = DateTime(2026, 12, 7);
    command.StateTime = midnight;
    FEncoder.LogCommand(command, "x");

    const std::vector<std::string> lines = SplitLines(LogContents());
    ASSERT_EQ(lines.size(), 10U);
    EXPECT_EQ(lines[2], "   ID: 4294967295");
    const std::string date = DateTimeToText(midnight);
    EXPECT_EQ(lines[5], std::string("   Время смены состояния: "_cp1251) + date);
    // A second later the time follows the same date after a blank.
    EXPECT_EQ(DateTimeToText(DateTime(2026, 12, 7, 0, 0, 1)).rfind(date + " ", 0), 0U);
}

TEST_F(TCommandLog, RecordOfSkippedBytesShowsTheUnknownCommand)
{
    FEncoder.LogCommand(FEncoder.InitCommand(UnknownCommand, 0), "x");
    const std::vector<std::string> lines = SplitLines(LogContents());
    ASSERT_EQ(lines.size(), 10U);
    EXPECT_EQ(lines[3], std::string("   Тип: Неизвестная"_cp1251));
    EXPECT_EQ(lines[6], std::string("   Сетевой номер: 0"_cp1251));
    EXPECT_EQ(lines[7], std::string("   Номер команды в протоколе: 0"_cp1251));
    EXPECT_EQ(lines[8], std::string("   Номер команды: 66"_cp1251));
    EXPECT_EQ(lines[9], std::string("   Описание команды: Неизвестная команда"_cp1251));
}

TEST_F(TCommandLog, ValuesOutsideTheEnumerationsHaveEmptyNames)
{
    TCommand command;
    command.CommandType = static_cast<TCommandType>(5);
    command.State = static_cast<TCommandState>(4);
    command.CommandNumber = 67;
    FEncoder.LogCommand(command, "x");
    const std::vector<std::string> lines = SplitLines(LogContents());
    ASSERT_EQ(lines.size(), 10U);
    EXPECT_EQ(lines[3], std::string("   Тип: "_cp1251));
    EXPECT_EQ(lines[4], std::string("   Состояние: "_cp1251));
    EXPECT_EQ(lines[9], std::string("   Описание команды: "_cp1251));
}

TEST_F(TCommandLog, FileThatCannotBeWrittenRaisesAndReleasesTheLock)
{
    std::filesystem::create_directory(FScratch.Path() / "LogCommandEncoder_COM1.txt");
    EXPECT_THROW(FEncoder.LogText("x"), std::system_error);
    EXPECT_THROW(FEncoder.LogCommand(FEncoder.InitCommand(48, 1), "y"), std::system_error);

    // Had a failure kept the lock, this entry would block for ever.
    std::filesystem::remove(FScratch.Path() / "LogCommandEncoder_COM1.txt");
    FEncoder.LogText("z");
    EXPECT_EQ(SplitLines(LogContents()).size(), 2U);
}

}  // namespace
}  // namespace zarvik12m
