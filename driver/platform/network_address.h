#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zarvik12m {

// How a register's line is reached over the network.
enum TNetworkProtocol : std::uint8_t {
    npRawTcp,   // tcp://: the line's bytes and nothing else
    npRfc2217,  // rfc2217://: Telnet with the Com Port Control option
};

// A line on the network: tcp://HOST:PORT or rfc2217://HOST:PORT, HOST a
// name, an IPv4 address or an IPv6 address in brackets.
struct TNetworkAddress {
    TNetworkProtocol Protocol = npRawTcp;
    std::string Host;  // without the brackets of an IPv6 address
    std::uint16_t Port = 0;
};

// Whether the device name is meant as a network address: it starts with
// one of the schemes (in any case). Such a name never falls back to a
// file, also when the rest of it is malformed.
bool IsNetworkAddress(std::string_view deviceName);

// The address, or none when the name is not a well-formed one: a scheme
// of its own, a host of letters, digits, '.', '-' and '_' (or an IPv6
// address of hex digits, ':' and '.' in brackets), a port of 1..65535 and
// nothing after it.
std::optional<TNetworkAddress> ParseNetworkAddress(std::string_view deviceName);

}  // namespace zarvik12m
