#include "tools/probe/probe_options.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "driver/common/cp1251.h"
#include "tools/common/option_scanner.h"
#include "tools/probe/serial_devices.h"

namespace zarvik12m::probe {

namespace {

using namespace zarvik12m::literals;

[[noreturn]] void Refuse(std::string_view what, std::string_view argument)
{
    throw TProbeUsageError(std::string(what) + ": " + std::string(argument));
}

// The option that names the devices, the speeds and the network numbers
// to try; false for another flag.
bool ReadSearchOption(TOptionScanner& scanner, TProbeOptions& options, std::optional<std::uint8_t>& net, bool& allNets)
{
    const std::string_view flag = scanner.Flag();
    if (flag == "--device") {
        options.Devices.emplace_back(scanner.Value());
    } else if (flag == "--baud") {
        const auto rate = static_cast<std::uint32_t>(scanner.Number(50, 4000000));
        if (std::find(options.BaudRates.begin(), options.BaudRates.end(), rate) == options.BaudRates.end()) {
            options.BaudRates.push_back(rate);
        }
    } else if (flag == "--net") {
        net = static_cast<std::uint8_t>(scanner.Number(1, 99));
    } else if (flag == "--all-nets") {
        scanner.NoValue();
        allNets = true;
    } else if (flag == "--wait") {
        options.WaitMilliseconds = static_cast<std::uint32_t>(scanner.Number(0, 10000));
    } else {
        return false;
    }
    return true;
}

}  // namespace

TProbeOptions ParseProbeCommandLine(const std::vector<std::string>& arguments)
{
    TProbeOptions options;
    bool allNets = false;
    std::optional<std::uint8_t> net;
    const std::vector<std::string_view> views(arguments.begin(), arguments.end());
    TOptionScanner scanner(views, Refuse);
    while (scanner.Next()) {
        const std::string_view flag = scanner.Flag();
        if (flag == "--help" || flag == "-h") {
            scanner.NoValue();
            options.Help = true;
        } else if (flag == "--verbose" || flag == "-v") {
            scanner.NoValue();
            options.Verbose = true;
        } else if (ReadSearchOption(scanner, options, net, allNets)) {
            continue;
        } else if (flag.starts_with("-") && flag != "-") {
            Refuse("Неизвестный параметр"_cp1251, scanner.Argument());
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
