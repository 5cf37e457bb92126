#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

#include "driver/common/error_text.h"
#include "zarvik12m/error.h"

namespace zarvik12m {

// One value for a message template: an integer for %d, a text for %s.
using TErrorArgument = std::variant<std::int64_t, std::string>;

// Formats a template printf-like: each %d and %s takes the next argument
// in order, %% stands for a percent sign. A placeholder without an argument
// left gives nothing.
std::string FormatErrorMessage(std::string_view messageTemplate, std::initializer_list<TErrorArgument> arguments);

// Builds the error of a code: the message from the code's template (empty
// when it has none), and the error's line appended to LogError.txt.
EZarvik12mError MakeError(std::int16_t code, std::initializer_list<TErrorArgument> arguments = {});

// Builds the error of a code and throws it.
[[noreturn]] void RaiseError(std::int16_t code, std::initializer_list<TErrorArgument> arguments = {});

}  // namespace zarvik12m
