#include "tests/utility/support/ser2net.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace zarvik12m::testing {

namespace {

using TClock = std::chrono::steady_clock;

const std::filesystem::path Ser2netProgram = "/usr/sbin/ser2net";
constexpr std::uint16_t FirstPort = 20000;
constexpr std::uint16_t PortRange = 40000;

// Whether something listens on the loopback port, as the kernel lists
// its sockets: a connection to find out would start a session of
// ser2net's, whose ending could still hold the line when the test connects.
bool Listening(std::uint16_t port)
{
    char wanted[8];
    std::snprintf(wanted, sizeof wanted, ":%04X", static_cast<unsigned>(port));
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream file(table);
        std::string line;
        std::getline(file, line);  // the heading
        while (std::getline(file, line)) {
            std::istringstream fields(line);
            std::string slot;
            std::string local;
            std::string remote;
            std::string state;
            fields >> slot >> local >> remote >> state;
            if (state == "0A" && local.ends_with(wanted)) {
                return true;
            }
        }
    }
    return false;
}

std::string LoopbackAddress(const char* scheme, std::uint16_t port)
{
    return std::string(scheme) + "127.0.0.1:" + std::to_string(port);
}

}  // namespace

std::uint16_t UnusedLoopbackPort()
{
    // Spread over the processes that CTest runs side by side.
    static unsigned next = static_cast<unsigned>(getpid()) * 7919U;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto port = static_cast<std::uint16_t>(FirstPort + (next++ % PortRange));
        if (!Listening(port)) {
            return port;
        }
    }
    throw std::runtime_error("no unused loopback port");
}

bool TSer2net::Installed()
{
    return access(Ser2netProgram.c_str(), X_OK) == 0;
}

TSer2net::TSer2net(const std::filesystem::path& device, std::uint32_t lineRate) : FDevice(device), FLineRate(lineRate)
{
    // Another program may take a port between the look and ser2net's
    // start; then ser2net serves only the other, and new ports are tried.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (Start(UnusedLoopbackPort(), UnusedLoopbackPort())) {
            return;
        }
    }
    throw std::runtime_error("ser2net did not come up");
}

TSer2net::~TSer2net()
{
    Kill();
}

bool TSer2net::Start(std::uint16_t rawPort, std::uint16_t rfc2217Port)
{
    Kill();
    if (rawPort == rfc2217Port) {
        return false;
    }
    FRawPort = rawPort;
    FRfc2217Port = rfc2217Port;
    const std::filesystem::path configuration = FDirectory.Path() / "ser2net.yaml";
    {
        std::ofstream file(configuration, std::ios::trunc);
        // Without the character delay ser2net holds received bytes back for
        // a few character times, hoping for more, which would slow every
        // exchange.
        const std::string connector = "  connector: serialdev," + FDevice.string() + "," + std::to_string(FLineRate) +
                                      "n81,local\n  options:\n    chardelay: false\n";
        file << "%YAML 1.1\n---\n"
             << "connection: &raw\n  accepter: tcp,127.0.0.1," << rawPort << "\n"
             << connector << "connection: &rfc2217\n  accepter: telnet(rfc2217),tcp,127.0.0.1," << rfc2217Port << "\n"
             << connector;
    }
    TProcessOptions options;
    options.Program = Ser2netProgram;
    // In the foreground, without UUCP locks (the line is a test's own), with
    // the process id kept out of the system's folders.
    options.Arguments = {"-n", "-u", "-c", configuration.string(), "-P", (FDirectory.Path() / "ser2net.pid").string()};
    FProcess = std::make_unique<TChildProcess>(options);
    // Polled: ser2net says nothing when it listens.
    const TClock::time_point deadline = TClock::now() + std::chrono::seconds(10);
    while (TClock::now() < deadline) {
        if (Listening(FRawPort) && Listening(FRfc2217Port)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::string TSer2net::RawAddress() const
{
    return LoopbackAddress("tcp://", FRawPort);
}

std::string TSer2net::Rfc2217Address() const
{
    return LoopbackAddress("rfc2217://", FRfc2217Port);
}

void TSer2net::Kill()
{
    if (FProcess) {
        static_cast<void>(kill(FProcess->Id(), SIGKILL));
        static_cast<void>(FProcess->Finish(std::chrono::seconds(10)));
        FProcess.reset();
    }
}

}  // namespace zarvik12m::testing
