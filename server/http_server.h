#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include "server/api.h"

namespace zarvik12m::server {

// The HTTP/1.1 side of the service: listens on one address, reads each
// request within a time limit and a size limit, hands it to the API and
// writes the API's answer whenever it comes. Logs a line per request.
class THttpServer {
public:
    struct TLimits {
        std::size_t MaxBody = 8U * 1024U * 1024U;
        std::size_t MaxHeader = 16U * 1024U;
        std::chrono::seconds ReadTimeout{30};
    };

    // Binds the address (a name, an IPv4 address or an IPv6 one, with or
    // without brackets) and port (0: any free one); throws
    // std::runtime_error when it cannot.
    THttpServer(const std::string& host, std::uint16_t port, std::ostream& log, TLimits limits);
    ~THttpServer();

    THttpServer(const THttpServer&) = delete;
    THttpServer& operator=(const THttpServer&) = delete;

    [[nodiscard]] std::uint16_t Port() const noexcept;

    // The timers the API waits with.
    [[nodiscard]] TScheduler Scheduler();

    // Serves with the given number of threads until Stop(), SIGINT or
    // SIGTERM.
    void Run(TApi& api, unsigned threads);

    // Ends Run; safe from any thread.
    void Stop() noexcept;

private:
    struct TState;
    std::unique_ptr<TState> FState;
};

}  // namespace zarvik12m::server
