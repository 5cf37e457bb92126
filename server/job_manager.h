#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "server/job.h"
#include "server/job_store.h"
#include "server/register_setup.h"
#include "server/snapshot_store.h"
#include "zarvik12m/zarvik12m.h"

namespace zarvik12m::server {

// A register's state as the API lists it.
struct TRegisterStatus {
    TRegisterSetup Setup;
    bool Busy = false;
    std::size_t Queued = 0;
};

// What the service has done since it started, for /metrics.
struct TJobCounters {
    std::map<std::pair<TJobKind, TJobState>, std::uint64_t> Finished;  // jobs ended, by kind and state
    std::map<int, std::uint64_t> DriverErrors;                         // failed driver calls, by code
    std::map<std::string, std::uint64_t> DriverCalls;                  // by register
    std::map<std::string, double> DriverSeconds;                       // by register
    std::map<std::string, std::uint64_t> EntriesRead;                  // by register
    std::map<std::string, std::uint64_t> EntriesWritten;               // by register
};

// The service's jobs: one queue and one thread per line (registers on the
// same port share them, so their jobs run in turn; different lines run at
// the same time), every change kept in the store, a job asked for twice
// with the same idempotency key made once, waits and cancellation.
//
// Jobs found in the store at start that were queued or running are
// reported interrupted, with the position they had reached.
class TJobManager {
public:
    using TCallback = std::function<void(const TJob&)>;
    // The driver call of a job: by default the C interface
    // (RunDriverJob); tests may put their own.
    using TRunner =
        std::function<struct TDriverOutcome(const TRegisterSetup&, TJobKind, const std::vector<zarvik12m_goods_item>&)>;

    // The most jobs kept; beyond it the oldest finished ones are forgotten.
    static constexpr std::size_t MaxJobs = 500;

    // Every successful read is kept in snapshots, when given.
    TJobManager(std::vector<TRegisterSetup> registers, TJobStore store, std::ostream& log, TRunner runner = {},
                TSnapshotStore* snapshots = nullptr);

    // Stops every running job through the driver and waits for the lines'
    // threads; queued jobs stay queued in the store (and are reported
    // interrupted at the next start).
    ~TJobManager();

    TJobManager(const TJobManager&) = delete;
    TJobManager& operator=(const TJobManager&) = delete;

    struct TSubmission {
        TJob Job;
        bool Repeated = false;  // the key had made this job already
    };

    // Queues a job (goods: the table of a write). With a key that an earlier
    // job was made with, that job is returned and nothing is queued. Nothing
    // when the register is unknown.
    std::optional<TSubmission> Submit(const std::string& registerId, TJobKind kind,
                                      std::vector<zarvik12m_goods_item> goods, const std::string& idempotencyKey);

    [[nodiscard]] std::optional<TJob> Find(const std::string& id) const;

    // The register's jobs (every job for an empty id), newest first, at most
    // limit, without their results.
    [[nodiscard]] std::vector<TJob> List(const std::string& registerId, std::size_t limit) const;

    // Cancels a queued job at once; asks a running one to stop (it ends
    // cancelled when the driver stops it, or as it ends otherwise). The job
    // as it then is; nothing for an unknown job.
    std::optional<TJob> Cancel(const std::string& id);

    // Calls back once, from the thread that finishes the job (or at once
    // when it is finished), unless the waiter is forgotten first. 0 for an
    // unknown job (no call).
    std::uint64_t WhenFinished(const std::string& id, TCallback callback);
    void ForgetWaiter(std::uint64_t token);

    // Calls back with the job as it is now, then at each change of its state
    // or position (from the thread that makes it), the last time with the
    // job finished, unless it is unwatched first. A finished job is called
    // back once, at once. 0 for an unknown job (no call).
    std::uint64_t Watch(const std::string& id, const TCallback& callback);
    void Unwatch(std::uint64_t token);

    // Blocks until the job is finished or the time is up: the job as it then
    // is.
    std::optional<TJob> WaitFinished(const std::string& id, std::chrono::milliseconds limit);

    [[nodiscard]] std::vector<TRegisterStatus> Registers() const;
    [[nodiscard]] std::optional<TRegisterSetup> FindRegister(const std::string& id) const;

    [[nodiscard]] TJobCounters Counters() const;

    // Where reads are kept; nothing when they are not.
    [[nodiscard]] TSnapshotStore* Snapshots() const noexcept { return FSnapshots; }

private:
    struct TEntry {
        TJob Job;
        std::vector<zarvik12m_goods_item> Goods;
        bool StopRequested = false;
    };
    struct TLine {
        std::uint8_t ComNumber = 0;
        std::deque<std::string> Queue;
        std::string Running;
        std::condition_variable Wake;
        std::thread Worker;
    };
    struct TWaiter {
        std::string JobId;
        TCallback Callback;
    };

    void LoadStore();
    void RunLine(TLine& line);
    void Monitor();
    void Persist(const std::string& id);
    [[nodiscard]] std::vector<TCallback> WatchersOf(const std::string& id) const;
    void Finish(std::unique_lock<std::mutex>& lock, TEntry& entry);
    void Forget();
    TRegisterSetup& RegisterOf(const TJob& job);

    std::vector<TRegisterSetup> FRegisters;
    TJobStore FStore;
    std::ostream& FLog;
    TRunner FRunner;
    TSnapshotStore* FSnapshots;

    mutable std::mutex FMutex;
    std::map<std::string, TEntry> FJobs;
    std::map<std::string, std::string> FKeys;
    std::map<std::uint8_t, std::unique_ptr<TLine>> FLines;
    std::map<std::uint64_t, TWaiter> FWaiters;
    std::map<std::uint64_t, TWaiter> FWatchers;
    TJobCounters FCounters;
    std::uint64_t FNextWaiter = 1;
    std::uint64_t FSequence = 0;  // orders jobs made in the same millisecond
    std::map<std::string, std::uint64_t> FOrder;
    bool FStopping = false;
    std::condition_variable FMonitorWake;
    std::condition_variable FFinished;

    // Saves run one at a time, each writing the job as it is then, so the
    // last save of a job always holds its last state.
    std::mutex FPersistMutex;

    std::thread FMonitor;
};

}  // namespace zarvik12m::server
