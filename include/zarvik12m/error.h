#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "zarvik12m/export.h"

// The one error class of the driver. Its message is Windows-1251 text and
// ErrorCode() is the code of the driver's error table: a register status
// (1..255), a port error (-100..-120), a command error (-200..-202) or the
// user's cancellation (-300).
//
// The class is wholly inline, so the library and every caller hold their
// own copy of it and a caller catches by this name what the library throws.
// An object thrown by the library points into the library's code: a caller
// that unloads the library destroys every such object first.
class ZARVIK12M_SHARED_CLASS EZarvik12mError : public std::runtime_error {
public:
    EZarvik12mError(std::int16_t errorCode, const std::string& message)
        : std::runtime_error(message), FErrorCode(errorCode)
    {}

    [[nodiscard]] std::int16_t ErrorCode() const noexcept { return FErrorCode; }

private:
    std::int16_t FErrorCode;
};
