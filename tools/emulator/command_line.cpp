#include "tools/emulator/command_line.h"

#include <charconv>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

#include "driver/common/cp1251.h"
#include "tools/common/option_scanner.h"

namespace zarvik12m::emulator {

namespace {

using namespace zarvik12m::literals;

[[noreturn]] void Refuse(std::string_view what, std::string_view argument)
{
    std::string message = Cp1251ToUtf8(what);
    message += ": ";
    message += argument;
    throw TCommandLineError(message);
}

// "FF 00 A5", "FF00A5" or "ff:00:a5".
TBytes HexBytes(const TOptionScanner& scanner, std::string_view text)
{
    TBytes bytes;
    std::string digits;
    for (const char c : text) {
        if (c != ' ' && c != ':' && c != ',') {
            digits.push_back(c);
        }
    }
    if (digits.empty() || digits.size() % 2 != 0) {
        scanner.RefuseValue(text);
    }
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        std::uint8_t byte = 0;
        const auto [end, error] = std::from_chars(digits.data() + i, digits.data() + i + 2, byte, 16);
        if (error != std::errc() || end != digits.data() + i + 2) {
            scanner.RefuseValue(text);
        }
        bytes.push_back(byte);
    }
    return bytes;
}

// A factor above 0 and at most 10000: "50", "2.5".
double Speed(const TOptionScanner& scanner, std::string_view text)
{
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !(value > 0) || value > 10000) {
        scanner.RefuseValue(text);
    }
    return value;
}

// "A:B" as two numbers.
std::pair<std::uint64_t, std::uint64_t> NumberPair(const TOptionScanner& scanner, std::string_view text,
                                                   std::uint64_t highA, std::uint64_t highB)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        scanner.RefuseValue(text);
    }
    const auto number = [&](std::string_view part, std::uint64_t high) {
        const std::optional<std::uint64_t> value = DecimalNumber(part, 0, high);
        if (!value) {
            scanner.RefuseValue(part);
        }
        return *value;
    };
    return {number(text.substr(0, colon), highA), number(text.substr(colon + 1), highB)};
}

// The options of the line and the goods table; false for another flag.
bool ReadTableOption(TOptionScanner& scanner, TProgramOptions& options)
{
    const std::string_view flag = scanner.Flag();
    if (flag == "--net") {
        options.NetNumber = static_cast<std::uint8_t>(scanner.Number(1, 99));
    } else if (flag == "--serial") {
        options.SerialNumber = scanner.Value();
        if (options.SerialNumber.size() > 13) {
            scanner.Refuse("Заводской номер длиннее 13 символов"_cp1251, options.SerialNumber);
        }
    } else if (flag == "--link") {
        options.LinkPath = scanner.Value();
    } else if (flag == "--load") {
        options.LoadPath = scanner.Value();
    } else if (flag == "--generate") {
        options.Generate = scanner.Number(0, 4000);
    } else if (flag == "--save") {
        options.SavePath = scanner.Value();
    } else if (flag == "--separator") {
        options.Separator = static_cast<char>(scanner.Number(1, 255));
    } else if (flag == "--trace") {
        options.Trace = true;
        options.TracePath = scanner.InlineValue().value_or("");
    } else if (flag == "--line-baud") {
        options.LineBaudRate = static_cast<std::uint32_t>(scanner.Number(1, 4000000));
    } else {
        return false;
    }
    return true;
}

// The faults of the emulated register; false for another flag.
bool ReadFaultOption(TOptionScanner& scanner, TFaults& faults)
{
    constexpr std::uint64_t Unlimited = std::numeric_limits<std::uint32_t>::max();
    const std::string_view flag = scanner.Flag();
    if (flag == "--never-answer") {
        scanner.NoValue();
        faults.NeverAnswer = true;
    } else if (flag == "--status") {
        const auto [command, status] = NumberPair(scanner, scanner.Value(), 65, 255);
        if (command < 32) {
            scanner.RefuseValue(std::to_string(command));
        }
        faults.ForcedStatus[static_cast<std::uint8_t>(command)] = static_cast<std::uint8_t>(status);
    } else if (flag == "--garbage") {
        faults.Garbage = HexBytes(scanner, scanner.Value());
    } else if (flag == "--chunks") {
        const auto [size, pause] = NumberPair(scanner, scanner.Value(), 255, 60000);
        faults.ChunkSize = size;
        faults.ChunkPause = std::chrono::milliseconds(pause);
    } else if (flag == "--foreign") {
        faults.ForeignNetNumber = static_cast<std::uint8_t>(scanner.Number(1, 99));
    } else if (flag == "--duplicate") {
        scanner.NoValue();
        faults.DuplicateAnswer = true;
    } else if (flag == "--delay") {
        faults.AnswerDelay = std::chrono::milliseconds(scanner.Number(0, 600000));
    } else if (flag == "--baud") {
        faults.BaudRate = static_cast<std::uint32_t>(scanner.Number(1, 4000000));
    } else if (flag == "--hang-up-after") {
        faults.HangUpAfter = scanner.Number(1, Unlimited);
    } else {
        return false;
    }
    return true;
}

// The options given together that cannot go together.
void CheckCombination(const TProgramOptions& options, bool replaySpeedGiven, const std::string& registerOption)
{
    if (replaySpeedGiven && options.ReplayPath.empty()) {
        throw TCommandLineError(Cp1251ToUtf8("Параметр --replay-speed действует только с --replay"_cp1251));
    }
    // A trace plays the register as it was: nothing of the emulated one
    // applies.
    if (!options.ReplayPath.empty() && !registerOption.empty()) {
        Refuse("Параметр несовместим с --replay"_cp1251, registerOption);
    }
    if (!options.LoadPath.empty() && options.Generate) {
        throw TCommandLineError(Cp1251ToUtf8("Параметры --load и --generate несовместимы"_cp1251));
    }
}

}  // namespace

TProgramOptions ParseCommandLine(int argc, const char* const* argv)
{
    TProgramOptions options;
    TOptionScanner scanner(std::vector<std::string_view>(argv + 1, argv + argc), Refuse);
    bool replaySpeedGiven = false;
    std::string registerOption;  // the last option that sets up the emulated register
    while (scanner.Next()) {
        const std::string_view flag = scanner.Flag();
        if (flag == "--help" || flag == "-h") {
            scanner.NoValue();
            options.Help = true;
        } else if (flag == "--replay") {
            options.ReplayPath = scanner.Value();
            if (options.ReplayPath.empty()) {
                scanner.RefuseValue(options.ReplayPath);
            }
        } else if (flag == "--replay-speed") {
            options.ReplaySpeed = Speed(scanner, scanner.Value());
            replaySpeedGiven = true;
        } else if (ReadTableOption(scanner, options) || ReadFaultOption(scanner, options.Faults)) {
            if (flag != "--link") {
                registerOption = std::string(flag);
            }
        } else {
            Refuse("Неизвестный параметр"_cp1251, scanner.Argument());
        }
    }
    CheckCombination(options, replaySpeedGiven, registerOption);
    return options;
}

std::string UsageText()
{
    return std::string(
        "Эмулятор ККМ Зарвик-12М на псевдотерминале.\n"
        "Вызов: zarvik12m-emulator [параметры]\n"
        "\n"
        "Линия и ККМ:\n"
        "  --net N              сетевой номер ККМ, 1..99 (по умолчанию 1)\n"
        "  --serial ТЕКСТ       заводской номер, до 13 символов (по умолчанию 12000001)\n"
        "  --link ПУТЬ          символическая ссылка на линию (например, для ZARVIK12M_COM1=ПУТЬ)\n"
        "  --line-baud N        понимать линию только на скорости N бод, на другой отвечать мусором\n"
        "\n"
        "Таблица товаров:\n"
        "  --load ФАЙЛ          загрузить товары из файла PLU (Windows-1251)\n"
        "  --generate N         создать N товаров (0..4000)\n"
        "  --save ФАЙЛ          записать таблицу в файл PLU при завершении\n"
        "  --separator N        код символа-разделителя полей файла PLU (по умолчанию 59, ';')\n"
        "\n"
        "Журнал:\n"
        "  --trace[=ФАЙЛ]       записывать каждый кадр линии в stderr или в ФАЙЛ\n"
        "\n"
        "Неисправности:\n"
        "  --never-answer       никогда не отвечать\n"
        "  --status КОМ:СТАТУС  на команду КОМ (32..65) отвечать этим статусом; можно повторять\n"
        "  --garbage БАЙТЫ      посылать эти байты (шестнадцатеричные, например \"FF 00\") перед ответом\n"
        "  --chunks N:МС        посылать ответ частями по N байт с паузой МС миллисекунд\n"
        "  --foreign N          перед ответом посылать его копию для сетевого номера N\n"
        "  --duplicate          посылать каждый ответ дважды\n"
        "  --delay МС           задержка перед каждым ответом, миллисекунд\n"
        "  --baud N             передавать байты не быстрее линии N бод (10 бит на байт, в обе стороны)\n"
        "  --hang-up-after N    после N обменов разорвать линию и завершиться\n"
        "\n"
        "Воспроизведение журнала линии (ZARVIK12M_TRACE):\n"
        "  --replay ФАЙЛ        играть сторону ККМ по журналу: сверять принятые байты с записанными '>',\n"
        "                       отвечать записанными '<'; при расхождении код завершения 3\n"
        "  --replay-speed N     воспроизводить в N раз быстрее записанного (по умолчанию 1)\n"
        "\n"
        "  --help               эта справка\n"
        "\n"
        "Программа печатает путь линии первой строкой и работает до SIGINT или SIGTERM;\n"
        "с --replay - до конца журнала или первого расхождения.\n"_cp1251);
}

}  // namespace zarvik12m::emulator
