#include "server/job_manager.h"

#include <algorithm>
#include <syncstream>

#include "server/register_driver.h"

namespace zarvik12m::server {

namespace {

// How often the progress of running jobs is looked at (and a stop request
// renewed: the driver clears a request made before its call begins).
constexpr std::chrono::milliseconds MonitorInterval{100};

constexpr int CancelledCode = -300;

}  // namespace

TJobManager::TJobManager(std::vector<TRegisterSetup> registers, TJobStore store, std::ostream& log, TRunner runner,
                         TSnapshotStore* snapshots)
    : FRegisters(std::move(registers)),
      FStore(std::move(store)),
      FLog(log),
      FRunner(std::move(runner)),
      FSnapshots(snapshots)
{
    if (!FRunner) {
        FRunner = RunDriverJob;
    }
    LoadStore();
    for (const TRegisterSetup& setup : FRegisters) {
        auto& line = FLines[setup.ComNumber];
        if (!line) {
            line = std::make_unique<TLine>();
            line->ComNumber = setup.ComNumber;
        }
    }
    for (auto& [number, line] : FLines) {
        TLine& ref = *line;
        line->Worker = std::thread([this, &ref] { RunLine(ref); });
    }
    FMonitor = std::thread([this] { Monitor(); });
}

TJobManager::~TJobManager()
{
    {
        const std::lock_guard lock(FMutex);
        FStopping = true;
        for (auto& [number, line] : FLines) {
            if (!line->Running.empty()) {
                StopDriverOperation(number);
            }
            line->Wake.notify_all();
        }
        FMonitorWake.notify_all();
    }
    for (auto& [number, line] : FLines) {
        line->Worker.join();
    }
    FMonitor.join();
}

void TJobManager::LoadStore()
{
    std::vector<std::string> problems;
    std::vector<TJob> jobs = FStore.LoadAll(problems);
    for (const std::string& problem : problems) {
        std::osyncstream(FLog) << "zarvik12m-server: skipped a job record: " << problem << '\n';
    }
    std::sort(jobs.begin(), jobs.end(),
              [](const TJob& a, const TJob& b) { return std::tie(a.Created, a.Id) < std::tie(b.Created, b.Id); });
    const std::string now = UtcNow();
    for (TJob& job : jobs) {
        const bool interrupted = !IsFinished(job.State);
        if (interrupted) {
            job.State = TJobState::Interrupted;
            job.Finished = now;
        }
        const std::string id = job.Id;
        if (!job.IdempotencyKey.empty()) {
            FKeys[job.IdempotencyKey] = id;
        }
        FOrder[id] = ++FSequence;
        FJobs[id].Job = std::move(job);
        if (interrupted) {
            Persist(id);
        }
    }
    Forget();
}

std::optional<TJobManager::TSubmission> TJobManager::Submit(const std::string& registerId, TJobKind kind,
                                                            std::vector<zarvik12m_goods_item> goods,
                                                            const std::string& idempotencyKey)
{
    std::string id;
    {
        const std::lock_guard lock(FMutex);
        const auto setup = std::find_if(FRegisters.begin(), FRegisters.end(),
                                        [&](const TRegisterSetup& s) { return s.Id == registerId; });
        if (setup == FRegisters.end()) {
            return std::nullopt;
        }
        if (!idempotencyKey.empty()) {
            if (const auto known = FKeys.find(idempotencyKey); known != FKeys.end()) {
                return TSubmission{FJobs.at(known->second).Job, true};
            }
        }
        id = NewJobId();
        TEntry& entry = FJobs[id];
        entry.Job.Id = id;
        entry.Job.Register = registerId;
        entry.Job.Kind = kind;
        entry.Job.Created = UtcNow();
        entry.Job.IdempotencyKey = idempotencyKey;
        entry.Goods = std::move(goods);
        FOrder[id] = ++FSequence;
        if (!idempotencyKey.empty()) {
            FKeys[idempotencyKey] = id;
        }
        TLine& line = *FLines.at(setup->ComNumber);
        line.Queue.push_back(id);
        line.Wake.notify_one();
        Forget();
    }
    Persist(id);
    const std::lock_guard lock(FMutex);
    return TSubmission{FJobs.at(id).Job, false};
}

std::optional<TJob> TJobManager::Find(const std::string& id) const
{
    const std::lock_guard lock(FMutex);
    const auto found = FJobs.find(id);
    if (found == FJobs.end()) {
        return std::nullopt;
    }
    return found->second.Job;
}

std::vector<TJob> TJobManager::List(const std::string& registerId, std::size_t limit) const
{
    const std::lock_guard lock(FMutex);
    std::vector<std::pair<std::uint64_t, const TJob*>> order;
    for (const auto& [id, entry] : FJobs) {
        if (registerId.empty() || entry.Job.Register == registerId) {
            order.emplace_back(FOrder.at(id), &entry.Job);
        }
    }
    std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<TJob> jobs;
    for (const auto& [sequence, job] : order) {
        if (jobs.size() == limit) {
            break;
        }
        jobs.push_back(*job);
        jobs.back().Result = nullptr;
    }
    return jobs;
}

std::optional<TJob> TJobManager::Cancel(const std::string& id)
{
    std::unique_lock lock(FMutex);
    const auto found = FJobs.find(id);
    if (found == FJobs.end()) {
        return std::nullopt;
    }
    TEntry& entry = found->second;
    if (entry.Job.State == TJobState::Queued) {
        for (auto& [number, line] : FLines) {
            std::erase(line->Queue, id);
        }
        entry.Job.State = TJobState::Cancelled;
        entry.Job.Error = TJobError{CancelledCode, "Операция была прервана пользователем"};
        Finish(lock, entry);
        lock.lock();
        const auto after = FJobs.find(id);
        return after == FJobs.end() ? std::nullopt : std::optional<TJob>(after->second.Job);
    }
    if (entry.Job.State == TJobState::Running) {
        entry.StopRequested = true;
        StopDriverOperation(RegisterOf(entry.Job).ComNumber);
    }
    return entry.Job;
}

std::uint64_t TJobManager::WhenFinished(const std::string& id, TCallback callback)
{
    std::unique_lock lock(FMutex);
    const auto found = FJobs.find(id);
    if (found == FJobs.end()) {
        return 0;
    }
    const std::uint64_t token = FNextWaiter++;
    if (IsFinished(found->second.Job.State)) {
        const TJob job = found->second.Job;
        lock.unlock();
        callback(job);
        return token;
    }
    FWaiters.emplace(token, TWaiter{id, std::move(callback)});
    return token;
}

void TJobManager::ForgetWaiter(std::uint64_t token)
{
    const std::lock_guard lock(FMutex);
    FWaiters.erase(token);
}

std::uint64_t TJobManager::Watch(const std::string& id, const TCallback& callback)
{
    std::unique_lock lock(FMutex);
    const auto found = FJobs.find(id);
    if (found == FJobs.end()) {
        return 0;
    }
    const std::uint64_t token = FNextWaiter++;
    const TJob job = found->second.Job;
    if (!IsFinished(job.State)) {
        FWatchers.emplace(token, TWaiter{id, callback});
    }
    lock.unlock();
    callback(job);
    return token;
}

void TJobManager::Unwatch(std::uint64_t token)
{
    const std::lock_guard lock(FMutex);
    FWatchers.erase(token);
}

// The watchers' callbacks of a job; under the lock.
std::vector<TJobManager::TCallback> TJobManager::WatchersOf(const std::string& id) const
{
    std::vector<TCallback> callbacks;
    for (const auto& [token, watcher] : FWatchers) {
        if (watcher.JobId == id) {
            callbacks.push_back(watcher.Callback);
        }
    }
    return callbacks;
}

std::optional<TJob> TJobManager::WaitFinished(const std::string& id, std::chrono::milliseconds limit)
{
    std::unique_lock lock(FMutex);
    const auto finished = [&] {
        const auto found = FJobs.find(id);
        return found == FJobs.end() || IsFinished(found->second.Job.State);
    };
    FFinished.wait_for(lock, limit, finished);
    const auto found = FJobs.find(id);
    if (found == FJobs.end()) {
        return std::nullopt;
    }
    return found->second.Job;
}

std::vector<TRegisterStatus> TJobManager::Registers() const
{
    const std::lock_guard lock(FMutex);
    std::vector<TRegisterStatus> out;
    for (const TRegisterSetup& setup : FRegisters) {
        TRegisterStatus status{setup};
        const TLine& line = *FLines.at(setup.ComNumber);
        status.Busy = !line.Running.empty() && FJobs.at(line.Running).Job.Register == setup.Id;
        status.Queued =
            static_cast<std::size_t>(std::count_if(line.Queue.begin(), line.Queue.end(), [&](const std::string& id) {
                return FJobs.at(id).Job.Register == setup.Id;
            }));
        out.push_back(status);
    }
    return out;
}

TJobCounters TJobManager::Counters() const
{
    const std::lock_guard lock(FMutex);
    return FCounters;
}

std::optional<TRegisterSetup> TJobManager::FindRegister(const std::string& id) const
{
    for (const TRegisterSetup& setup : FRegisters) {
        if (setup.Id == id) {
            return setup;
        }
    }
    return std::nullopt;
}

TRegisterSetup& TJobManager::RegisterOf(const TJob& job)
{
    return *std::find_if(FRegisters.begin(), FRegisters.end(),
                         [&](const TRegisterSetup& s) { return s.Id == job.Register; });
}

void TJobManager::RunLine(TLine& line)
{
    std::unique_lock lock(FMutex);
    for (;;) {
        line.Wake.wait(lock, [&] { return FStopping || !line.Queue.empty(); });
        if (FStopping) {
            return;
        }
        const std::string id = line.Queue.front();
        line.Queue.pop_front();
        line.Running = id;
        TEntry& entry = FJobs.at(id);
        entry.Job.State = TJobState::Running;
        entry.Job.Started = UtcNow();
        const TRegisterSetup setup = RegisterOf(entry.Job);
        const TJobKind kind = entry.Job.Kind;
        const std::vector<zarvik12m_goods_item> goods = std::move(entry.Goods);
        const TJob running = entry.Job;
        const std::vector<TCallback> watchers = WatchersOf(id);
        lock.unlock();
        Persist(id);
        for (const TCallback& watcher : watchers) {
            watcher(running);
        }

        const auto called = std::chrono::steady_clock::now();
        const TDriverOutcome outcome = FRunner(setup, kind, goods);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - called;
        if (FSnapshots != nullptr && kind == TJobKind::Read && !outcome.Error && outcome.Result.contains("goods")) {
            FSnapshots->Add(setup.Id, id, UtcNow(), outcome.Result.at("goods"));
        }

        lock.lock();
        ++FCounters.DriverCalls[setup.Id];
        FCounters.DriverSeconds[setup.Id] += took.count();
        if (outcome.Error) {
            ++FCounters.DriverErrors[outcome.Error->Code];
        } else if (kind == TJobKind::Read && outcome.Result.contains("goods")) {
            FCounters.EntriesRead[setup.Id] += outcome.Result.at("goods").size();
        } else if (kind == TJobKind::Write) {
            FCounters.EntriesWritten[setup.Id] += goods.size();
        }
        line.Running.clear();
        TEntry& done = FJobs.at(id);
        DriverProgress(setup.ComNumber, done.Job.Position, done.Job.Max);
        done.Job.Error = outcome.Error;
        done.Job.Result = outcome.Result;
        if (!outcome.Error) {
            done.Job.State = TJobState::Succeeded;
        } else if (outcome.Error->Code == CancelledCode) {
            // Stopped by the user, or by the service's own end.
            done.Job.State = FStopping && !done.StopRequested ? TJobState::Interrupted : TJobState::Cancelled;
        } else {
            done.Job.State = TJobState::Failed;
        }
        Finish(lock, done);
        lock.lock();
    }
}

// Ends a job that has reached its last state: its time, the store, the
// waiters. Called and returns with the lock released in between.
void TJobManager::Finish(std::unique_lock<std::mutex>& lock, TEntry& entry)
{
    entry.Job.Finished = UtcNow();
    ++FCounters.Finished[{entry.Job.Kind, entry.Job.State}];
    const TJob job = entry.Job;
    std::vector<TCallback> callbacks;
    for (std::map<std::uint64_t, TWaiter>* waiters : {&FWaiters, &FWatchers}) {
        for (auto waiter = waiters->begin(); waiter != waiters->end();) {
            if (waiter->second.JobId == job.Id) {
                callbacks.push_back(std::move(waiter->second.Callback));
                waiter = waiters->erase(waiter);
            } else {
                ++waiter;
            }
        }
    }
    FFinished.notify_all();
    lock.unlock();
    Persist(job.Id);
    for (const TCallback& callback : callbacks) {
        callback(job);
    }
}

void TJobManager::Monitor()
{
    std::unique_lock lock(FMutex);
    while (!FStopping) {
        FMonitorWake.wait_for(lock, MonitorInterval);
        std::vector<std::string> changed;
        std::vector<std::pair<TJob, std::vector<TCallback>>> notices;
        for (auto& [number, line] : FLines) {
            if (line->Running.empty()) {
                continue;
            }
            TEntry& entry = FJobs.at(line->Running);
            if (entry.StopRequested) {
                StopDriverOperation(number);
            }
            std::int32_t position = 0;
            std::int32_t maximum = 0;
            DriverProgress(number, position, maximum);
            if (position != entry.Job.Position || maximum != entry.Job.Max) {
                entry.Job.Position = position;
                entry.Job.Max = maximum;
                changed.push_back(entry.Job.Id);
                std::vector<TCallback> watchers = WatchersOf(entry.Job.Id);
                if (!watchers.empty()) {
                    notices.emplace_back(entry.Job, std::move(watchers));
                }
            }
        }
        if (!changed.empty()) {
            lock.unlock();
            for (const auto& [job, watchers] : notices) {
                for (const TCallback& watcher : watchers) {
                    watcher(job);
                }
            }
            for (const std::string& id : changed) {
                Persist(id);
            }
            lock.lock();
        }
    }
}

void TJobManager::Persist(const std::string& id)
{
    const std::lock_guard persist(FPersistMutex);
    TJob job;
    {
        const std::lock_guard lock(FMutex);
        const auto found = FJobs.find(id);
        if (found == FJobs.end()) {
            FStore.Remove(id);
            return;
        }
        job = found->second.Job;
    }
    try {
        FStore.Save(job);
    } catch (const std::exception& e) {
        std::osyncstream(FLog) << "zarvik12m-server: cannot keep job " << id << ": " << e.what() << '\n';
    }
}

// Keeps at most MaxJobs: the oldest finished jobs go, with their records
// and keys. Runs under the lock.
void TJobManager::Forget()
{
    while (FJobs.size() > MaxJobs) {
        std::string oldest;
        std::uint64_t oldestOrder = 0;
        for (const auto& [id, entry] : FJobs) {
            if (IsFinished(entry.Job.State) && (oldest.empty() || FOrder.at(id) < oldestOrder)) {
                oldest = id;
                oldestOrder = FOrder.at(id);
            }
        }
        if (oldest.empty()) {
            return;
        }
        const TJob& job = FJobs.at(oldest).Job;
        if (!job.IdempotencyKey.empty()) {
            FKeys.erase(job.IdempotencyKey);
        }
        FStore.Remove(oldest);
        FJobs.erase(oldest);
        FOrder.erase(oldest);
    }
}

}  // namespace zarvik12m::server
