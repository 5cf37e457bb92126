// zarvik12m-server: cash registers as a local HTTP/JSON service.

#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "driver/platform/environment.h"
#include "server/api.h"
#include "server/http_server.h"
#include "server/job_manager.h"
#include "server/server_options.h"
#include "server/snapshot_store.h"

namespace {

constexpr unsigned HttpThreads = 4;

int Serve(zarvik12m::server::TServerOptions options)
{
    using namespace zarvik12m::server;
    // Before any thread: the driver reads the environment.
    AssignComNumbers(options.Registers);
    std::filesystem::create_directories(options.StateFolder);
    zarvik12m::SetEnvironmentValue("ZARVIK12M_LOG_DIR", std::filesystem::absolute(options.StateFolder).string());

    THttpServer http(options.ListenHost, options.ListenPort, std::cerr, THttpServer::TLimits{});
    TSnapshotStore snapshots(options.StateFolder, std::cerr);
    TJobManager jobs(options.Registers, TJobStore(options.StateFolder), std::cerr, {}, &snapshots);
    TApi api(jobs, TApiSettings{options.Token, options.AllowOrigins}, http.Scheduler());
    std::cerr << "zarvik12m-server: listening on " << options.ListenHost << ':' << http.Port() << ", "
              << options.Registers.size() << " register(s), state in " << options.StateFolder << '\n'
              << std::flush;
    http.Run(api, HttpThreads);
    std::cerr << "zarvik12m-server: stopped\n";
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
        return Serve(options);
    } catch (const std::invalid_argument& e) {
        std::cerr << "zarvik12m-server: " << e.what() << "\n\n" << zarvik12m::server::ServerUsage();
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "zarvik12m-server: " << e.what() << '\n';
        return 1;
    }
}
