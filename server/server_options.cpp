#include "server/server_options.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "driver/platform/environment.h"

namespace zarvik12m::server {

namespace {

constexpr std::size_t MaxConfigSize = std::size_t{1024} * 1024U;
constexpr std::size_t MaxTokenSize = 4096;

std::string ReadSmallFile(const std::string& path, std::size_t limit, const char* what)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw std::invalid_argument(std::string("cannot read the ") + what + " " + path);
    }
    std::string text;
    text.resize(limit + 1);
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(file.gcount()));
    if (text.size() > limit) {
        throw std::invalid_argument(std::string("the ") + what + " " + path + " is too large");
    }
    return text;
}

void ParseListen(const std::string& text, TServerOptions& options)
{
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) {
        throw std::invalid_argument("--listen takes ADDRESS:PORT, not \"" + text + "\"");
    }
    std::string host = text.substr(0, colon);
    if (host.front() == '[') {
        if (host.back() != ']') {
            throw std::invalid_argument("--listen: an IPv6 address goes in brackets, [::1]:8642");
        }
        host = host.substr(1, host.size() - 2);
    } else if (host.find(':') != std::string::npos) {
        throw std::invalid_argument("--listen: an IPv6 address goes in brackets, [::1]:8642");
    }
    unsigned port = 0;
    const std::string portText = text.substr(colon + 1);
    const auto [end, error] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (error != std::errc() || end != portText.data() + portText.size() || port > 65535) {
        throw std::invalid_argument("--listen: the port must be 0..65535, not \"" + portText + "\"");
    }
    options.ListenHost = host;
    options.ListenPort = static_cast<std::uint16_t>(port);
}

void ReadToken(const std::string& path, TServerOptions& options)
{
    std::string token = ReadSmallFile(path, MaxTokenSize, "token file");
    const std::size_t end = token.find_last_not_of(" \t\r\n");
    token.erase(end == std::string::npos ? 0 : end + 1);
    token.erase(0, token.find_first_not_of(" \t\r\n"));
    if (token.empty()) {
        throw std::invalid_argument("the token file " + path + " is empty");
    }
    options.Token = token;
}

void ReadConfig(const std::string& path, TServerOptions& options)
{
    nlohmann::json config;
    try {
        config = nlohmann::json::parse(ReadSmallFile(path, MaxConfigSize, "configuration"));
        if (!config.is_object()) {
            throw std::invalid_argument("the configuration " + path + " is not a JSON object");
        }
        if (config.contains("listen")) {
            ParseListen(config["listen"].get<std::string>(), options);
        }
        for (const nlohmann::json& entry : config.value("registers", nlohmann::json::array())) {
            options.Registers.push_back(RegisterFromJson(entry));
        }
        if (config.contains("stateDir")) {
            options.StateFolder = config["stateDir"].get<std::string>();
        }
        if (config.contains("tokenFile")) {
            ReadToken(config["tokenFile"].get<std::string>(), options);
        }
        for (const nlohmann::json& origin : config.value("allowOrigins", nlohmann::json::array())) {
            options.AllowOrigins.push_back(origin.get<std::string>());
        }
    } catch (const nlohmann::json::exception& e) {
        throw std::invalid_argument("the configuration " + path + ": " + e.what());
    }
}

}  // namespace

bool IsLoopbackHost(const std::string& host)
{
    return host == "localhost" || host == "::1" || host.starts_with("127.");
}

TServerOptions ParseServerOptions(std::span<const std::string> arguments)
{
    TServerOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        if (option == "--help" || option == "-h") {
            options.Help = true;
            return options;
        }
        if (option == "--version") {
            options.Version = true;
            return options;
        }
        if (option == "--install-service" || option == "--remove-service" || option == "--service") {
            options.Service = option == "--install-service"  ? TServerOptions::TServiceAction::Install
                              : option == "--remove-service" ? TServerOptions::TServiceAction::Remove
                                                             : TServerOptions::TServiceAction::Run;
            continue;
        }
        if (i + 1 >= arguments.size()) {
            throw std::invalid_argument("unknown option or missing value: " + option);
        }
        const std::string& value = arguments[++i];
        if (option == "--listen") {
            ParseListen(value, options);
        } else if (option == "--register") {
            options.Registers.push_back(ParseRegisterOption(value));
        } else if (option == "--config") {
            ReadConfig(value, options);
        } else if (option == "--state-dir") {
            options.StateFolder = value;
        } else if (option == "--token-file") {
            ReadToken(value, options);
        } else if (option == "--allow-origin") {
            options.AllowOrigins.push_back(value);
        } else {
            throw std::invalid_argument("unknown option: " + option);
        }
    }
    if (options.Service == TServerOptions::TServiceAction::Remove) {
        return options;
    }
    if (options.Registers.empty()) {
        throw std::invalid_argument("no register configured (--register ID=PORT or --config FILE)");
    }
    if (!IsLoopbackHost(options.ListenHost) && options.Token.empty()) {
        throw std::invalid_argument("listening on " + options.ListenHost +
                                    " lets other machines in: give a token (--token-file FILE)");
    }
    options.StateFolderNamed = !options.StateFolder.empty();
    if (options.StateFolder.empty()) {
        // systemd names the unit's state folder; elsewhere a folder here.
        const std::optional<std::string> systemd = EnvironmentVariable("STATE_DIRECTORY");
        options.StateFolder = systemd && !systemd->empty() ? *systemd : "zarvik12m-state";
    }
    return options;
}

std::vector<std::string> ServiceArguments(std::span<const std::string> arguments, const TServerOptions& options,
                                          const std::string& defaultStateFolder)
{
    std::vector<std::string> result{"--service"};
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        if (option == "--install-service" || option == "--service" || option == "--remove-service") {
            continue;
        }
        result.push_back(option);
        const bool path = option == "--state-dir" || option == "--config" || option == "--token-file";
        const bool valued = path || option == "--listen" || option == "--register" || option == "--allow-origin";
        if (valued && i + 1 < arguments.size()) {
            const std::string& value = arguments[++i];
            result.push_back(path ? std::filesystem::absolute(value).string() : value);
        }
    }
    if (!options.StateFolderNamed && !defaultStateFolder.empty()) {
        result.insert(result.end(), {"--state-dir", defaultStateFolder});
    }
    return result;
}

const char* ServerUsage()
{
    return "Usage: zarvik12m-server [options]\n"
           "Serves cash registers over HTTP with JSON (/api/v1).\n"
           "\n"
           "  --listen ADDR:PORT      address to listen on (default 127.0.0.1:8642; [::1]:8642 for IPv6)\n"
           "  --register ID=PORT[,baud=N][,net=N]\n"
           "                          a register: PORT is a COM number, a device path or a network\n"
           "                          address; baud 9600 and net 1 by default (repeatable)\n"
           "  --config FILE           JSON with listen, registers, stateDir, tokenFile, allowOrigins\n"
           "  --state-dir DIR         where jobs and the error log are kept\n"
           "                          (default $STATE_DIRECTORY, else ./zarvik12m-state)\n"
           "  --token-file FILE       demand Authorization: Bearer <the file's token>\n"
           "                          (required on a non-loopback address)\n"
           "  --allow-origin ORIGIN   let pages of this origin call the API (repeatable)\n"
           "  --install-service       register as a Windows service started with the machine,\n"
           "                          with the other options given (state under ProgramData)\n"
           "  --remove-service        stop and remove the Windows service\n"
           "  --version, --help\n";
}

}  // namespace zarvik12m::server
