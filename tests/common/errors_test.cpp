#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "driver/common/cp1251.h"
#include "driver/common/date_time.h"
#include "driver/common/error_log.h"
#include "driver/common/errors.h"
#include "tests/support/temp_directory.h"

namespace zarvik12m {
namespace {

using testing::ReadFileBytes;
using testing::TScratchDirectory;

struct TTemplateRow {
    std::int16_t Code;
    const char* Utf8;
};

// The message table, as the register's documentation of our errors reads.
const TTemplateRow MessageTable[] = {
    {0, "Команда выполнена успешно"},
    {1, "Ошибка ККМ: Не хватает наличных при оплате чека"},
    {2, "Ошибка ККМ: Не хватает наличных в кассе при выполнении возврата и изъятия"},
    {3, "Ошибка ККМ: Нет соответствия ставкам ККМ"},
    {4, "Ошибка ККМ: Переполнение буфера покупок"},
    {5, "Ошибка ККМ: Нет продаж"},
    {6, "Ошибка ККМ: Ошибка 24 часа, переполнение записей в КЛ"},
    {7, "Ошибка ККМ: Нет товара с таким кодом"},
    {8, "Ошибка ККМ: Код товара превысил максимально возможный"},
    {9, "Ошибка ККМ: Есть продажи по данному товару"},
    {10,
     "Ошибка ККМ: Не верно задан адрес или количество байт при записи или чтении массива программируемых "
     "параметров"},
    {11, "Ошибка ККМ: Операция запрещена при открытой смене"},
    {12, "Ошибка ККМ: Переполнение суммы продажи"},
    {13, "Ошибка ККМ: Неверный формат данных"},
    {14, "Ошибка ККМ: Нет бумаги"},
    {15, "Ошибка ККМ: ККМ необходимо перевести в режим \"КАССА\""},
    {16, "Ошибка ККМ: Несуществующий номер продажи"},
    {17, "Ошибка ККМ: Неизвестная ошибка"},
    {-100, "[COM%d] Ошибка записи в порт: Передано %d из %d байт"},
    {-101, "[COM%d] Ошибка записи в порт: Не могу передать в порт"},
    {-102,
     "[COM%d] Ошибка записи в порт: Неправильно установлен размер блока для записи - %d из %d максимально "
     "байт"},
    {-103, "[COM%d] Ошибка чтения из порта: Принято %d из %d байт"},
    {-104, "[COM%d] Ошибка чтения из порта: Не могу принять из порта"},
    {-105,
     "[COM%d] Ошибка чтения из порта: Неправильно установлен размер блока для чтения - %d из %d максимально "
     "байт"},
    {-106, "[COM%d] Ошибка открытия порта: Не могу установить маску событий"},
    {-107, "[COM%d] Ошибка открытия порта: Не могу установить таймауты"},
    {-108, "[COM%d] Ошибка открытия порта: Не могу установить параметры"},
    {-109, "[COM%d] Ошибка открытия порта: Не могу установить размер очередей"},
    {-110, "[COM%d] Ошибка открытия порта: Не могу открыть порт \"%s\""},
    {-111, "[COM%d] Ошибка очистки порта: Не могу очитить порт"},
    {-112,
     "[COM%d] Ошибка обработки входной очереди: Не могу встать в очередь - необходимо %d из %d свободных "
     "байт"},
    {-113,
     "[COM%d] Ошибка обработки входной очереди: Не могу скопировать из очереди - запрашивается %d из %d "
     "максимально байт"},
    {-114,
     "[COM%d] Ошибка обработки входной очереди: Не могу скопировать из очереди - имеется %d из %d "
     "запрашиваемых байт"},
    {-115,
     "[COM%d] Ошибка обработки входной очереди: Не могу удалить из очереди - запрашивается %d из %d "
     "максимально байт"},
    {-116,
     "[COM%d] Ошибка обработки входной очереди: Не могу удалить из очереди - имеется %d из %d запрашиваемых "
     "байт"},
    {-117, "[COM%d] Ошибка обработки входного потока: Не могу создать событие чтения"},
    {-118, "[COM%d] Ошибка обработки входного потока: Не могу ожидать событие чтения"},
    {-119, "[COM%d] Ошибка обработки входного потока: Не могу узнать статус потока"},
    {-120, "[COM%d] Ошибка обработки выходного потока: Не могу создать событие записи"},
    {-200, "[COM%d NetNum%d] Ошибка кодирования команды: Команды с номером %d не существует"},
    {-201, "[COM%d NetNum%d] Ошибка кодирования команды: Некоректный размер данных команды"},
    {-202, "[COM%d NetNum%d] Команда не выполнилась"},
    {-300, "Операция была прервана пользователем"},
};

TEST(ErrorText, EveryTemplateIsTheTableTextInWindows1251)
{
    for (const TTemplateRow& row : MessageTable) {
        const auto text = ErrorText(row.Code);
        ASSERT_TRUE(text.has_value()) << row.Code;
        EXPECT_EQ(*text, Utf8ToCp1251(row.Utf8)) << row.Code;
    }
}

TEST(ErrorText, CodesWithoutARowHaveNoTemplate)
{
    for (const int code : {18, 255, -1, -99, -121, -199, -203, -299, -301, 256, 32767, -32768}) {
        EXPECT_FALSE(ErrorText(static_cast<std::int16_t>(code)).has_value()) << code;
    }
}

TEST(ErrorMessage, FormatsArgumentsInOrder)
{
    EXPECT_EQ(FormatErrorMessage("a %d b %s c %d", {1, std::string("x"), -2}), "a 1 b x c -2");
    EXPECT_EQ(FormatErrorMessage("100%% %d", {5}), "100% 5");
    EXPECT_EQ(FormatErrorMessage("%d and %d", {5}), "5 and ");
    EXPECT_EQ(FormatErrorMessage("%x %", {}), "%x %");
    EXPECT_EQ(FormatErrorMessage("", {1, 2}), "");
}

TEST(ErrorMessage, IsBuiltFromTheCodesTemplate)
{
    const TScratchDirectory scratch;
    const EZarvik12mError portError = MakeError(ecPortOpen, {3, std::string("/dev/ttyS2")});
    EXPECT_EQ(portError.ErrorCode(), -110);
    EXPECT_EQ(std::string(portError.what()),
              Utf8ToCp1251("[COM3] Ошибка открытия порта: Не могу открыть порт \"/dev/ttyS2\""));

    const EZarvik12mError commandError = MakeError(ecUnknownCommand, {1, 2, 67});
    EXPECT_EQ(std::string(commandError.what()),
              Utf8ToCp1251("[COM1 NetNum2] Ошибка кодирования команды: Команды с номером 67 не существует"));

    const EZarvik12mError untemplated = MakeError(18, {1, 2});
    EXPECT_EQ(untemplated.ErrorCode(), 18);
    EXPECT_STREQ(untemplated.what(), "");
}

TEST(ErrorMessage, RaiseErrorThrowsTheBuiltError)
{
    const TScratchDirectory scratch;
    try {
        RaiseError(ecCancelled);
        FAIL() << "nothing was thrown";
    } catch (const EZarvik12mError& error) {
        EXPECT_EQ(error.ErrorCode(), -300);
        EXPECT_EQ(std::string(error.what()), "Операция была прервана пользователем"_cp1251);
    }
}

// The lines of the error log, each without its CR LF; fails the test when
// a line does not end in CR LF.
std::vector<std::string> LogLines(const std::string& log)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < log.size()) {
        const std::size_t end = log.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "a line without CR LF";
        if (end == std::string::npos) {
            break;
        }
        lines.push_back(log.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// Whether a log line's time stamp is the text of a time between two moments.
bool StampedBetween(const std::string& line, TDateTime before, TDateTime after)
{
    const std::size_t end = line.find(" [ErrorCode");
    if (end == std::string::npos) {
        return false;
    }
    const std::string stamp = line.substr(0, end);
    return stamp == DateTimeToText(before) || stamp == DateTimeToText(after);
}

TEST(ErrorLog, AppendsOneLinePerErrorInOrder)
{
    const TScratchDirectory scratch;
    testing::WriteFileBytes(ErrorLogFileName, "earlier line\r\n");

    const TDateTime before = Now();
    static_cast<void>(MakeError(ecCancelled));
    static_cast<void>(MakeError(18));
    static_cast<void>(MakeError(15));
    const TDateTime after = Now();

    const std::vector<std::string> lines = LogLines(ReadFileBytes(ErrorLogFileName));
    ASSERT_EQ(lines.size(), 4U);
    EXPECT_EQ(lines[0], "earlier line");
    for (std::size_t i = 1; i < lines.size(); ++i) {
        EXPECT_TRUE(StampedBetween(lines[i], before, after)) << lines[i];
    }
    const auto tail = [](const std::string& line) { return line.substr(line.find(" [ErrorCode")); };
    EXPECT_EQ(tail(lines[1]), " [ErrorCode-300] " + std::string("Операция была прервана пользователем"_cp1251));
    EXPECT_EQ(tail(lines[2]), " [ErrorCode18] ");
    EXPECT_EQ(tail(lines[3]),
              " [ErrorCode15] " + Utf8ToCp1251("Ошибка ККМ: ККМ необходимо перевести в режим \"КАССА\""));
}

TEST(ErrorLog, IsCreatedWhenMissing)
{
    const TScratchDirectory scratch;
    ASSERT_FALSE(std::filesystem::exists(ErrorLogFileName));
    static_cast<void>(MakeError(ecCommandFailed, {4, 7}));
    const std::vector<std::string> lines = LogLines(ReadFileBytes(ErrorLogFileName));
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_NE(lines[0].find(" [ErrorCode-202] [COM4 NetNum7] "), std::string::npos);
}

TEST(ErrorLog, AnUnwritableLogDoesNotHideTheError)
{
    const TScratchDirectory scratch;
    // A folder where the log file should be: no user, root included, can
    // open it for writing.
    std::filesystem::create_directory(ErrorLogFileName);
    try {
        RaiseError(ecCommandFailed, {1, 1});
        FAIL() << "nothing was thrown";
    } catch (const EZarvik12mError& error) {
        EXPECT_EQ(error.ErrorCode(), -202);
    }
    EXPECT_TRUE(std::filesystem::is_directory(ErrorLogFileName));
}

TEST(ErrorLog, ConcurrentAppendsKeepLinesWhole)
{
    const TScratchDirectory scratch;
    constexpr int ThreadCount = 4;
    constexpr int ErrorsPerThread = 50;
    std::vector<std::thread> threads;
    for (int t = 0; t < ThreadCount; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < ErrorsPerThread; ++i) {
                static_cast<void>(MakeError(ecPortWriteIncomplete, {t + 1, i, 1000}));
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const std::vector<std::string> lines = LogLines(ReadFileBytes(ErrorLogFileName));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(ThreadCount * ErrorsPerThread));
    std::vector<int> perThread(ThreadCount + 1, 0);
    for (const std::string& line : lines) {
        const std::size_t at = line.find(" [ErrorCode-100] [COM");
        ASSERT_NE(at, std::string::npos) << line;
        const int thread = line[at + 21] - '0';
        ASSERT_TRUE(thread >= 1 && thread <= ThreadCount) << line;
        ++perThread[static_cast<std::size_t>(thread)];
        EXPECT_TRUE(line.ends_with(" из 1000 байт"_cp1251)) << line;
    }
    for (int t = 1; t <= ThreadCount; ++t) {
        EXPECT_EQ(perThread[static_cast<std::size_t>(t)], ErrorsPerThread);
    }
}

}  // namespace
}  // namespace zarvik12m
