#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace zarvik12m::server {

// What a job does with its register.
enum class TJobKind : std::uint8_t { Read, Write, Clear, Properties };

// Where a job stands. Interrupted: it was running when the service ended.
enum class TJobState : std::uint8_t { Queued, Running, Succeeded, Failed, Cancelled, Interrupted };

// The driver's verdict on a failed job: its code and its message (UTF-8).
struct TJobError {
    int Code = 0;
    std::string Message;
};

// One operation on one register, as the service keeps and reports it.
// Times are UTC in ISO 8601 with milliseconds, empty until they happen.
struct TJob {
    std::string Id;
    std::string Register;
    TJobKind Kind = TJobKind::Read;
    TJobState State = TJobState::Queued;
    std::int32_t Position = 0;
    std::int32_t Max = 0;
    std::string Created;
    std::string Started;
    std::string Finished;
    std::optional<TJobError> Error;
    // The outcome of a successful job: the goods read, the count written,
    // the properties; null otherwise.
    nlohmann::json Result;
    // The key the client sent with the request that made the job, if any.
    std::string IdempotencyKey;
};

[[nodiscard]] bool IsFinished(TJobState state) noexcept;

[[nodiscard]] std::string_view KindName(TJobKind kind) noexcept;
[[nodiscard]] std::string_view StateName(TJobState state) noexcept;

// The job as the API shows it; withResult false leaves the result out (job
// lists).
[[nodiscard]] nlohmann::json JobToJson(const TJob& job, bool withResult = true);

// The job as the state folder keeps it (JobToJson and the key); throws
// std::invalid_argument on a record that is not one.
[[nodiscard]] nlohmann::json JobToRecord(const TJob& job);
[[nodiscard]] TJob JobFromRecord(const nlohmann::json& record);

// Now, UTC, "2026-12-09T19:45:00.123Z".
[[nodiscard]] std::string UtcNow();

// A fresh job identifier: 32 hexadecimal digits of randomness.
[[nodiscard]] std::string NewJobId();

}  // namespace zarvik12m::server
