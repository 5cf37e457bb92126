#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zarvik12m {

// Codes of the driver's error table that the code refers to by name.
enum TErrorCode : std::int16_t {
    ecSuccess = 0,
    ecNoSuchGoods = 7,
    ecPortWriteIncomplete = -100,
    ecPortWriteFailed = -101,
    ecPortWriteBlockTooLarge = -102,
    ecPortReadIncomplete = -103,
    ecPortReadFailed = -104,
    ecPortReadBlockTooLarge = -105,
    ecPortSetMask = -106,
    ecPortSetTimeouts = -107,
    ecPortSetParameters = -108,
    ecPortSetQueueSizes = -109,
    ecPortOpen = -110,
    ecPortPurge = -111,
    ecInputQueuePut = -112,
    ecInputQueuePeekCapacity = -113,
    ecInputQueuePeekCount = -114,
    ecInputQueueRemoveCapacity = -115,
    ecInputQueueRemoveCount = -116,
    ecReadEventCreate = -117,
    ecReadEventWait = -118,
    ecReadStatus = -119,
    ecWriteEventCreate = -120,  // in the table callers know, never raised: writes wait in the device, no event is made
    ecUnknownCommand = -200,
    ecCommandDataSize = -201,
    ecCommandFailed = -202,
    ecCancelled = -300,
};

// The message template of a code (Windows-1251, printf-like %d and %s), or
// nothing when the table has no row for it.
std::optional<std::string_view> ErrorText(std::int16_t code);

}  // namespace zarvik12m
