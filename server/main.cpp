// zarvik12m-server: cash registers as a local HTTP/JSON service.

#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <string>
#include <syncstream>
#include <vector>

#include "driver/platform/environment.h"
#include "driver/platform/system_service.h"
#include "server/api.h"
#include "server/http_server.h"
#include "server/job_manager.h"
#include "server/server_options.h"
#include "server/snapshot_store.h"

namespace {

constexpr unsigned HttpThreads = 4;
const char* const ServiceName = "zarvik12m-server";

// The service manager's stop request, which may come before the HTTP side
// exists (it is then kept for it) or while it serves.
class TStopSwitch {
public:
    void Attach(zarvik12m::server::THttpServer* server)
    {
        const std::lock_guard lock(FLock);
        FServer = server;
        if (FServer != nullptr && FStopped) {
            FServer->Stop();
        }
    }

    void Stop()
    {
        const std::lock_guard lock(FLock);
        FStopped = true;
        if (FServer != nullptr) {
            FServer->Stop();
        }
    }

private:
    std::mutex FLock;
    zarvik12m::server::THttpServer* FServer = nullptr;
    bool FStopped = false;
};

int Serve(zarvik12m::server::TServerOptions options, std::ostream& log, TStopSwitch* stopSwitch)
{
    using namespace zarvik12m::server;
    // Before any thread: the driver reads the environment.
    AssignComNumbers(options.Registers);
    zarvik12m::SetEnvironmentValue("ZARVIK12M_LOG_DIR", std::filesystem::absolute(options.StateFolder).string());

    THttpServer http(options.ListenHost, options.ListenPort, log, THttpServer::TLimits{});
    TSnapshotStore snapshots(options.StateFolder, log);
    TJobManager jobs(options.Registers, TJobStore(options.StateFolder), log, {}, &snapshots);
    TApi api(jobs, TApiSettings{options.Token, options.AllowOrigins}, http.Scheduler());
    std::osyncstream(log) << "zarvik12m-server: listening on " << options.ListenHost << ':' << http.Port() << ", "
                          << options.Registers.size() << " register(s), state in " << options.StateFolder << '\n'
                          << std::flush;
    if (stopSwitch != nullptr) {
        stopSwitch->Attach(&http);
    }
    http.Run(api, HttpThreads);
    if (stopSwitch != nullptr) {
        stopSwitch->Attach(nullptr);
    }
    std::osyncstream(log) << "zarvik12m-server: stopped\n" << std::flush;
    return 0;
}

// What --install-service, --remove-service and --service do.
int ServiceAction(const std::vector<std::string>& arguments, const zarvik12m::server::TServerOptions& options)
{
    using TAction = zarvik12m::server::TServerOptions::TServiceAction;
    std::string failure;
    if (options.Service == TAction::Install) {
        const zarvik12m::TSystemService service{
            ServiceName, "Zarvik12m server", "Cash registers Zarvik-12M as a local HTTP/JSON service",
            zarvik12m::server::ServiceArguments(arguments, options,
                                                zarvik12m::SystemServiceStateFolder("Zarvik12m", "server"))};
        failure = zarvik12m::InstallSystemService(service);
        if (failure.empty()) {
            std::cout << "zarvik12m-server: installed as the service " << ServiceName << '\n';
        }
    } else if (options.Service == TAction::Remove) {
        failure = zarvik12m::RemoveSystemService(ServiceName);
        if (failure.empty()) {
            std::cout << "zarvik12m-server: the service " << ServiceName << " is removed\n";
        }
    } else {
        // No console under the service manager: the log is a file in the
        // state folder.
        std::ofstream log(std::filesystem::path(options.StateFolder) / "server.log", std::ios::app);
        TStopSwitch stopSwitch;
        failure = zarvik12m::RunAsSystemService(
            ServiceName, [&] { return Serve(options, log, &stopSwitch); }, [&] { stopSwitch.Stop(); });
    }
    if (!failure.empty()) {
        std::cerr << "zarvik12m-server: " << failure << '\n';
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        const std::vector<std::string> arguments(argv + 1, argv + argc);
        const zarvik12m::server::TServerOptions options = zarvik12m::server::ParseServerOptions(arguments);
        if (options.Help) {
            std::cout << zarvik12m::server::ServerUsage();
            return 0;
        }
        if (options.Version) {
            std::cout << "zarvik12m-server " << ZARVIK12M_VERSION << '\n';
            return 0;
        }
        if (options.Service != zarvik12m::server::TServerOptions::TServiceAction::None) {
            if (options.Service == zarvik12m::server::TServerOptions::TServiceAction::Run) {
                std::filesystem::create_directories(options.StateFolder);
            }
            return ServiceAction(arguments, options);
        }
        std::filesystem::create_directories(options.StateFolder);
        return Serve(options, std::cerr, nullptr);
    } catch (const std::invalid_argument& e) {
        std::cerr << "zarvik12m-server: " << e.what() << "\n\n" << zarvik12m::server::ServerUsage();
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "zarvik12m-server: " << e.what() << '\n';
        return 1;
    }
}
