#include "tools/probe/report.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string_view>
#include <utility>

#include "driver/common/cp1251.h"
#include "driver/platform/device_path.h"

namespace zarvik12m::probe {

namespace {

using namespace zarvik12m::literals;

// The highest port number that Zarvik12mPLU's /p takes.
constexpr unsigned MaxUtilityPort = 32;

// A word for the shell as it stands, quoted when it holds anything else.
std::string ShellWord(const std::string& text)
{
    const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("/._-+:=,@").find(c) != std::string_view::npos;
    });
    if (plain) {
        return text;
    }
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// The port number of a COM device name that the utility's /p takes (COM1 to
// COM32, also with the "\\.\" prefix); none for any other name.
std::optional<unsigned> UtilityPortNumber(std::string_view name)
{
    if (name.starts_with(R"(\\.\)")) {
        name.remove_prefix(4);
    }
    if (!name.starts_with("COM")) {
        return std::nullopt;
    }
    const std::string_view digits = name.substr(3);
    unsigned number = 0;
    const auto [end, failure] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (digits.empty() || failure != std::errc() || end != digits.data() + digits.size() || number < 1 ||
        number > MaxUtilityPort || digits.front() == '0') {
        return std::nullopt;
    }
    return number;
}

std::string DeviceText(const TCandidateDevice& device)
{
    return device.ById.empty() || device.ById == device.Path ? device.Path : device.Path + " (" + device.ById + ")";
}

std::string KindText(const TSpeedOutcome& speed)
{
    if (speed.Unsupported) {
        return std::string("скорость не поддерживается"_cp1251);
    }
    switch (speed.Best) {
    case TTryResult::tkSilence:
        return std::string("тишина"_cp1251);
    case TTryResult::tkGarbage:
        return std::string("нечитаемые байты"_cp1251);
    case TTryResult::tkOtherFrames:
        return speed.OtherNetNumber != 0
                   ? std::string("отвечает ККМ с сетевым номером "_cp1251) + std::to_string(speed.OtherNetNumber)
                   : std::string("чужие кадры"_cp1251);
    case TTryResult::tkFound:
        return std::string("ККМ найдена"_cp1251);
    }
    return {};
}

// The system's words for a failure, without the full stop Windows ends
// them with; empty when the system gave none.
std::string SystemText(const TSystemError& error)
{
    std::string text = error.Text;
    while (!text.empty() && (text.back() == '.' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

// The state of a device in words, chosen by the kind of its failure. With
// detail (--verbose) the system's own words follow in parentheses; without,
// only where the kind says nothing (any other failure).
std::string StateText(const TDeviceOutcome& outcome, bool detail)
{
    const std::string system = SystemText(outcome.SystemError);
    const std::string told = detail && !system.empty() ? " (" + system + ")" : std::string();
    switch (outcome.State) {
    case dsBusy:
        return std::string("занято другой программой, пропущено"_cp1251) + told;
    case dsDenied:
        return std::string("нет доступа"_cp1251) + told +
               std::string(
                   ": добавьте пользователя в группу dialout (sudo usermod -aG dialout $USER) "
                   "и войдите в систему заново"_cp1251);
    case dsMissing:
        return std::string("нет такого устройства"_cp1251) + told;
    case dsNotAPort:
        return std::string("не последовательный порт"_cp1251) + told;
    case dsConsole:
        return std::string("консоль или терминал этой программы, не опрашивается"_cp1251);
    case dsFailed:
        if (outcome.Reason.empty()) {
            return std::string("ошибка: "_cp1251) +
                   (system.empty() ? std::string("код "_cp1251) + std::to_string(outcome.SystemError.Code) : system);
        }
        return std::string("ошибка: "_cp1251) + outcome.Reason + told;
    case dsProbed:
        break;
    }
    return {};
}

// Speeds at which something other than silence came back.
std::string AnsweringSpeeds(const TDeviceOutcome& outcome)
{
    std::string text;
    for (const TSpeedOutcome& speed : outcome.Speeds) {
        if (!speed.Unsupported && speed.Best != TTryResult::tkSilence) {
            text += (text.empty() ? "" : ", ") + std::to_string(speed.BaudRate) + std::string(" бод: "_cp1251) +
                    KindText(speed);
        }
    }
    return text;
}

}  // namespace

std::string UtilityCommandLine(const TDeviceOutcome& outcome, TShellSyntax syntax)
{
    const std::string& device = outcome.Device.ById.empty() ? outcome.Device.Path : outcome.Device.ById;
    const std::string settings = " /b" + std::to_string(outcome.FoundBaudRate) + " /n" +
                                 std::to_string(outcome.FoundNetNumber) + " /s59 /lplu.txt";
    if (syntax == ssPosix) {
        return "ZARVIK12M_COM1=" + ShellWord(device) + " Zarvik12mPLU /p1" + settings;
    }
    // cmd: a COM port that the utility can name is named by its number;
    // any other device through port 1's variable, quoted so that no space
    // before the && becomes part of the value.
    if (const std::optional<unsigned> number = UtilityPortNumber(device)) {
        return "Zarvik12mPLU /p" + std::to_string(*number) + settings;
    }
    return "set \"ZARVIK12M_COM1=" + DevicePathFor("COM1", device.c_str(), dnWindows) + "\" && Zarvik12mPLU /p1" +
           settings;
}

std::vector<std::string> ReportLines(const std::vector<TDeviceOutcome>& outcomes, const TProbeOptions& options)
{
    std::vector<std::string> lines;
    bool found = false;
    bool answered = false;
    bool rawNetwork = false;
    for (const TDeviceOutcome& outcome : outcomes) {
        const std::string device = DeviceText(outcome.Device);
        rawNetwork = rawNetwork || (IsRawNetworkLine(outcome.Device.Path) && outcome.State == dsProbed);
        if (outcome.Found) {
            found = true;
            lines.push_back(std::string("ККМ найдена: "_cp1251) + device + ", " +
                            std::to_string(outcome.FoundBaudRate) + std::string(" бод, сетевой номер "_cp1251) +
                            std::to_string(outcome.FoundNetNumber) + std::string(", заводской номер "_cp1251) +
                            outcome.SerialNumber);
            lines.push_back("  " + UtilityCommandLine(outcome, NativeShellSyntax()));
            continue;
        }
        if (outcome.State == dsProbed) {
            if (const std::string speeds = AnsweringSpeeds(outcome); !speeds.empty()) {
                answered = true;
                std::string line = device;
                line += ": что-то отвечает при другой настройке ("_cp1251;
                line += speeds;
                line += ")";
                lines.push_back(std::move(line));
            }
            continue;
        }
        const bool quiet = outcome.State == dsNotAPort || outcome.State == dsConsole;
        if (!quiet || outcome.Device.Named || options.Verbose) {
            lines.push_back(device + ": " + StateText(outcome, options.Verbose));
        }
    }
    if (!found) {
        lines.emplace_back("ККМ не найдена."_cp1251);
        if (answered && options.NetNumbers.size() < 99) {
            lines.emplace_back("Попробуйте другой сетевой номер (--all-nets) или другую скорость (--baud)."_cp1251);
        }
    }
    if (rawNetwork) {
        lines.emplace_back(
            "По tcp:// скорость линии задаёт преобразователь: она должна совпадать со скоростью ККМ "
            "(опрашивались только сетевые номера; скорость меняет rfc2217://)."_cp1251);
    }
    return lines;
}

std::vector<std::string> TriedTable(const std::vector<TDeviceOutcome>& outcomes)
{
    std::vector<std::string> lines;
    lines.emplace_back("Устройство | скорость, бод | сетевых номеров опрошено | результат"_cp1251);
    for (const TDeviceOutcome& outcome : outcomes) {
        if (outcome.State != dsProbed && outcome.Speeds.empty()) {
            lines.push_back(outcome.Device.Path + " | - | - | " + StateText(outcome, true));
            continue;
        }
        for (const TSpeedOutcome& speed : outcome.Speeds) {
            lines.push_back(outcome.Device.Path + " | " + std::to_string(speed.BaudRate) + " | " +
                            std::to_string(speed.NetNumbersTried) + " | " + KindText(speed));
        }
        if (outcome.State != dsProbed) {
            lines.push_back(outcome.Device.Path + " | - | - | " + StateText(outcome, true));
        }
    }
    return lines;
}

}  // namespace zarvik12m::probe
