#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "server/job_manager.h"

namespace zarvik12m::server {

// An HTTP request as the API sees it: header names in lower case.
struct TApiRequest {
    std::string Method;
    std::string Target;  // path and query
    std::map<std::string, std::string> Headers;
    std::string Body;
};

// The sending end of a response whose body goes out in pieces as they come
// (Server-Sent Events), given by the transport. Safe from any thread.
class TStream {
public:
    virtual ~TStream() = default;

    // Queues a piece for the client; false once the client has gone.
    virtual bool Send(std::string piece) = 0;

    // Ends the response once the pieces queued are sent.
    virtual void Close() = 0;
};

struct TApiResponse {
    int Status = 200;
    std::string ContentType = "application/json";
    std::vector<std::pair<std::string, std::string>> Headers;
    std::string Body;
    // Set for a streamed response: called once the head is sent, with the
    // stream its body goes through (Body is not sent, and the connection
    // ends with the stream).
    std::function<void(std::shared_ptr<TStream>)> Stream;
};

struct TApiSettings {
    std::string Token;                      // empty: no token asked for
    std::vector<std::string> AllowOrigins;  // origins allowed by CORS
};

// Runs a callback once a time has passed, on a thread of the caller's
// choosing (the HTTP transport's timers).
using TScheduler = std::function<void(std::chrono::milliseconds, std::function<void()>)>;

// The service's API, /api/v1 and /healthz, without the transport: each
// request gets exactly one response through respond, at once or, when it
// waits for a job, later from another thread.
class TApi {
public:
    using TRespond = std::function<void(TApiResponse)>;

    // The longest ?wait= taken, and the one without it.
    static constexpr std::chrono::seconds MaxWait{300};
    static constexpr std::chrono::seconds DefaultWait{30};

    TApi(TJobManager& jobs, TApiSettings settings, TScheduler scheduler);

    void Handle(const TApiRequest& request, TRespond respond);

private:
    void Route(const TApiRequest& request, const TRespond& respond);
    void Submit(const TApiRequest& request, const std::string& registerId, TJobKind kind,
                std::vector<zarvik12m_goods_item> goods, const TRespond& respond);
    void Snapshots(const TApiRequest& request, const std::string& registerId, const std::vector<std::string_view>& rest,
                   const TRespond& respond);
    void JobEvents(const std::string& id, const TRespond& respond);
    void RegisterDetail(const TApiRequest& request, const std::string& registerId, const TRespond& respond);
    void Detection(const TApiRequest& request, const TRespond& respond);
    [[nodiscard]] bool Authorized(const TApiRequest& request) const;
    void AddCors(const TApiRequest& request, TApiResponse& response) const;

    TJobManager& FJobs;
    TApiSettings FSettings;
    TScheduler FScheduler;
    std::atomic<bool> FDetecting{false};  // one search of the devices at a time
};

// The request's target as it may be logged: an access_token in its query
// replaced by "***".
[[nodiscard]] std::string LoggableTarget(std::string_view target);

// {"error": {"code": code, "message": message}} with the status.
[[nodiscard]] TApiResponse ErrorResponse(int status, int code, const std::string& message);

}  // namespace zarvik12m::server
