#include "driver/processing/log_command_encoder.h"

#include <system_error>

#include "driver/common/cp1251.h"
#include "driver/common/date_time.h"
#include "driver/common/log_folder.h"
#include "driver/platform/file.h"
#include "driver/protocol/command_catalogue.h"

namespace zarvik12m {

namespace {

constexpr std::string_view LineEnd = "\r\n";
constexpr std::string_view FieldIndent = "   ";

[[noreturn]] void RaiseIOError(int error, const std::string& fileName)
{
    throw std::system_error(error, std::generic_category(), "command log " + fileName);
}

// The log file, open for one entry; closed when it goes, also on failure.
class TLogFile {
public:
    explicit TLogFile(const std::string& fileName) : FFileName(fileName)
    {
        int error = 0;
        FFile = OpenFileForAppending(fileName, error);
        if (!FFile.IsOpen()) {
            RaiseIOError(error, FFileName);
        }
    }

    void Write(std::string_view bytes)
    {
        const int error = WriteAllBytes(FFile.Get(), bytes);
        if (error != 0) {
            RaiseIOError(error, FFileName);
        }
    }

    // Closes the file, telling whether what was written reached it.
    void Close()
    {
        const int error = FFile.Close();
        if (error != 0) {
            RaiseIOError(error, FFileName);
        }
    }

private:
    const std::string& FFileName;
    TFileHandle FFile;
};

void AppendField(std::string& entry, std::string_view label, std::string_view value)
{
    entry += FieldIndent;
    entry += label;
    entry += value;
    entry += LineEnd;
}

std::string_view DescriptionOf(std::uint8_t commandNumber)
{
    return IsCatalogued(commandNumber) ? CommandCatalogue[commandNumber].Description : std::string_view{};
}

}  // namespace

TLogCommandEncoder::TLogCommandEncoder(std::uint8_t portNumber)
    : FFileName(LogFilePath("LogCommandEncoder_COM" + std::to_string(portNumber) + ".txt"))
{}

std::string TLogCommandEncoder::Header(std::string_view text)
{
    std::string entry(LineEnd);
    entry += DateTimeToText(Now());
    entry += ' ';
    entry += text;
    entry += LineEnd;
    return entry;
}

void TLogCommandEncoder::Append(std::string_view entry) const
{
    TLogFile file(FFileName);
    file.Write(entry);
    file.Close();
}

void TLogCommandEncoder::WriteText(std::string_view text)
{
    if (!Enabled()) {
        return;
    }
    Append(Header(text));
}

void TLogCommandEncoder::WriteCommand(const TCommand& command, std::string_view text)
{
    if (!Enabled()) {
        return;
    }
    std::string entry = Header(text);
    AppendField(entry, "ID: "_cp1251, std::to_string(command.ID));
    AppendField(entry, "Тип: "_cp1251, TypeName(command.CommandType));
    AppendField(entry, "Состояние: "_cp1251, StateName(command.State));
    AppendField(entry, "Время смены состояния: "_cp1251, DateTimeToText(command.StateTime));
    AppendField(entry, "Сетевой номер: "_cp1251, std::to_string(command.NetNumber));
    AppendField(entry, "Номер команды в протоколе: "_cp1251, std::to_string(command.ProtocolCommand));
    AppendField(entry, "Номер команды: "_cp1251, std::to_string(command.CommandNumber));
    AppendField(entry, "Описание команды: "_cp1251, DescriptionOf(command.CommandNumber));
    Append(entry);
}

std::string_view TLogCommandEncoder::TypeName(TCommandType commandType) noexcept
{
    switch (commandType) {
    case ctUnknown:
        return "Неизвестная"_cp1251;
    case ctKKMRequest:
        return "Запрос ККМ"_cp1251;
    case ctKKMResponse:
        return "Ответ ККМ"_cp1251;
    case ctServerResponse:
        return "Ответ сервера"_cp1251;
    case ctServerCommand:
        return "Команда сервера"_cp1251;
    }
    return {};
}

std::string_view TLogCommandEncoder::StateName(TCommandState state) noexcept
{
    switch (state) {
    case csCreated:
        return "Создана"_cp1251;
    case csProcessed:
        return "Обработана"_cp1251;
    case csConfirmed:
        return "Подтверждена"_cp1251;
    case csUndefined:
        return "Неопределенное"_cp1251;
    }
    return {};
}

}  // namespace zarvik12m
