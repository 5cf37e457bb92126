#include "driver/platform/network_address.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <utility>

namespace zarvik12m {

namespace {

constexpr std::array<std::pair<std::string_view, TNetworkProtocol>, 2> Schemes = {{
    {"tcp://", npRawTcp},
    {"rfc2217://", npRfc2217},
}};

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) noexcept
{
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const char lower = (text[i] >= 'A' && text[i] <= 'Z') ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
        if (lower != prefix[i]) {
            return false;
        }
    }
    return true;
}

bool IsNameCharacter(char c) noexcept
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
           c == '_';
}

bool IsIpv6Character(char c) noexcept
{
    return (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || (c >= '0' && c <= '9') || c == ':' || c == '.';
}

template <typename TPredicate>
bool All(std::string_view text, TPredicate predicate) noexcept
{
    return std::ranges::all_of(text, predicate);
}

// The longest host name the resolver takes.
constexpr std::size_t MaxHostLength = 253;

}  // namespace

bool IsNetworkAddress(std::string_view deviceName)
{
    return std::ranges::any_of(
        Schemes, [deviceName](const auto& entry) { return StartsWithIgnoringCase(deviceName, entry.first); });
}

std::optional<TNetworkAddress> ParseNetworkAddress(std::string_view deviceName)
{
    TNetworkAddress address;
    std::string_view rest;
    bool known = false;
    for (const auto& [scheme, protocol] : Schemes) {
        if (StartsWithIgnoringCase(deviceName, scheme)) {
            address.Protocol = protocol;
            rest = deviceName.substr(scheme.size());
            known = true;
            break;
        }
    }
    if (!known) {
        return std::nullopt;
    }
    std::string_view host;
    if (rest.starts_with('[')) {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        host = rest.substr(1, close - 1);
        rest.remove_prefix(close + 1);
        if (host.find(':') == std::string_view::npos || !All(host, IsIpv6Character)) {
            return std::nullopt;
        }
    } else {
        const std::size_t colon = rest.find(':');
        if (colon == std::string_view::npos) {
            return std::nullopt;
        }
        host = rest.substr(0, colon);
        rest.remove_prefix(colon);
        if (!All(host, IsNameCharacter) || host.starts_with('-')) {
            return std::nullopt;
        }
    }
    if (host.empty() || host.size() > MaxHostLength || !rest.starts_with(':')) {
        return std::nullopt;
    }
    rest.remove_prefix(1);
    // Digits only: from_chars would take neither a sign nor blanks anyway,
    // and the whole rest must be the port.
    if (rest.empty() || rest.size() > 5 || !All(rest, [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    unsigned port = 0;
    std::from_chars(rest.data(), rest.data() + rest.size(), port);
    if (port == 0 || port > 65535) {
        return std::nullopt;
    }
    address.Host = std::string(host);
    address.Port = static_cast<std::uint16_t>(port);
    return address;
}

}  // namespace zarvik12m
