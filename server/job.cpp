#include "server/job.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <random>
#include <stdexcept>

namespace zarvik12m::server {

namespace {

constexpr std::array<std::string_view, 4> KindNames = {"read", "write", "clear", "properties"};
constexpr std::array<std::string_view, 6> StateNames = {"queued", "running",   "succeeded",
                                                        "failed", "cancelled", "interrupted"};

template <class TEnum, std::size_t N>
TEnum EnumOf(const std::array<std::string_view, N>& names, const std::string& name)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (names[i] == name) {
            return static_cast<TEnum>(i);
        }
    }
    throw std::invalid_argument("unknown value \"" + name + "\"");
}

}  // namespace

bool IsFinished(TJobState state) noexcept
{
    return state != TJobState::Queued && state != TJobState::Running;
}

std::string_view KindName(TJobKind kind) noexcept
{
    return KindNames[static_cast<std::size_t>(kind)];
}

std::string_view StateName(TJobState state) noexcept
{
    return StateNames[static_cast<std::size_t>(state)];
}

nlohmann::json JobToJson(const TJob& job, bool withResult)
{
    nlohmann::json out = {
        {"id", job.Id},
        {"register", job.Register},
        {"kind", KindName(job.Kind)},
        {"state", StateName(job.State)},
        {"position", job.Position},
        {"max", job.Max},
        {"created", job.Created},
        {"started", job.Started.empty() ? nlohmann::json() : nlohmann::json(job.Started)},
        {"finished", job.Finished.empty() ? nlohmann::json() : nlohmann::json(job.Finished)},
    };
    if (job.Error) {
        out["error"] = {{"code", job.Error->Code}, {"message", job.Error->Message}};
    }
    if (withResult && !job.Result.is_null()) {
        out["result"] = job.Result;
    }
    return out;
}

nlohmann::json JobToRecord(const TJob& job)
{
    nlohmann::json record = JobToJson(job);
    if (!job.IdempotencyKey.empty()) {
        record["idempotencyKey"] = job.IdempotencyKey;
    }
    return record;
}

TJob JobFromRecord(const nlohmann::json& record)
{
    try {
        TJob job;
        job.Id = record.at("id").get<std::string>();
        job.Register = record.at("register").get<std::string>();
        job.Kind = EnumOf<TJobKind>(KindNames, record.at("kind").get<std::string>());
        job.State = EnumOf<TJobState>(StateNames, record.at("state").get<std::string>());
        job.Position = record.at("position").get<std::int32_t>();
        job.Max = record.at("max").get<std::int32_t>();
        job.Created = record.at("created").get<std::string>();
        job.Started = record.value("started", nlohmann::json()).is_string() ? record["started"].get<std::string>() : "";
        job.Finished =
            record.value("finished", nlohmann::json()).is_string() ? record["finished"].get<std::string>() : "";
        if (record.contains("error")) {
            job.Error =
                TJobError{record["error"].at("code").get<int>(), record["error"].at("message").get<std::string>()};
        }
        job.Result = record.value("result", nlohmann::json());
        job.IdempotencyKey = record.value("idempotencyKey", std::string());
        if (job.Id.empty()) {
            throw std::invalid_argument("a job without an id");
        }
        return job;
    } catch (const nlohmann::json::exception& e) {
        throw std::invalid_argument(e.what());
    }
}

std::string UtcNow()
{
    using namespace std::chrono;
    const auto now = time_point_cast<milliseconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss time{now - day};
    std::array<char, 96> text{};
    static_cast<void>(std::snprintf(
        text.data(), text.size(), "%04d-%02u-%02uT%02ld:%02ld:%02ld.%03ldZ", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()), static_cast<long>(time.hours().count()),
        static_cast<long>(time.minutes().count()), static_cast<long>(time.seconds().count()),
        static_cast<long>(time.subseconds().count())));
    return text.data();
}

std::string NewJobId()
{
    thread_local std::mt19937_64 generator{(std::uint64_t{std::random_device{}()} << 32U) ^ std::random_device{}()};
    std::array<char, 33> text{};
    static_cast<void>(std::snprintf(text.data(), text.size(), "%016llx%016llx",
                                    static_cast<unsigned long long>(generator()),
                                    static_cast<unsigned long long>(generator())));
    return text.data();
}

}  // namespace zarvik12m::server
