#include "server/console_route.h"

#include <string>

#include "server/console_files.h"

namespace zarvik12m::server {

namespace {

constexpr std::string_view ConsolePrefix = "/console/";
constexpr std::string_view ContentSecurityPolicy =
    "default-src 'self'; script-src 'self'; style-src 'self'; img-src 'self' data:; connect-src 'self'; "
    "frame-ancestors 'none'";

}  // namespace

std::optional<TApiResponse> ConsoleResponse(std::string_view method, std::string_view path)
{
    if (method != "GET") {
        return std::nullopt;
    }
    std::string_view name;
    if (path == "/" || path == "/console" || path == ConsolePrefix) {
        name = "index.html";
    } else if (path.starts_with(ConsolePrefix)) {
        name = path.substr(ConsolePrefix.size());
    } else {
        return std::nullopt;
    }
    const std::optional<TStaticFile> file = ConsoleFile(name);
    if (!file) {
        return std::nullopt;
    }
    TApiResponse response;
    response.ContentType = std::string(file->ContentType);
    response.Body = std::string(file->Bytes);
    response.Headers.emplace_back("Content-Security-Policy", std::string(ContentSecurityPolicy));
    response.Headers.emplace_back("Referrer-Policy", "no-referrer");
    return response;
}

}  // namespace zarvik12m::server
