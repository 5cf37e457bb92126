#include "driver/common/errors.h"

#include "driver/common/error_log.h"

namespace zarvik12m {

namespace {

void AppendArgument(std::string& out, const TErrorArgument& argument)
{
    if (const auto* number = std::get_if<std::int64_t>(&argument)) {
        out += std::to_string(*number);
    } else {
        out += std::get<std::string>(argument);
    }
}

}  // namespace

std::string FormatErrorMessage(std::string_view messageTemplate, std::initializer_list<TErrorArgument> arguments)
{
    std::string message;
    message.reserve(messageTemplate.size() + 16);
    const auto* next = arguments.begin();
    for (std::size_t i = 0; i < messageTemplate.size(); ++i) {
        const char c = messageTemplate[i];
        if (c != '%' || i + 1 == messageTemplate.size()) {
            message += c;
            continue;
        }
        const char conversion = messageTemplate[i + 1];
        if (conversion == '%') {
            message += '%';
            ++i;
        } else if (conversion == 'd' || conversion == 's') {
            if (next != arguments.end()) {
                AppendArgument(message, *next++);
            }
            ++i;
        } else {
            message += c;
        }
    }
    return message;
}

EZarvik12mError MakeError(std::int16_t code, std::initializer_list<TErrorArgument> arguments)
{
    const std::string message = FormatErrorMessage(ErrorText(code).value_or(std::string_view{}), arguments);
    AppendErrorLog(code, message);
    return {code, message};
}

void RaiseError(std::int16_t code, std::initializer_list<TErrorArgument> arguments)
{
    throw MakeError(code, arguments);
}

}  // namespace zarvik12m
