#include "tools/probe/probe_options.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string_view>

#include "driver/common/cp1251.h"
#include "tools/probe/serial_devices.h"

namespace zarvik12m::probe {

namespace {

using namespace zarvik12m::literals;

[[noreturn]] void Refuse(std::string_view what, std::string_view argument)
{
    throw TProbeUsageError(std::string(what) + ": " + std::string(argument));
}

std::uint32_t Number(std::string_view flag, std::string_view text, std::uint32_t low, std::uint32_t high)
{
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        Refuse("Неверное значение параметра"_cp1251, std::string(flag) + " " + std::string(text));
    }
    return value;
}

}  // namespace

TProbeOptions ParseProbeCommandLine(const std::vector<std::string>& arguments)
{
    TProbeOptions options;
    bool allNets = false;
    std::optional<std::uint8_t> net;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string_view flag = arguments[i];
        std::optional<std::string_view> inlineValue;
        if (const std::size_t equals = flag.find('='); flag.starts_with("--") && equals != std::string_view::npos) {
            inlineValue = flag.substr(equals + 1);
            flag = flag.substr(0, equals);
        }
        const auto value = [&]() -> std::string_view {
            if (inlineValue) {
                return *inlineValue;
            }
            if (i + 1 >= arguments.size()) {
                Refuse("Нет значения у параметра"_cp1251, flag);
            }
            return arguments[++i];
        };
        const auto noValue = [&] {
            if (inlineValue) {
                Refuse("Параметр не принимает значения"_cp1251, arguments[i]);
            }
        };

        if (flag == "--help" || flag == "-h") {
            noValue();
            options.Help = true;
        } else if (flag == "--verbose" || flag == "-v") {
            noValue();
            options.Verbose = true;
        } else if (flag == "--device") {
            options.Devices.emplace_back(value());
        } else if (flag == "--baud") {
            const std::uint32_t rate = Number(flag, value(), 50, 4000000);
            if (std::find(options.BaudRates.begin(), options.BaudRates.end(), rate) == options.BaudRates.end()) {
                options.BaudRates.push_back(rate);
            }
        } else if (flag == "--net") {
            net = static_cast<std::uint8_t>(Number(flag, value(), 1, 99));
        } else if (flag == "--all-nets") {
            noValue();
            allNets = true;
        } else if (flag == "--wait") {
            options.WaitMilliseconds = Number(flag, value(), 0, 10000);
        } else if (flag.starts_with("-") && flag != "-") {
            Refuse("Неизвестный параметр"_cp1251, arguments[i]);
        } else {
            options.Devices.emplace_back(flag);
        }
    }
    if (allNets && net) {
        throw TProbeUsageError(std::string("Параметры --net и --all-nets несовместимы"_cp1251));
    }
    if (allNets) {
        for (std::uint8_t n = 1; n <= 99; ++n) {
            options.NetNumbers.push_back(n);
        }
    } else {
        options.NetNumbers.push_back(net.value_or(1));
    }
    if (options.BaudRates.empty()) {
        options.BaudRates = DefaultBaudRates;
    }
    return options;
}

std::string ProbeUsageText()
{
    return std::string(
               "Поиск ККМ Зарвик-12М на последовательных портах.\n"
               "Вызов: zarvik12m-probe [параметры] [УСТРОЙСТВО...]\n"
               "\n"
               "На каждом устройстве и скорости посылает запрос заводского номера (команда 58,\n"
               "ничего не меняет в ККМ) и коротко ждёт ответа.\n"
               "\n"
               "  УСТРОЙСТВО, --device УСТРОЙСТВО\n"
               "                  опросить это устройство (можно повторять); без них: "_cp1251) +
           SearchedDevicesText() +
           std::string(
               "\n"
               "                  или ККМ в сети: tcp://УЗЕЛ:ПОРТ (только сетевые номера: скорость\n"
               "                  задаёт преобразователь), rfc2217://УЗЕЛ:ПОРТ (как местная линия)\n"
               "  --baud N        опросить на скорости N бод (можно повторять); по умолчанию\n"
               "                  9600, 19200, 38400, 57600, 115200, 4800, 2400\n"
               "  --net N         сетевой номер ККМ, 1..99 (по умолчанию 1)\n"
               "  --all-nets      перебрать сетевые номера 1..99\n"
               "  --wait МС       ожидание ответа сверх времени линии, миллисекунд (по умолчанию 150)\n"
               "  --verbose       таблица всех попыток\n"
               "  --help          эта справка\n"
               "\n"
               "Код завершения: 0 - ККМ найдена, 1 - не найдена, 2 - неверные параметры.\n"_cp1251);
}

}  // namespace zarvik12m::probe
