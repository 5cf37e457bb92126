#include "driver/platform/system_service.h"

#include <windows.h>

#include <array>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

#include "driver/platform/environment.h"
#include "driver/platform/win32/system_error_text_win32.h"

namespace zarvik12m {

namespace {

struct TServiceHandleClose {
    void operator()(SC_HANDLE handle) const noexcept { CloseServiceHandle(handle); }
};
using TServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, TServiceHandleClose>;

std::string Failure(const std::string& what)
{
    return what + ": " + SystemErrorText(GetLastError());
}

// One argument as the C run-time and CommandLineToArgvW split it back:
// quoted when it holds blanks or quotes, backslashes doubled before a quote.
std::string QuotedArgument(const std::string& argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
        return argument;
    }
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char character : argument) {
        if (character == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(character == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted.push_back(character);
    }
    quoted.append(backslashes * 2, '\\');
    quoted.push_back('"');
    return quoted;
}

// The service this process runs: the dispatcher's callbacks carry no
// context of the caller's, so it is reached through CurrentService.
class TServiceRun {
public:
    TServiceRun(std::string name, const std::function<int()>& serve, const std::function<void()>& stop)
        : FName(std::move(name)), FServe(serve), FStop(stop)
    {}

    static void WINAPI Main(DWORD /*count*/, LPSTR* /*arguments*/);

    [[nodiscard]] std::string& Name() noexcept { return FName; }
    [[nodiscard]] const std::string& Error() const noexcept { return FError; }

private:
    static DWORD WINAPI Control(DWORD control, DWORD /*type*/, LPVOID /*data*/, LPVOID context);
    void Report(DWORD state, DWORD exitCode);
    void Run();

    std::string FName;
    const std::function<int()>& FServe;
    const std::function<void()>& FStop;
    std::mutex FLock;  // the status is reported from the service's thread and the control handler's
    SERVICE_STATUS_HANDLE FHandle = nullptr;
    DWORD FCheckPoint = 0;
    std::string FError;
};

TServiceRun* CurrentService = nullptr;

void TServiceRun::Report(DWORD state, DWORD exitCode)
{
    const std::lock_guard lock(FLock);
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    status.dwWin32ExitCode = exitCode == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    status.dwServiceSpecificExitCode = exitCode;
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    status.dwCheckPoint = pending ? ++FCheckPoint : 0;
    status.dwWaitHint = pending ? 30000 : 0;
    SetServiceStatus(FHandle, &status);
}

DWORD WINAPI TServiceRun::Control(DWORD control, DWORD /*type*/, LPVOID /*data*/, LPVOID context)
{
    auto* run = static_cast<TServiceRun*>(context);
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        run->Report(SERVICE_STOP_PENDING, 0);
        run->FStop();
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI TServiceRun::Main(DWORD /*count*/, LPSTR* /*arguments*/)
{
    CurrentService->Run();
}

void TServiceRun::Run()
{
    FHandle = RegisterServiceCtrlHandlerExA(FName.c_str(), &TServiceRun::Control, this);
    if (FHandle == nullptr) {
        FError = Failure("RegisterServiceCtrlHandlerEx");
        return;
    }
    Report(SERVICE_RUNNING, 0);
    DWORD exitCode = 1;
    try {
        exitCode = static_cast<DWORD>(FServe());
    } catch (...) {  // NOLINT(bugprone-empty-catch): the manager is told of the failure below
    }
    Report(SERVICE_STOPPED, exitCode);
}

}  // namespace

std::string InstallSystemService(const TSystemService& service)
{
    std::array<char, 32768> program{};
    const DWORD length = GetModuleFileNameA(nullptr, program.data(), static_cast<DWORD>(program.size()));
    if (length == 0 || length >= program.size()) {
        return Failure("GetModuleFileName");
    }
    std::string commandLine = QuotedArgument(std::string(program.data(), length));
    for (const std::string& argument : service.Arguments) {
        commandLine += ' ' + QuotedArgument(argument);
    }
    const TServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
    if (!manager) {
        return Failure("the service manager cannot be opened");
    }
    // Run as LocalSystem, which may open the serial ports and ProgramData.
    const TServiceHandle created(CreateServiceA(manager.get(), service.Name.c_str(), service.DisplayName.c_str(),
                                                SERVICE_CHANGE_CONFIG, SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
                                                SERVICE_ERROR_NORMAL, commandLine.c_str(), nullptr, nullptr, nullptr,
                                                nullptr, nullptr));
    if (!created) {
        return Failure("the service " + service.Name + " cannot be created");
    }
    std::string description = service.Description;
    SERVICE_DESCRIPTIONA text{description.data()};
    // A missing description is no reason to fail.
    ChangeServiceConfig2A(created.get(), SERVICE_CONFIG_DESCRIPTION, &text);
    return {};
}

std::string RemoveSystemService(const std::string& name)
{
    const TServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        return Failure("the service manager cannot be opened");
    }
    const TServiceHandle service(
        OpenServiceA(manager.get(), name.c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
    if (!service) {
        return Failure("the service " + name + " cannot be opened");
    }
    SERVICE_STATUS status{};
    if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status) != 0) {
        // The manager offers no wait for a state: it is asked again until the
        // service has stopped or half a minute has passed.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (status.dwCurrentState != SERVICE_STOPPED && std::chrono::steady_clock::now() < deadline &&
               QueryServiceStatus(service.get(), &status) != 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    if (DeleteService(service.get()) == 0) {
        return Failure("the service " + name + " cannot be removed");
    }
    return {};
}

std::string SystemServiceStateFolder(const std::string& vendor, const std::string& program)
{
    const std::optional<std::string> data = EnvironmentVariable("ProgramData");
    return data && !data->empty() ? *data + '\\' + vendor + '\\' + program : std::string{};
}

std::string RunAsSystemService(const std::string& name, const std::function<int()>& serve,
                               const std::function<void()>& stop)
{
    TServiceRun run(name, serve, stop);
    CurrentService = &run;
    std::array<SERVICE_TABLE_ENTRYA, 2> table{{{run.Name().data(), &TServiceRun::Main}, {nullptr, nullptr}}};
    const bool dispatched = StartServiceCtrlDispatcherA(table.data()) != 0;
    CurrentService = nullptr;
    if (!dispatched) {
        return Failure("not started by the service manager");
    }
    return run.Error();
}

}  // namespace zarvik12m
