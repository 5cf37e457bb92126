#pragma once

#include <stdexcept>
#include <type_traits>
#include <variant>

#include "driver/protocol/command.h"

namespace zarvik12m::testing {

// The fields structure shared by several commands' records, reached from
// whichever of them the command holds: lets one table row cover, say,
// every one-byte result.
template <class TFields>
TFields& FieldsOf(const TCommand& command)
{
    if (command.Data == nullptr) {
        throw std::logic_error("no record");
    }
    TFields* fields = std::visit(
        [](auto& record) -> TFields* {
            if constexpr (std::is_base_of_v<TFields, std::remove_cvref_t<decltype(record)>>) {
                return &record;
            } else {
                return nullptr;
            }
        },
        *command.Data);
    if (fields == nullptr) {
        throw std::logic_error("the record has other fields");
    }
    return *fields;
}

}  // namespace zarvik12m::testing
