#include "server/api.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <memory>
#include <mutex>
#include <string_view>

#include <nlohmann/json.hpp>

#include "driver/common/cp1251.h"
#include "server/console_route.h"
#include "server/detection.h"
#include "server/goods_formats.h"
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

// %XX and '+' of a query value decoded; a broken escape is kept as it is.
std::string PercentDecoded(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    const auto hex = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                      : -1;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i] == '+' ? ' ' : text[i]);
        }
    }
    return out;
}

constexpr std::string_view AccessTokenParameter = "access_token";

// One Server-Sent Event: its name and its data, one line of JSON.
std::string EventText(std::string_view name, const nlohmann::json& data)
{
    return "event: " + std::string(name) +
           "\ndata: " + data.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n\n";
}

// The events of one job's stream: progress while it changes, the end once.
// Progress older than what was sent (a watcher's calls may cross) is
// dropped.
class TJobEventStream {
public:
    TJobEventStream(std::shared_ptr<TStream> stream, TJobManager& jobs) : FStream(std::move(stream)), FJobs(jobs) {}

    void Deliver(const TJob& job)
    {
        const std::lock_guard lock(FMutex);
        if (FEnded) {
            return;
        }
        bool sent = true;
        if (IsFinished(job.State)) {
            FEnded = true;
            sent = FStream->Send(EventText("end", JobToJson(job)));
            FStream->Close();
        } else {
            const std::string_view state = StateName(job.State);
            const bool newer = FState.empty() ||
                               (job.State == TJobState::Running && FState == StateName(TJobState::Queued)) ||
                               (state == FState && (job.Position > FPosition || job.Max != FMax));
            if (!newer) {
                return;
            }
            FState = StateName(job.State);
            FPosition = job.Position;
            FMax = job.Max;
            sent = FStream->Send(EventText(
                "progress", {{"id", job.Id}, {"state", FState}, {"position", job.Position}, {"max", job.Max}}));
        }
        if (!sent) {
            FEnded = true;
            FStream->Close();
        }
        if (FEnded && FToken != 0) {
            FJobs.Unwatch(FToken);
        }
    }

    // The watch's token, once known: a stream that ended before lets go at
    // once.
    void Watching(std::uint64_t token)
    {
        const std::lock_guard lock(FMutex);
        FToken = token;
        if (FEnded) {
            FJobs.Unwatch(FToken);
        }
    }

private:
    std::shared_ptr<TStream> FStream;
    TJobManager& FJobs;
    std::mutex FMutex;
    bool FEnded = false;
    std::uint64_t FToken = 0;
    std::string_view FState;
    std::int32_t FPosition = 0;
    std::int32_t FMax = 0;
};

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

// 422: the table breaks the rules; nothing was sent.
TApiResponse ProblemsResponse(const std::vector<goods_rules::TGoodsProblem>& problems)
{
    return JsonResponse(422, {{"error", {{"code", OtherCode}, {"message", problems.front().Message}}},
                              {"problems", ProblemsToJson(problems)}});
}

// The table of a body by its Content-Type (JSON without one) or ?format=plu;
// nothing, with the response to give, when the body is not a table.
std::optional<TGoodsBody> GoodsOfBody(const TApiRequest& request, std::string_view query, const TApi::TRespond& respond)
{
    const std::string type = HeaderOf(request, "content-type");
    std::string media = type.substr(0, type.find(';'));
    std::transform(media.begin(), media.end(), media.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    media.erase(media.find_last_not_of(" \t") + 1);
    std::string charset;
    for (std::size_t at = type.find(';'); at != std::string::npos; at = type.find(';', at + 1)) {
        std::string parameter = type.substr(at + 1, type.find(';', at + 1) - at - 1);
        parameter.erase(0, parameter.find_first_not_of(" \t"));
        std::string name = parameter.substr(0, parameter.find('='));
        std::transform(name.begin(), name.end(), name.begin(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
        if (name == "charset" && parameter.find('=') != std::string::npos) {
            charset = parameter.substr(parameter.find('=') + 1);
            std::erase(charset, '"');
            charset.erase(charset.find_last_not_of(" \t") + 1);
        }
    }
    try {
        if (QueryValue(query, "format") == "plu" || media == "application/x-zarvik12m-plu") {
            return GoodsFromPlu(request.Body, charset);
        }
        if (media == "text/csv") {
            return GoodsFromCsv(request.Body, charset);
        }
        if (media.empty() || media == "application/json") {
            return GoodsFromJsonText(request.Body);
        }
    } catch (const EBadGoodsBody& e) {
        respond(ErrorResponse(400, OtherCode, e.what()));
        return std::nullopt;
    }
    respond(
        ErrorResponse(415, OtherCode,
                      "Тип " + media + " не принимается: application/json, text/csv или application/x-zarvik12m-plu"));
    return std::nullopt;
}

// What a read answers with: JSON, the CSV (Accept: text/csv or
// ?format=csv) or the PLU file (?format=plu).
enum class TTableFormat : std::uint8_t { Json, Csv, Plu };

TTableFormat TableFormatOf(const TApiRequest& request, std::string_view query)
{
    const std::string format = QueryValue(query, "format");
    if (format == "plu") {
        return TTableFormat::Plu;
    }
    if (format == "csv" || (format.empty() && HeaderOf(request, "accept").find("text/csv") != std::string::npos)) {
        return TTableFormat::Csv;
    }
    return TTableFormat::Json;
}

// A read's 200 answer in the format asked for; any other answer as it is.
TApiResponse InTableFormat(TApiResponse response, TTableFormat format, const std::string& registerId)
{
    if (format == TTableFormat::Json || response.Status != 200) {
        return response;
    }
    const nlohmann::json body = nlohmann::json::parse(response.Body);
    std::vector<goods_rules::TGoodsProblem> ignored;
    const std::vector<zarvik12m_goods_item> goods = GoodsFromJson(body.at("goods"), ignored);
    TApiResponse out;
    try {
        if (format == TTableFormat::Csv) {
            out.Body = GoodsToCsv(goods);
            out.ContentType = "text/csv; charset=utf-8";
            out.Headers.emplace_back("Content-Disposition", "attachment; filename=\"" + registerId + ".csv\"");
        } else {
            out.Body = GoodsToPlu(goods);
            out.ContentType = "application/x-zarvik12m-plu; charset=windows-1251";
            out.Headers.emplace_back("Content-Disposition", "attachment; filename=\"" + registerId + ".plu\"");
        }
    } catch (const EBadGoodsBody& e) {
        return ErrorResponse(406, OtherCode, e.what());
    }
    out.Headers.emplace_back("X-Job", body.value("job", ""));
    return out;
}

nlohmann::json RulesJson()
{
    std::string nameCharacters;
    for (unsigned byte = 0; byte < 256; ++byte) {
        if (goods_rules::NameKeepsByte(static_cast<std::uint8_t>(byte))) {
            nameCharacters += Cp1251ToUtf8(std::string(1, static_cast<char>(byte)));
        }
    }
    return {{"maxGoods", ZARVIK12M_MAX_GOODS},
            {"nameLength", goods_rules::MaxNameCharacters},
            {"barcodeLength", goods_rules::MaxBarcodeCharacters},
            {"priceMax", std::to_string(goods_rules::MaxPriceUnits)},
            {"quantityMax", std::to_string(goods_rules::MaxQuantityThousandths / 1000) + "." +
                                std::to_string(goods_rules::MaxQuantityThousandths % 1000 + 1000).substr(1)},
            {"quantityDecimals", 3},
            {"groupMax", 255},
            {"nameCharacters", nameCharacters}};
}

// The Prometheus text of the service's counters and of its lines now.
TApiResponse MetricsResponse(const TJobCounters& counters, const std::vector<TRegisterStatus>& registers)
{
    std::string text;
    const auto family = [&](std::string_view name, std::string_view type, std::string_view help) {
        text += "# HELP " + std::string(name) + ' ' + std::string(help) + "\n# TYPE " + std::string(name) + ' ' +
                std::string(type) + '\n';
    };
    const auto sample = [&](std::string_view name, const std::string& labels, const std::string& value) {
        text += std::string(name) + '{' + labels + "} " + value + '\n';
    };
    // name="value", the values being names of ours or numbers.
    const auto label = [](std::string_view name, std::string_view value) {
        return std::string(name) + "=\"" + std::string(value) + '"';
    };
    family("zarvik12m_jobs_finished_total", "counter", "Jobs ended since the service started, by kind and state.");
    for (const TJobKind kind : {TJobKind::Read, TJobKind::Write, TJobKind::Clear, TJobKind::Properties}) {
        for (const TJobState state :
             {TJobState::Succeeded, TJobState::Failed, TJobState::Cancelled, TJobState::Interrupted}) {
            const auto found = counters.Finished.find({kind, state});
            sample("zarvik12m_jobs_finished_total",
                   label("kind", KindName(kind)) + ',' + label("state", StateName(state)),
                   std::to_string(found == counters.Finished.end() ? 0 : found->second));
        }
    }
    family("zarvik12m_jobs", "gauge", "Jobs queued or running now, by register.");
    for (const TRegisterStatus& status : registers) {
        sample("zarvik12m_jobs", label("register", status.Setup.Id) + ',' + label("state", "queued"),
               std::to_string(status.Queued));
        sample("zarvik12m_jobs", label("register", status.Setup.Id) + ',' + label("state", "running"),
               status.Busy ? "1" : "0");
    }
    family("zarvik12m_driver_errors_total", "counter", "Driver calls that failed, by the driver's error code.");
    for (const auto& [code, count] : counters.DriverErrors) {
        sample("zarvik12m_driver_errors_total", label("code", std::to_string(code)), std::to_string(count));
    }
    // Per register, each family's samples together.
    const auto perRegister = [&](std::string_view name, const std::string& extra, const auto& values) {
        for (const TRegisterStatus& status : registers) {
            const auto found = values.find(status.Setup.Id);
            const auto value = found == values.end() ? decltype(found->second){} : found->second;
            sample(name, label("register", status.Setup.Id) + extra, nlohmann::json(value).dump());
        }
    };
    family("zarvik12m_driver_calls_total", "counter",
           "Exchanges with a register: driver calls (one per job that ran), by register.");
    perRegister("zarvik12m_driver_calls_total", "", counters.DriverCalls);
    family("zarvik12m_driver_seconds_total", "counter", "Time spent in driver calls, by register.");
    perRegister("zarvik12m_driver_seconds_total", "", counters.DriverSeconds);
    family("zarvik12m_goods_entries_total", "counter", "Goods entries read from and written to the registers.");
    perRegister("zarvik12m_goods_entries_total", ',' + label("direction", "read"), counters.EntriesRead);
    perRegister("zarvik12m_goods_entries_total", ',' + label("direction", "written"), counters.EntriesWritten);
    TApiResponse response;
    response.ContentType = "text/plain; version=0.0.4; charset=utf-8";
    response.Body = std::move(text);
    return response;
}

TApiResponse AcceptedResponse(const TJob& job)
{
    TApiResponse response = JsonResponse(202, JobToJson(job));
    response.Headers.emplace_back("Location", std::string(ApiPrefix) + "jobs/" + job.Id);
    return response;
}

}  // namespace

std::string LoggableTarget(std::string_view target)
{
    std::string out(target);
    const std::size_t question = out.find('?');
    if (question == std::string::npos) {
        return out;
    }
    for (std::size_t at = out.find(AccessTokenParameter, question); at != std::string::npos;
         at = out.find(AccessTokenParameter, at + 1)) {
        const std::size_t value = at + AccessTokenParameter.size();
        if ((out[at - 1] == '?' || out[at - 1] == '&') && value < out.size() && out[value] == '=') {
            const std::size_t end = out.find('&', value);
            out.replace(value + 1, (end == std::string::npos ? out.size() : end) - value - 1, "***");
        }
    }
    return out;
}

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
    if (header.starts_with(Bearer)) {
        return SameSecret(std::string_view(header).substr(Bearer.size()), FSettings.Token);
    }
    // An EventSource cannot send headers: a job's events take the token in
    // the query as well (and only they: a token in an address ends up in
    // histories and logs).
    const std::string_view target = request.Target;
    const std::size_t question = target.find('?');
    const std::string_view path = target.substr(0, question);
    if (question == std::string_view::npos || request.Method != "GET" || !path.starts_with("/api/v1/jobs/") ||
        !path.ends_with("/events")) {
        return false;
    }
    const std::string given = PercentDecoded(QueryValue(target.substr(question + 1), AccessTokenParameter));
    return !given.empty() && SameSecret(given, FSettings.Token);
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
    const bool metrics = path == "/metrics";
    if (!path.starts_with(ApiPrefix) && !metrics) {
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
    if (metrics) {
        respond(method == "GET" ? MetricsResponse(FJobs.Counters(), FJobs.Registers())
                                : ErrorResponse(405, OtherCode, "Метод не поддерживается"));
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
                const TTableFormat format = TableFormatOf(request, query);
                Submit(request, registerId, TJobKind::Read, {}, [respond, format, registerId](TApiResponse response) {
                    respond(InTableFormat(std::move(response), format, registerId));
                });
            } else if (method == "DELETE") {
                Submit(request, registerId, TJobKind::Clear, {}, respond);
            } else if (method == "PUT") {
                std::optional<TGoodsBody> body = GoodsOfBody(request, query, respond);
                if (!body) {
                    return;
                }
                if (!body->Problems.empty()) {
                    respond(ProblemsResponse(body->Problems));
                    return;
                }
                std::vector<zarvik12m_goods_item> goods = std::move(body->Goods);
                Submit(request, registerId, TJobKind::Write, std::move(goods), respond);
            } else {
                methodNotAllowed();
            }
            return;
        }
        if (parts.size() >= 3 && parts[2] == "snapshots") {
            Snapshots(request, registerId, std::vector<std::string_view>(parts.begin() + 3, parts.end()), respond);
            return;
        }
    }
    if (parts.size() == 1 && parts[0] == "detect") {
        if (method != "POST") {
            respond(ErrorResponse(405, OtherCode, "Метод не поддерживается"));
            return;
        }
        Detection(request, respond);
        return;
    }
    if (parts.size() == 2 && parts[0] == "goods") {
        if (parts[1] == "rules" && method == "GET") {
            respond(JsonResponse(200, RulesJson()));
        } else if (parts[1] == "check" && method == "POST") {
            // Nothing goes to any register: the verdict on the table only.
            const std::optional<TGoodsBody> body = GoodsOfBody(request, query, respond);
            if (body) {
                respond(JsonResponse(
                    200, {{"goods", GoodsToJson(body->Goods)}, {"problems", ProblemsToJson(body->Problems)}}));
            }
        } else if (parts[1] == "rules" || parts[1] == "check") {
            methodNotAllowed();
        } else {
            respond(ErrorResponse(404, OtherCode, "Нет такого адреса"));
        }
        return;
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
    if (parts.size() == 3 && parts[0] == "jobs" && parts[2] == "events") {
        if (method != "GET") {
            return methodNotAllowed();
        }
        JobEvents(std::string(parts[1]), respond);
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

void TApi::JobEvents(const std::string& id, const TRespond& respond)
{
    if (!FJobs.Find(id)) {
        respond(ErrorResponse(404, OtherCode, "Нет такого задания: " + id));
        return;
    }
    TApiResponse response;
    response.ContentType = "text/event-stream";
    response.Stream = [&jobs = FJobs, id](const std::shared_ptr<TStream>& stream) {
        auto events = std::make_shared<TJobEventStream>(stream, jobs);
        const std::uint64_t token = jobs.Watch(id, [events](const TJob& job) { events->Deliver(job); });
        if (token == 0) {
            stream->Close();
            return;
        }
        events->Watching(token);
    };
    respond(std::move(response));
}

void TApi::Snapshots(const TApiRequest& request, const std::string& registerId,
                     const std::vector<std::string_view>& rest, const TRespond& respond)
{
    const TSnapshotStore* store = FJobs.Snapshots();
    const auto methodNotAllowed = [&] { respond(ErrorResponse(405, OtherCode, "Метод не поддерживается")); };
    if (rest.empty()) {
        if (request.Method != "GET") {
            return methodNotAllowed();
        }
        nlohmann::json list = nlohmann::json::array();
        for (const TSnapshotInfo& info : store != nullptr ? store->List(registerId) : std::vector<TSnapshotInfo>()) {
            list.push_back({{"id", info.Id}, {"created", info.Created}, {"count", info.Count}});
        }
        respond(JsonResponse(200, {{"snapshots", list}}));
        return;
    }
    const std::string id(rest[0]);
    std::optional<nlohmann::json> snapshot;
    if (store != nullptr && rest.size() <= 2) {
        snapshot = store->Find(registerId, id);
    }
    if (!snapshot) {
        respond(ErrorResponse(404, OtherCode, "Нет такого снимка: " + id));
        return;
    }
    if (rest.size() == 1) {
        if (request.Method != "GET") {
            return methodNotAllowed();
        }
        respond(JsonResponse(200, *snapshot));
        return;
    }
    if (rest[1] != "restore") {
        respond(ErrorResponse(404, OtherCode, "Нет такого адреса"));
        return;
    }
    if (request.Method != "POST") {
        return methodNotAllowed();
    }
    std::vector<goods_rules::TGoodsProblem> problems;
    std::vector<zarvik12m_goods_item> goods = GoodsFromJson(snapshot->at("goods"), problems);
    if (!problems.empty()) {
        respond(ProblemsResponse(problems));
        return;
    }
    Submit(request, registerId, TJobKind::Write, std::move(goods), respond);
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

void TApi::Detection(const TApiRequest& request, const TRespond& respond)
{
    TDetectRequest detect;
    try {
        detect = DetectRequestFromBody(request.Body);
    } catch (const std::invalid_argument& e) {
        respond(ErrorResponse(400, OtherCode, e.what()));
        return;
    }
    // Two searches at once would open each other's devices.
    if (FDetecting.exchange(true)) {
        respond(ErrorResponse(409, OtherCode, "Поиск ККМ уже идёт"));
        return;
    }
    nlohmann::json found;
    try {
        std::vector<TRegisterSetup> registers;
        for (const TRegisterStatus& status : FJobs.Registers()) {
            registers.push_back(status.Setup);
        }
        found = Detect(detect, registers);
    } catch (...) {
        FDetecting.store(false);
        throw;
    }
    FDetecting.store(false);
    respond(JsonResponse(200, found));
}

}  // namespace zarvik12m::server
