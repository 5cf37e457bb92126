#include "driver/protocol/command_encoder.h"

#include "driver/common/convert.h"
#include "driver/common/errors.h"
#include "driver/port/com_port.h"
#include "driver/processing/command_queues.h"
#include "driver/processing/rx_command_thread.h"
#include "driver/processing/tx_command_thread.h"

namespace zarvik12m {

namespace {

TByteSet AddressesOf(const TByteSet& netNumbers)
{
    TByteSet addresses;
    for (std::uint8_t number = 1; number <= 99; ++number) {
        if (netNumbers.test(number)) {
            addresses.set(ByteToBCD(number));
        }
    }
    return addresses;
}

}  // namespace

TByteSet ByteSetOf(std::initializer_list<std::uint8_t> values)
{
    TByteSet set;
    for (const std::uint8_t value : values) {
        set.set(value);
    }
    return set;
}

TCommandEncoder::TCommandEncoder(std::uint8_t portNumber, const TByteSet& netNumbers)
    : FPortNumber(portNumber), FAddressSet(AddressesOf(netNumbers)), FLog(portNumber)
{
    // The command log is a diagnostic aid that stays off in normal work.
    FLog.SetEnabled(false);
    FPort = std::make_unique<TCOMPort>(portNumber);
    FRXQueue = std::make_unique<TRXCommandQueue>(*this);
    FTXQueue = std::make_unique<TTXCommandQueue>(*this);
}

void TCommandEncoder::RaiseUnknownCommand(std::uint8_t netNumber, std::uint8_t commandNumber) const
{
    RaiseError(ecUnknownCommand, {FPortNumber, netNumber, commandNumber});
}

void TCommandEncoder::CheckCatalogued(std::uint8_t commandNumber) const
{
    if (!IsCatalogued(commandNumber)) {
        // The data operations are not told which register the record is
        // for; their message names network number 0.
        RaiseUnknownCommand(0, commandNumber);
    }
}

}  // namespace zarvik12m
