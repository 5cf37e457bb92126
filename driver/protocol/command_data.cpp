#include "driver/protocol/command_data.h"

#include <stdexcept>
#include <string>

namespace zarvik12m::detail {

void ThrowDataMismatch(const TCommandData* data, std::size_t expectedNumber)
{
    std::string message = "data record of command " + std::to_string(expectedNumber) + " expected, ";
    message += data == nullptr ? std::string("no record held")
                               : "record of command " + std::to_string(data->index()) + " held";
    throw std::logic_error(message);
}

}  // namespace zarvik12m::detail
