#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include <gtest/gtest.h>

#include "driver/common/error_text.h"
#include "driver/common/errors.h"
#include "zarvik12m/error.h"

namespace zarvik12m::testing {

// The message an error of the code carries when raised with the arguments.
inline std::string ExpectedMessage(std::int16_t code, std::initializer_list<TErrorArgument> arguments)
{
    return FormatErrorMessage(ErrorText(code).value_or(""), arguments);
}

// Expects action to raise the error of the code with exactly the arguments.
template <typename TAction>
void ExpectError(TAction&& action, std::int16_t code, std::initializer_list<TErrorArgument> arguments)
{
    try {
        action();
        ADD_FAILURE() << "expected error " << code << ", nothing was raised";
    } catch (const EZarvik12mError& error) {
        EXPECT_EQ(error.ErrorCode(), code);
        EXPECT_EQ(error.what(), ExpectedMessage(code, arguments));
    }
}

}  // namespace zarvik12m::testing
