#include "tests/utility/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "driver/platform/linux_support.h"

extern char** environ;  // NOLINT(readability-redundant-declaration)

namespace zarvik12m::testing {

namespace {

[[noreturn]] void RaiseSystemError(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

std::vector<std::string> ChildEnvironment(const std::map<std::string, std::optional<std::string>>& changes)
{
    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        const std::size_t equals = text.find('=');
        if (equals != std::string_view::npos) {
            variables.emplace(std::string(text.substr(0, equals)), std::string(text.substr(equals + 1)));
        }
    }
    for (const auto& [name, value] : changes) {
        if (value) {
            variables[name] = *value;
        } else {
            variables.erase(name);
        }
    }
    std::vector<std::string> result;
    for (const auto& [name, value] : variables) {
        result.push_back(name + "=" + value);
    }
    return result;
}

std::vector<char*> PointersTo(std::vector<std::string>& texts)
{
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

void MakePipe(int (&ends)[2])
{
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        RaiseSystemError("pipe2");
    }
}

// The reading end first, as with a pipe.
void MakeTerminal(int (&ends)[2])
{
    if (::openpty(&ends[0], &ends[1], nullptr, nullptr, nullptr) != 0) {
        RaiseSystemError("openpty");
    }
    if (!MakeTerminalRaw(ends[1])) {
        RaiseSystemError("tcsetattr");
    }
    for (const int end : ends) {
        if (::fcntl(end, F_SETFD, FD_CLOEXEC) != 0) {
            RaiseSystemError("fcntl");
        }
    }
}

// Whether the process catches the signal, from the SigCgt mask of its
// status.
bool CatchesSignal(pid_t process, int signalNumber)
{
    std::ifstream status("/proc/" + std::to_string(process) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("SigCgt:")) {
            const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
            return ((mask >> (signalNumber - 1)) & 1U) != 0;
        }
    }
    return false;
}

// Runs in the child between fork and exec: async-signal-safe calls only.
[[noreturn]] void ExecChild(const char* program, char* const* arguments, char* const* environment,
                            const char* directory, int input, int output, int errors,
                            const std::optional<std::uint64_t>& fileSizeLimit)
{
    if (::dup2(input, STDIN_FILENO) < 0 || ::dup2(output, STDOUT_FILENO) < 0 || ::dup2(errors, STDERR_FILENO) < 0) {
        ::_exit(126);
    }
    if (directory != nullptr && ::chdir(directory) != 0) {
        ::_exit(126);
    }
    // As a shell starts it, whatever this process ignores.
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    if (::sigaction(SIGPIPE, &byDefault, nullptr) != 0) {
        ::_exit(126);
    }
    if (fileSizeLimit) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        const rlimit limit{*fileSizeLimit, *fileSizeLimit};
        if (::sigaction(SIGXFSZ, &ignore, nullptr) != 0 || ::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            ::_exit(126);
        }
    }
    ::execve(program, arguments, environment);
    ::_exit(127);
}

}  // namespace

TChildProcess::TChildProcess(const TProcessOptions& options)
{
    // A child that exits without reading its input must not kill us.
    ::signal(SIGPIPE, SIG_IGN);

    std::vector<std::string> argumentTexts{options.Program.string()};
    argumentTexts.insert(argumentTexts.end(), options.Arguments.begin(), options.Arguments.end());
    std::vector<std::string> environmentTexts = ChildEnvironment(options.Environment);
    const std::vector<char*> arguments = PointersTo(argumentTexts);
    const std::vector<char*> environment = PointersTo(environmentTexts);
    const std::string program = options.Program.string();
    const std::string directory = options.WorkingDirectory.string();

    int output[2];
    int errors[2];
    int input[2] = {-1, -1};
    if (options.OutputOnTerminal) {
        MakeTerminal(output);
    } else {
        MakePipe(output);
    }
    MakePipe(errors);
    int childInput = options.InputDescriptor;
    if (childInput < 0) {
        if (options.Input) {
            MakePipe(input);
            childInput = input[0];
            FPendingInput = *options.Input;
        } else {
            input[0] = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
            if (input[0] < 0) {
                RaiseSystemError("open /dev/null");
            }
            childInput = input[0];
        }
    }

    FId = ::fork();
    if (FId < 0) {
        RaiseSystemError("fork");
    }
    if (FId == 0) {
        const char* childDirectory = directory.empty() ? nullptr : directory.c_str();
        ExecChild(program.c_str(), arguments.data(), environment.data(), childDirectory, childInput, output[1],
                  errors[1], options.FileSizeLimit);
    }
    ::close(output[1]);
    ::close(errors[1]);
    if (input[0] >= 0) {
        ::close(input[0]);
    }
    FOutput = output[0];
    if (options.OutputClosed) {
        ::close(FOutput);
        FOutput = -1;
    }
    FErrors = errors[0];
    FInput = input[1];
    if (FInput >= 0 && ::fcntl(FInput, F_SETFL, O_NONBLOCK) != 0) {
        RaiseSystemError("fcntl");
    }
    if (FInput >= 0 && FPendingInput.empty()) {
        CloseInput();
    }
}

TChildProcess::~TChildProcess()
{
    CloseInput();
    if (FOutput >= 0) {
        ::close(FOutput);
    }
    if (FErrors >= 0) {
        ::close(FErrors);
    }
    Reap(true);
}

void TChildProcess::CloseInput()
{
    if (FInput >= 0) {
        ::close(FInput);
        FInput = -1;
    }
}

bool TChildProcess::Pump(std::chrono::steady_clock::time_point deadline)
{
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) {
        return false;
    }
    pollfd descriptors[3] = {{FOutput, POLLIN, 0}, {FErrors, POLLIN, 0}, {FInput, POLLOUT, 0}};
    const auto waitMilliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1;
    const int ready = ::poll(descriptors, 3, static_cast<int>(waitMilliseconds));
    if (ready < 0) {
        if (errno == EINTR) {
            return true;
        }
        RaiseSystemError("poll");
    }
    const auto drain = [](int& descriptor, short events, std::string& into) {
        if (descriptor < 0 || (events & (POLLIN | POLLHUP | POLLERR)) == 0) {
            return;
        }
        char buffer[65536];
        const ssize_t count = ::read(descriptor, buffer, sizeof buffer);
        if (count > 0) {
            into.append(buffer, static_cast<std::size_t>(count));
        } else if (count == 0 || errno != EINTR) {
            ::close(descriptor);
            descriptor = -1;
        }
    };
    drain(FOutput, descriptors[0].revents, FResult.Output);
    drain(FErrors, descriptors[1].revents, FResult.Errors);
    if (FInput >= 0 && (descriptors[2].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
        const ssize_t count = ::write(FInput, FPendingInput.data(), FPendingInput.size());
        if (count > 0) {
            FPendingInput.erase(0, static_cast<std::size_t>(count));
        }
        if ((count < 0 && errno != EAGAIN && errno != EINTR) || FPendingInput.empty()) {
            CloseInput();
        }
    }
    return true;
}

bool TChildProcess::WaitForOutput(const std::function<bool(std::string_view output)>& predicate,
                                  std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!predicate(FResult.Output)) {
        if (FOutput < 0 || !Pump(deadline)) {
            return false;
        }
    }
    return true;
}

bool TChildProcess::WaitForDefaultHandling(int signalNumber, std::chrono::milliseconds timeout)
{
    // Nothing tells of the change but the process's status; between looks
    // the output is collected, a millisecond at most each time.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (CatchesSignal(FId, signalNumber)) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return false;
        }
        static_cast<void>(Pump(std::min(deadline, now + std::chrono::milliseconds(1))));
    }
    return true;
}

TProcessResult TChildProcess::Finish(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (FOutput >= 0 || FErrors >= 0) {
        if (!Pump(deadline)) {
            FResult.TimedOut = true;
            break;
        }
    }
    CloseInput();
    Reap(FResult.TimedOut);
    return FResult;
}

void TChildProcess::Reap(bool kill)
{
    if (FId <= 0) {
        return;
    }
    if (kill) {
        ::kill(FId, SIGKILL);
    }
    int status = 0;
    while (::waitpid(FId, &status, 0) < 0) {
        if (errno != EINTR) {
            FId = -1;
            return;
        }
    }
    FId = -1;
    if (WIFEXITED(status)) {
        FResult.ExitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        FResult.Signal = WTERMSIG(status);
    }
}

TProcessResult RunProcess(const TProcessOptions& options, std::chrono::milliseconds timeout)
{
    TChildProcess child(options);
    return child.Finish(timeout);
}

}  // namespace zarvik12m::testing
