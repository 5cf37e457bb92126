// Prints the factory number and the goods table size of the register on
// a COM port, through the driver library linked as any library is:
//
//   zarvik12m-properties PORT BAUD NETNUMBER
#include <cstdint>
#include <cstdlib>
#include <iostream>

#include <zarvik12m/exports.h>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::cerr << "usage: zarvik12m-properties PORT BAUD NETNUMBER\n";
        return 2;
    }
    const auto port = static_cast<std::uint8_t>(std::atoi(argv[1]));
    const auto baudRate = static_cast<std::int32_t>(std::atoi(argv[2]));
    const auto netNumber = static_cast<std::uint8_t>(std::atoi(argv[3]));

    TZarvik12m_Properties properties{};
    try {
        GetProperties(port, baudRate, netNumber, properties);
    } catch (const EZarvik12mError& error) {
        // The message is Windows-1251 text, as the driver's log has it.
        std::cerr << "driver error " << error.ErrorCode() << "\n";
        return 1;
    }
    std::cout << "serial number: " << properties.SerialNumber.Str() << "\n"
              << "goods: " << properties.MaxGoods << "\n";
    return 0;
}
