#include <array>
#include <stdexcept>
#include <string>
#include <utility>

#include "driver/protocol/frame_codec.h"

namespace zarvik12m {

namespace {

template <class TRecord>
inline constexpr bool IsNoPayload = false;

template <std::uint8_t Number>
inline constexpr bool IsNoPayload<TNoPayload<Number>> = true;

using TDataFactory = TCommandDataPtr (*)();

// A zero-filled record of command Number; none for commands without
// payload.
template <std::size_t Number>
TCommandDataPtr MakeRecord()
{
    if constexpr (IsNoPayload<TCommandRecord<Number>>) {
        return nullptr;
    } else {
        return std::make_shared<TCommandData>(std::in_place_index<Number>);
    }
}

template <std::size_t... Numbers>
constexpr std::array<TDataFactory, sizeof...(Numbers)> MakeFactories(std::index_sequence<Numbers...>)
{
    return {&MakeRecord<Numbers>...};
}

// Indexed by command number; entry 0 is never used.
constexpr std::array<TDataFactory, CommandCount + 1> DataFactories =
    MakeFactories(std::make_index_sequence<CommandCount + 1>{});

template <std::size_t... Numbers>
constexpr std::array<bool, sizeof...(Numbers)> MakePayloadFlags(std::index_sequence<Numbers...>)
{
    return {!IsNoPayload<TCommandRecord<Numbers>>...};
}

constexpr std::array<bool, CommandCount + 1> CarriesPayload =
    MakePayloadFlags(std::make_index_sequence<CommandCount + 1>{});

}  // namespace

TCommandDataPtr TFrameCodec::AllocData(std::uint8_t commandNumber) const
{
    CheckCatalogued(commandNumber);
    return DataFactories[commandNumber]();
}

void TFrameCodec::FreeData(std::uint8_t commandNumber, TCommandDataPtr& data) const
{
    CheckCatalogued(commandNumber);
    data.reset();
}

void TFrameCodec::CopyData(std::uint8_t commandNumber, const TCommandData* source, TCommandData* dest) const
{
    CheckCatalogued(commandNumber);
    if (!CarriesPayload[commandNumber]) {
        return;
    }
    if (source == nullptr || dest == nullptr || source->index() != commandNumber || dest->index() != commandNumber) {
        throw std::logic_error("CopyData: the records are not both of command " + std::to_string(commandNumber));
    }
    *dest = *source;
}

}  // namespace zarvik12m
