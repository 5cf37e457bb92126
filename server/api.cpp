#include "server/api.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <memory>
#include <string_view>

#include <nlohmann/json.hpp>

#include "server/console_route.h"
#include "server/goods_json.h"

namespace zarvik12m::server {

namespace {

constexpr int OtherCode = ZARVIK12M_ERROR_OTHER;
constexpr std::size_t JobListLimit = 100;
constexpr std::size_t MaxKeyLength = 200;
constexpr std::string_view ApiPrefix = "/api/v1/";

TApiResponse JsonResponse(int status, const nlohmann::json& body)
{
    TApiResponse response;
    response.Status = status;
    response.Body = body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return response;
}

std::vector<std::string_view> PathParts(std::string_view path)
{
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        if (!part.empty()) {
            parts.push_back(part);
        }
        if (slash == std::string_view::npos) {
            break;
        }
        path.remove_prefix(slash + 1);
    }
    return parts;
}

// The value of a query parameter, undecoded ("" when absent).
std::string QueryValue(std::string_view query, std::string_view name)
{
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        if (pair.starts_with(name) && pair.size() > name.size() && pair[name.size()] == '=') {
            return std::string(pair.substr(name.size() + 1));
        }
        if (amp == std::string_view::npos) {
            break;
        }
        query.remove_prefix(amp + 1);
    }
    return {};
}

// Compares without leaking through its time where the texts differ.
bool SameSecret(std::string_view given, std::string_view expected)
{
    unsigned difference = given.size() == expected.size() ? 0U : 1U;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const char g = i < given.size() ? given[i] : '\0';
        difference |= static_cast<unsigned>(static_cast<unsigned char>(g) ^ static_cast<unsigned char>(expected[i]));
    }
    return difference == 0;
}

std::string HeaderOf(const TApiRequest& request, const std::string& name)
{
    const auto found = request.Headers.find(name);
    return found == request.Headers.end() ? std::string() : found->second;
}

nlohmann::json RegisterJson(const TRegisterStatus& status)
{
    return {{"id", status.Setup.Id},
            {"port", status.Setup.Port},
            {"baud", status.Setup.Baud},
            {"net", status.Setup.Net},
            {"state", status.Busy ? "busy" : "idle"},
            {"queued", status.Queued}};
}

// The response to a job that ended within the wait: its result with 200,
// or its error.
TApiResponse FinishedResponse(const TJob& job)
{
    if (job.State == TJobState::Succeeded) {
        nlohmann::json body = job.Result.is_object() ? job.Result : nlohmann::json::object();
        body["job"] = job.Id;
        return JsonResponse(200, body);
    }
    const int status = job.State == TJobState::Cancelled ? 409 : job.State == TJobState::Interrupted ? 503 : 502;
    const TJobError error = job.Error.value_or(TJobError{OtherCode, "Задание не выполнено"});
    return JsonResponse(status, {{"error", {{"code", error.Code}, {"message", error.Message}}}, {"job", job.Id}});
}

TApiResponse AcceptedResponse(const TJob& job)
{
    TApiResponse response = JsonResponse(202, JobToJson(job));
    response.Headers.emplace_back("Location", std::string(ApiPrefix) + "jobs/" + job.Id);
    return response;
}

}  // namespace

TApiResponse ErrorResponse(int status, int code, const std::string& message)
{
    return JsonResponse(status, {{"error", {{"code", code}, {"message", message}}}});
}

TApi::TApi(TJobManager& jobs, TApiSettings settings, TScheduler scheduler)
    : FJobs(jobs), FSettings(std::move(settings)), FScheduler(std::move(scheduler))
{}

bool TApi::Authorized(const TApiRequest& request) const
{
    if (FSettings.Token.empty()) {
        return true;
    }
    const std::string header = HeaderOf(request, "authorization");
    constexpr std::string_view Bearer = "Bearer ";
    return header.starts_with(Bearer) && SameSecret(std::string_view(header).substr(Bearer.size()), FSettings.Token);
}

void TApi::AddCors(const TApiRequest& request, TApiResponse& response) const
{
    const std::string origin = HeaderOf(request, "origin");
    if (origin.empty() || std::find(FSettings.AllowOrigins.begin(), FSettings.AllowOrigins.end(), origin) ==
                              FSettings.AllowOrigins.end()) {
        return;
    }
    response.Headers.emplace_back("Access-Control-Allow-Origin", origin);
    response.Headers.emplace_back("Vary", "Origin");
    response.Headers.emplace_back("Access-Control-Expose-Headers", "Location");
    if (request.Method == "OPTIONS") {
        response.Headers.emplace_back("Access-Control-Allow-Methods", "GET, PUT, POST, DELETE, OPTIONS");
        response.Headers.emplace_back("Access-Control-Allow-Headers",
                                      "Authorization, Content-Type, Idempotency-Key, Accept");
        response.Headers.emplace_back("Access-Control-Max-Age", "600");
        if (HeaderOf(request, "access-control-request-private-network") == "true") {
            response.Headers.emplace_back("Access-Control-Allow-Private-Network", "true");
        }
    }
}

void TApi::Handle(const TApiRequest& request, TRespond respond)
{
    // Every response, however late, carries the CORS headers of its request.
    auto withCors = [this, request, respond = std::move(respond)](TApiResponse response) {
        AddCors(request, response);
        respond(std::move(response));
    };
    try {
        Route(request, withCors);
    } catch (const std::exception& e) {
        withCors(ErrorResponse(500, OtherCode, e.what()));
    }
}

void TApi::Route(const TApiRequest& request, const TRespond& respond)
{
    const std::string_view target = request.Target;
    const std::size_t question = target.find('?');
    const std::string_view path = target.substr(0, question);
    const std::string_view query =
        question == std::string_view::npos ? std::string_view() : target.substr(question + 1);
    const std::string& method = request.Method;

    if (method == "OPTIONS") {
        const bool allowed = std::find(FSettings.AllowOrigins.begin(), FSettings.AllowOrigins.end(),
                                       HeaderOf(request, "origin")) != FSettings.AllowOrigins.end();
        TApiResponse response;
        response.Status = allowed ? 204 : 403;
        respond(std::move(response));
        return;
    }
    if (path == "/healthz") {
        respond(JsonResponse(200, {{"status", "ok"}}));
        return;
    }
    if (!path.starts_with(ApiPrefix)) {
        std::optional<TApiResponse> page = ConsoleResponse(method, path);
        respond(page ? std::move(*page) : ErrorResponse(404, OtherCode, "Нет такого адреса"));
        return;
    }
    if (!Authorized(request)) {
        TApiResponse response = ErrorResponse(401, OtherCode, "Нужен токен доступа (Authorization: Bearer ...)");
        response.Headers.emplace_back("WWW-Authenticate", "Bearer");
        respond(std::move(response));
        return;
    }
    const std::vector<std::string_view> parts = PathParts(path.substr(ApiPrefix.size()));
    const auto methodNotAllowed = [&] { respond(ErrorResponse(405, OtherCode, "Метод не поддерживается")); };

    if (parts.size() == 1 && parts[0] == "registers") {
        if (method != "GET") {
            return methodNotAllowed();
        }
        nlohmann::json list = nlohmann::json::array();
        for (const TRegisterStatus& status : FJobs.Registers()) {
            list.push_back(RegisterJson(status));
        }
        respond(JsonResponse(200, {{"registers", list}}));
        return;
    }
    if (parts.size() >= 2 && parts[0] == "registers") {
        const std::string registerId(parts[1]);
        if (!FJobs.FindRegister(registerId)) {
            respond(ErrorResponse(404, OtherCode, "Нет такой ККМ: " + registerId));
            return;
        }
        if (parts.size() == 2) {
            if (method != "GET") {
                return methodNotAllowed();
            }
            RegisterDetail(request, registerId, respond);
            return;
        }
        if (parts.size() == 3 && parts[2] == "goods") {
            if (method == "GET") {
                Submit(request, registerId, TJobKind::Read, {}, respond);
            } else if (method == "DELETE") {
                Submit(request, registerId, TJobKind::Clear, {}, respond);
            } else if (method == "PUT") {
                nlohmann::json body;
                try {
                    body = nlohmann::json::parse(request.Body);
                } catch (const nlohmann::json::parse_error& e) {
                    respond(ErrorResponse(400, OtherCode,
                                          "Неверный JSON, байт " + std::to_string(e.byte) + ": " + e.what()));
                    return;
                }
                std::vector<goods_rules::TGoodsProblem> problems;
                std::vector<zarvik12m_goods_item> goods = GoodsFromJson(body, problems);
                if (!problems.empty()) {
                    TApiResponse response = ErrorResponse(422, OtherCode, problems.front().Message);
                    nlohmann::json withProblems = nlohmann::json::parse(response.Body);
                    withProblems["problems"] = ProblemsToJson(problems);
                    respond(JsonResponse(422, withProblems));
                    return;
                }
                Submit(request, registerId, TJobKind::Write, std::move(goods), respond);
            } else {
                methodNotAllowed();
            }
            return;
        }
    }
    if (parts.size() == 1 && parts[0] == "jobs") {
        if (method != "GET") {
            return methodNotAllowed();
        }
        nlohmann::json list = nlohmann::json::array();
        for (const TJob& job : FJobs.List(QueryValue(query, "register"), JobListLimit)) {
            list.push_back(JobToJson(job, false));
        }
        respond(JsonResponse(200, {{"jobs", list}}));
        return;
    }
    if (parts.size() == 2 && parts[0] == "jobs") {
        const std::string id(parts[1]);
        std::optional<TJob> job;
        if (method == "GET") {
            job = FJobs.Find(id);
        } else if (method == "DELETE") {
            job = FJobs.Cancel(id);
        } else {
            return methodNotAllowed();
        }
        if (!job) {
            respond(ErrorResponse(404, OtherCode, "Нет такого задания: " + id));
            return;
        }
        respond(JsonResponse(200, JobToJson(*job)));
        return;
    }
    respond(ErrorResponse(404, OtherCode, "Нет такого адреса"));
}

void TApi::Submit(const TApiRequest& request, const std::string& registerId, TJobKind kind,
                  std::vector<zarvik12m_goods_item> goods, const TRespond& respond)
{
    const std::string target = request.Target;
    std::chrono::milliseconds wait = DefaultWait;
    const std::size_t question = target.find('?');
    if (question != std::string::npos) {
        const std::string text = QueryValue(std::string_view(target).substr(question + 1), "wait");
        if (!text.empty()) {
            double seconds = 0;
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
            if (error != std::errc() || end != text.data() + text.size() || !(seconds >= 0)) {
                respond(ErrorResponse(400, OtherCode, "wait: число секунд, не \"" + text + "\""));
                return;
            }
            wait = std::chrono::milliseconds(
                static_cast<long long>(std::min(seconds, static_cast<double>(MaxWait.count())) * 1000));
        }
    }
    std::string key = HeaderOf(request, "idempotency-key");
    if (key.size() > MaxKeyLength) {
        respond(ErrorResponse(400, OtherCode, "Idempotency-Key длиннее 200 символов"));
        return;
    }
    // A read is repeated freely: a key counts for changes only.
    if (kind == TJobKind::Read || kind == TJobKind::Properties) {
        key.clear();
    }
    const std::optional<TJobManager::TSubmission> submission = FJobs.Submit(registerId, kind, std::move(goods), key);
    if (!submission) {
        respond(ErrorResponse(404, OtherCode, "Нет такой ККМ: " + registerId));
        return;
    }
    const TJob& job = submission->Job;
    if (wait.count() == 0 || IsFinished(job.State)) {
        respond(IsFinished(job.State) ? FinishedResponse(*FJobs.Find(job.Id)) : AcceptedResponse(job));
        return;
    }
    // Whichever comes first, the job's end or the end of the wait, answers.
    struct TRace {
        std::atomic<bool> Answered{false};
        std::atomic<std::uint64_t> Token{0};
    };
    auto race = std::make_shared<TRace>();
    const std::string id = job.Id;
    const std::uint64_t token = FJobs.WhenFinished(id, [race, respond](const TJob& finished) {
        if (!race->Answered.exchange(true)) {
            respond(FinishedResponse(finished));
        }
    });
    race->Token = token;
    FScheduler(wait, [this, race, respond, id] {
        if (!race->Answered.exchange(true)) {
            FJobs.ForgetWaiter(race->Token);
            const std::optional<TJob> now = FJobs.Find(id);
            respond(now ? AcceptedResponse(*now) : ErrorResponse(404, OtherCode, "Нет такого задания: " + id));
        }
    });
}

void TApi::RegisterDetail(const TApiRequest& request, const std::string& registerId, const TRespond& respond)
{
    nlohmann::json detail;
    for (const TRegisterStatus& status : FJobs.Registers()) {
        if (status.Setup.Id == registerId) {
            detail = RegisterJson(status);
        }
    }
    Submit(request, registerId, TJobKind::Properties, {}, [detail, respond](const TApiResponse& answer) {
        nlohmann::json body = detail;
        const nlohmann::json result = nlohmann::json::parse(answer.Body, nullptr, false);
        if (answer.Status == 200) {
            body["properties"] = {{"deviceName", result.value("deviceName", "")},
                                  {"serialNumber", result.value("serialNumber", "")},
                                  {"maxGoods", result.value("maxGoods", 0)}};
        } else if (result.is_object() && result.contains("error")) {
            body["error"] = result["error"];
        } else if (result.is_object()) {
            body["job"] = result;
        }
        respond(JsonResponse(200, body));
    });
}

}  // namespace zarvik12m::server
