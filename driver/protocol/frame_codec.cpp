#include "driver/protocol/frame_codec.h"

#include "driver/common/convert.h"
#include "driver/common/errors.h"

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

TFrameCodec::TFrameCodec(std::uint8_t portNumber, const TByteSet& netNumbers)
    : FPortNumber(portNumber), FAddressSet(AddressesOf(netNumbers))
{}

void TFrameCodec::RaiseUnknownCommand(std::uint8_t netNumber, std::uint8_t commandNumber) const
{
    RaiseError(ecUnknownCommand, {FPortNumber, netNumber, commandNumber});
}

void TFrameCodec::CheckCatalogued(std::uint8_t commandNumber) const
{
    if (!IsCatalogued(commandNumber)) {
        // The data operations are not told which register the record is
        // for; their message names network number 0.
        RaiseUnknownCommand(0, commandNumber);
    }
}

}  // namespace zarvik12m
