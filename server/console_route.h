#pragma once

#include <optional>
#include <string_view>

#include "server/api.h"

namespace zarvik12m::server {

// The web console's page for a GET outside the API: "/" and "/console/" are
// its index, "/console/FILE" its other files, each with the headers that
// keep a page from running anything but its own files. Nothing for any
// other request. (The transport adds X-Content-Type-Options: nosniff to
// every response.)
[[nodiscard]] std::optional<TApiResponse> ConsoleResponse(std::string_view method, std::string_view path);

}  // namespace zarvik12m::server
