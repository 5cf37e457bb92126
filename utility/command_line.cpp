#include "utility/command_line.h"

#include "utility/number_text.h"

namespace zarvik12m {

namespace {

// The port numbers that have progress slots in the library, and the
// register's network numbers.
constexpr std::int32_t MinPortNumber = 1;
constexpr std::int32_t MaxPortNumber = 32;
constexpr std::int32_t MinNetNumber = 1;
constexpr std::int32_t MaxNetNumber = 99;

// Whether the character of the code can stand between the fields of a PLU
// line: not NUL, not a line end, nor a character that the fields
// themselves hold (the blank of the padding, the digits and point of the
// numbers).
bool SeparatesFields(std::int32_t code)
{
    if (code <= 0 || code > 255) {
        return false;
    }
    const auto c = static_cast<char>(code);
    return c != '\r' && c != '\n' && c != ' ' && c != '.' && (c < '0' || c > '9');
}

struct TSwitch {
    bool Found = false;
    std::string Value;
};

TSwitch FindSwitch(std::span<const std::string> parameters, char letter)
{
    TSwitch result;
    result.Found = GetParam(parameters, letter, result.Value);
    return result;
}

}  // namespace

bool GetParam(std::span<const std::string> parameters, char letter, std::string& value)
{
    value.clear();
    const char key[] = {'/', letter};
    for (const std::string& parameter : parameters) {
        if (parameter.starts_with(std::string_view(key, sizeof key))) {
            value = parameter.substr(2);
            return true;
        }
    }
    return false;
}

std::optional<TPluParameters> ParsePluParameters(std::span<const std::string> parameters)
{
    const TSwitch port = FindSwitch(parameters, 'p');
    const TSwitch baud = FindSwitch(parameters, 'b');
    const TSwitch net = FindSwitch(parameters, 'n');
    const TSwitch separator = FindSwitch(parameters, 's');
    const TSwitch load = FindSwitch(parameters, 'l');
    const TSwitch write = FindSwitch(parameters, 'w');
    const TSwitch clear = FindSwitch(parameters, 'c');

    const int commands = int{load.Found} + int{write.Found} + int{clear.Found};
    if (!port.Found || !baud.Found || !net.Found || commands != 1 ||
        (!separator.Found && (load.Found || write.Found))) {
        return std::nullopt;
    }
    const std::optional<std::int32_t> portNumber = StrToInt(port.Value);
    const std::optional<std::int32_t> baudRate = StrToInt(baud.Value);
    const std::optional<std::int32_t> netNumber = StrToInt(net.Value);
    const std::optional<std::int32_t> separatorCode = separator.Found ? StrToInt(separator.Value) : 0;
    if (!portNumber || !baudRate || !netNumber || !separatorCode) {
        return std::nullopt;
    }
    if (*portNumber < MinPortNumber || *portNumber > MaxPortNumber || *netNumber < MinNetNumber ||
        *netNumber > MaxNetNumber) {
        return std::nullopt;
    }
    // A rate of 0 or below is no line speed (it would go on as a huge
    // unsigned one).
    if (*baudRate <= 0 || (separator.Found && !SeparatesFields(*separatorCode))) {
        return std::nullopt;
    }

    TPluParameters result;
    result.PortNumber = *portNumber;
    result.BaudRate = *baudRate;
    result.NetNumber = *netNumber;
    result.SeparatorCode = *separatorCode;
    if (load.Found) {
        result.Command = pcLoad;
        result.FileName = load.Value;
    } else if (write.Found) {
        result.Command = pcWrite;
        result.FileName = write.Value;
    } else {
        result.Command = pcClear;
    }
    return result;
}

}  // namespace zarvik12m
