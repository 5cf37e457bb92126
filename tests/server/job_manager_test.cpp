// The service's jobs and API without HTTP or a register: a runner that the
// test holds and releases stands in for the driver, so that the order of
// jobs, their waits, keys and kept records can be checked exactly (and under
// the thread sanitizer).

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "server/api.h"
#include "server/job_manager.h"
#include "server/register_driver.h"
#include "tests/support/temp_directory.h"

namespace zarvik12m::server {
namespace {

using namespace std::chrono_literals;

// Holds every job until the test lets it go; counts what ran at once.
class THeldRunner {
public:
    TJobManager::TRunner Runner()
    {
        return [this](const TRegisterSetup& setup, TJobKind kind, const std::vector<zarvik12m_goods_item>&) {
            std::unique_lock lock(FMutex);
            FStarted.push_back(setup.Id + ":" + std::string(KindName(kind)));
            ++FRunning;
            FMostAtOnce = std::max(FMostAtOnce, FRunning);
            FChanged.notify_all();
            FChanged.wait(lock, [&] { return FReleased > 0; });
            --FReleased;
            --FRunning;
            return TDriverOutcome{{{"ran", setup.Id}}, std::nullopt};
        };
    }

    void Release(int count = 1)
    {
        const std::lock_guard lock(FMutex);
        FReleased += count;
        FChanged.notify_all();
    }

    void WaitStarted(std::size_t count)
    {
        std::unique_lock lock(FMutex);
        ASSERT_TRUE(FChanged.wait_for(lock, 30s, [&] { return FStarted.size() >= count; }));
    }

    std::vector<std::string> Started()
    {
        const std::lock_guard lock(FMutex);
        return FStarted;
    }

    int MostAtOnce()
    {
        const std::lock_guard lock(FMutex);
        return FMostAtOnce;
    }

private:
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::vector<std::string> FStarted;
    int FRunning = 0;
    int FMostAtOnce = 0;
    int FReleased = 0;
};

std::vector<TRegisterSetup> ThreeRegistersOnTwoLines()
{
    return {{"a", "31", 9600, 1, 31}, {"b", "31", 9600, 2, 31}, {"c", "30", 9600, 1, 30}};
}

TEST(JobManager, RegistersOfOneLineTakeTurnsWhileLinesRunAtOnce)
{
    THeldRunner runner;
    std::ostringstream log;
    TJobManager jobs(ThreeRegistersOnTwoLines(), TJobStore(""), log, runner.Runner());
    const TJob a = jobs.Submit("a", TJobKind::Read, {}, "")->Job;
    const TJob b = jobs.Submit("b", TJobKind::Clear, {}, "")->Job;
    const TJob c = jobs.Submit("c", TJobKind::Read, {}, "")->Job;
    runner.WaitStarted(2);
    const std::vector<std::string> started = runner.Started();
    EXPECT_EQ(std::set<std::string>(started.begin(), started.end()), (std::set<std::string>{"a:read", "c:read"}));
    const std::vector<TRegisterStatus> registers = jobs.Registers();
    EXPECT_TRUE(registers[0].Busy);
    EXPECT_FALSE(registers[1].Busy);
    EXPECT_EQ(registers[1].Queued, 1U);
    EXPECT_EQ(jobs.Find(b.Id)->State, TJobState::Queued);

    runner.Release(3);
    for (const TJob& job : {a, b, c}) {
        const std::optional<TJob> done = jobs.WaitFinished(job.Id, 30s);
        ASSERT_TRUE(done);
        EXPECT_EQ(done->State, TJobState::Succeeded);
        EXPECT_EQ(done->Result["ran"], job.Register);
    }
    EXPECT_EQ(runner.MostAtOnce(), 2);
    EXPECT_EQ(runner.Started().back(), "b:clear");
    EXPECT_EQ(jobs.List("", 10).front().Id, c.Id);  // newest first
    EXPECT_TRUE(jobs.List("", 10).front().Result.is_null());
}

TEST(JobManager, OneKeyMakesOneJobHoweverManyAskAtOnce)
{
    THeldRunner runner;
    std::ostringstream log;
    TJobManager jobs(ThreeRegistersOnTwoLines(), TJobStore(""), log, runner.Runner());
    std::vector<std::thread> clients;
    std::mutex idsMutex;
    std::set<std::string> ids;
    std::atomic<int> repeated{0};
    for (int i = 0; i < 8; ++i) {
        clients.emplace_back([&] {
            const auto submission = jobs.Submit("a", TJobKind::Clear, {}, "same-key");
            repeated += submission->Repeated ? 1 : 0;
            const std::lock_guard lock(idsMutex);
            ids.insert(submission->Job.Id);
        });
    }
    for (std::thread& client : clients) {
        client.join();
    }
    EXPECT_EQ(ids.size(), 1U);
    EXPECT_EQ(repeated, 7);
    runner.Release();
    EXPECT_EQ(jobs.WaitFinished(*ids.begin(), 30s)->State, TJobState::Succeeded);
    EXPECT_EQ(runner.Started().size(), 1U);
    EXPECT_FALSE(jobs.Submit("nobody", TJobKind::Read, {}, ""));
}

TEST(JobManager, AQueuedJobIsCancelledAtOnceAndItsWaitersHear)
{
    THeldRunner runner;
    std::ostringstream log;
    TJobManager jobs(ThreeRegistersOnTwoLines(), TJobStore(""), log, runner.Runner());
    const TJob first = jobs.Submit("a", TJobKind::Read, {}, "")->Job;
    const TJob second = jobs.Submit("a", TJobKind::Read, {}, "")->Job;
    runner.WaitStarted(1);
    std::promise<TJobState> heard;
    jobs.WhenFinished(second.Id, [&](const TJob& job) { heard.set_value(job.State); });
    EXPECT_EQ(jobs.Cancel(second.Id)->State, TJobState::Cancelled);
    EXPECT_EQ(heard.get_future().get(), TJobState::Cancelled);
    EXPECT_EQ(jobs.Find(second.Id)->Error->Code, -300);
    runner.Release();
    EXPECT_EQ(jobs.WaitFinished(first.Id, 30s)->State, TJobState::Succeeded);
    EXPECT_EQ(runner.Started().size(), 1U);
    EXPECT_FALSE(jobs.Cancel("0123"));
}

TEST(JobManager, ARestartKeepsFinishedJobsAndMarksUnfinishedOnesInterrupted)
{
    testing::TTempDirectory folder;
    std::ostringstream log;
    std::string finishedId;
    std::string runningId;
    std::string queuedId;
    {
        THeldRunner runner;
        TJobManager jobs(ThreeRegistersOnTwoLines(), TJobStore(folder.Path()), log, runner.Runner());
        finishedId = jobs.Submit("a", TJobKind::Properties, {}, "key-1")->Job.Id;
        runner.Release();
        ASSERT_EQ(jobs.WaitFinished(finishedId, 30s)->State, TJobState::Succeeded);
        runningId = jobs.Submit("a", TJobKind::Read, {}, "")->Job.Id;
        queuedId = jobs.Submit("b", TJobKind::Clear, {}, "key-2")->Job.Id;
        runner.WaitStarted(2);
        // What a crash leaves: the records as they are now. The manager
        // that goes out of scope here stops the held job too, so the
        // records are copied first.
        std::filesystem::copy(folder.Path() / "jobs", folder.Path() / "crashed");
        runner.Release(2);
    }
    std::filesystem::remove_all(folder.Path() / "jobs");
    std::filesystem::rename(folder.Path() / "crashed", folder.Path() / "jobs");
    std::ofstream(folder.Path() / "jobs" / "0badbadbadbadbadbadbadbadbadbad0.json") << "{not json";

    THeldRunner runner;
    TJobManager jobs(ThreeRegistersOnTwoLines(), TJobStore(folder.Path()), log, runner.Runner());
    const TJob finished = *jobs.Find(finishedId);
    EXPECT_EQ(finished.State, TJobState::Succeeded);
    EXPECT_EQ(finished.Result["ran"], "a");
    EXPECT_EQ(jobs.Find(runningId)->State, TJobState::Interrupted);
    EXPECT_EQ(jobs.Find(queuedId)->State, TJobState::Interrupted);
    EXPECT_NE(log.str().find("0badbadbadbadbadbadbadbadbadbad0.json"), std::string::npos);
    // The keys came back with their jobs: nothing runs for them again.
    EXPECT_EQ(jobs.Submit("b", TJobKind::Clear, {}, "key-2")->Job.Id, queuedId);
    EXPECT_TRUE(runner.Started().empty());
}

// The API's wait: the job's end and the end of the wait race; exactly one
// answers.
TEST(Api, AJobAnswersWithinItsWaitOrTheWaitAnswers202)
{
    THeldRunner runner;
    std::ostringstream log;
    TJobManager jobs(ThreeRegistersOnTwoLines(), TJobStore(""), log, runner.Runner());
    std::mutex timersMutex;
    std::vector<std::function<void()>> timers;
    TApi api(jobs, TApiSettings{}, [&](std::chrono::milliseconds, std::function<void()> callback) {
        const std::lock_guard lock(timersMutex);
        timers.push_back(std::move(callback));
    });
    const auto ask = [&](const std::string& target) {
        auto answer = std::make_shared<std::promise<TApiResponse>>();
        api.Handle(TApiRequest{"GET", target, {}, ""},
                   [answer](TApiResponse response) { answer->set_value(response); });
        return answer->get_future();
    };

    std::future<TApiResponse> finishedFirst = ask("/api/v1/registers/a/goods");
    runner.WaitStarted(1);
    runner.Release();
    const TApiResponse done = finishedFirst.get();
    EXPECT_EQ(done.Status, 200);
    EXPECT_EQ(nlohmann::json::parse(done.Body)["ran"], "a");

    std::future<TApiResponse> waitedOut = ask("/api/v1/registers/c/goods?wait=5");
    runner.WaitStarted(2);
    std::vector<std::function<void()>> due;
    {
        const std::lock_guard lock(timersMutex);
        due.swap(timers);
    }
    for (const auto& timer : due) {
        timer();  // the first timer has nothing left to answer
    }
    const TApiResponse accepted = waitedOut.get();
    EXPECT_EQ(accepted.Status, 202);
    EXPECT_EQ(accepted.Headers.front().first, "Location");
    runner.Release();

    EXPECT_EQ(ask("/api/v1/registers/a/goods?wait=-1").get().Status, 400);
    EXPECT_EQ(ask("/api/v1/nothing").get().Status, 404);
}

// A client of a streamed response: keeps the pieces, can go away.
class TRecordingStream : public TStream {
public:
    explicit TRecordingStream(bool open) : FOpen(open) {}

    bool Send(std::string piece) override
    {
        const std::lock_guard lock(FMutex);
        FPieces.push_back(std::move(piece));
        return FOpen;
    }

    void Close() override
    {
        const std::lock_guard lock(FMutex);
        ++FCloses;
        FChanged.notify_all();
    }

    std::vector<std::string> WaitClosed()
    {
        std::unique_lock lock(FMutex);
        EXPECT_TRUE(FChanged.wait_for(lock, 30s, [&] { return FCloses > 0; }));
        EXPECT_EQ(FCloses, 1);
        return FPieces;
    }

private:
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::vector<std::string> FPieces;
    int FCloses = 0;
    bool FOpen;
};

TEST(Api, AJobsEventsEndOnceAndAClientThatWentAwayIsLetGo)
{
    THeldRunner runner;
    std::ostringstream log;
    TJobManager jobs(ThreeRegistersOnTwoLines(), TJobStore(""), log, runner.Runner());
    TApi api(jobs, TApiSettings{}, [](std::chrono::milliseconds, const std::function<void()>&) {});
    const TJob job = jobs.Submit("a", TJobKind::Read, {}, "")->Job;
    runner.WaitStarted(1);
    const auto stream = [&](const std::string& id, const std::shared_ptr<TStream>& client) {
        TApiResponse head;
        api.Handle(TApiRequest{"GET", "/api/v1/jobs/" + id + "/events", {}, ""},
                   [&](TApiResponse response) { head = std::move(response); });
        if (head.Stream) {
            head.Stream(client);
        }
        return head;
    };

    auto watching = std::make_shared<TRecordingStream>(true);
    auto gone = std::make_shared<TRecordingStream>(false);
    std::vector<std::thread> clients;
    clients.emplace_back([&] { EXPECT_EQ(stream(job.Id, watching).ContentType, "text/event-stream"); });
    clients.emplace_back([&] { stream(job.Id, gone); });
    for (std::thread& client : clients) {
        client.join();
    }
    // The client that went away is closed after its first event and let go.
    EXPECT_EQ(gone->WaitClosed().size(), 1U);
    runner.Release();
    const std::vector<std::string> pieces = watching->WaitClosed();
    ASSERT_GE(pieces.size(), 2U);
    EXPECT_EQ(pieces.front().rfind("event: progress\ndata: {", 0), 0U);
    EXPECT_NE(pieces.front().find("\"state\":\"running\""), std::string::npos);
    EXPECT_EQ(pieces.back().rfind("event: end\ndata: {", 0), 0U);
    EXPECT_NE(pieces.back().find("\"state\":\"succeeded\""), std::string::npos);
    EXPECT_EQ(pieces.back().substr(pieces.back().size() - 2), "\n\n");

    // An ended job: its end only. An unknown one: 404, nothing streamed.
    auto late = std::make_shared<TRecordingStream>(true);
    stream(job.Id, late);
    const std::vector<std::string> only = late->WaitClosed();
    ASSERT_EQ(only.size(), 1U);
    EXPECT_EQ(only.front(), pieces.back());
    EXPECT_EQ(stream("0123", late).Status, 404);
}

TEST(SnapshotStore, KeepsTheLast20PerRegisterAcrossARestart)
{
    testing::TTempDirectory folder;
    std::ostringstream log;
    const auto goods = [](int count) { return nlohmann::json::array({{{"code", count}}}); };
    {
        TSnapshotStore store(folder.Path(), log);
        for (int i = 0; i < 23; ++i) {
            store.Add("a", "00" + std::to_string(10 + i), "2026-12-09T10:00:" + std::to_string(10 + i) + ".000Z",
                      goods(i));
        }
        store.Add("b", "ff", "2026-12-09T09:00:00.000Z", goods(99));
    }
    std::ofstream(folder.Path() / "snapshots" / "a" / "0bad.json") << "{";
    TSnapshotStore store(folder.Path(), log);
    const std::vector<TSnapshotInfo> kept = store.List("a");
    ASSERT_EQ(kept.size(), 20U);
    EXPECT_EQ(kept.front().Id, "0032");
    EXPECT_EQ(kept.back().Id, "0013");
    EXPECT_EQ(store.Find("a", "0032")->at("goods"), goods(22));
    EXPECT_FALSE(store.Find("a", "0012"));
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "snapshots" / "a" / "0012.json"));
    EXPECT_EQ(store.List("b").size(), 1U);
    EXPECT_TRUE(store.List("c").empty());
    EXPECT_NE(log.str().find("0bad.json"), std::string::npos);
}

}  // namespace
}  // namespace zarvik12m::server
