#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Runs a program as a child process the way a user's shell would, for
// tests that look at what it prints, the files it leaves and its exit code.

namespace zarvik12m::testing {

struct TProcessOptions {
    std::filesystem::path Program;
    // Without the program's name, which the child gets as argv[0].
    std::vector<std::string> Arguments;
    // Changes to this process's environment: a value sets the variable,
    // nothing removes it. Everything else is inherited.
    std::map<std::string, std::optional<std::string>> Environment;
    // Empty: this process's current directory.
    std::filesystem::path WorkingDirectory;
    // Bytes on standard input, followed by its end. Ignored when
    // InputDescriptor is set; with neither, standard input is /dev/null.
    std::optional<std::string> Input;
    // A descriptor of this process to be the child's standard input.
    int InputDescriptor = -1;
    // RLIMIT_FSIZE of the child in bytes: a longer write fails with EFBIG
    // (SIGXFSZ is ignored in the child).
    std::optional<std::uint64_t> FileSizeLimit;
    // Standard output on a pseudo-terminal (raw, so that the bytes arrive as
    // written) instead of a pipe, as in a user's console.
    bool OutputOnTerminal = false;
    // Standard output a pipe whose reader has already gone.
    bool OutputClosed = false;
};

struct TProcessResult {
    std::string Output;  // standard output, every byte
    std::string Errors;  // standard error, every byte
    int ExitCode = -1;   // -1 when a signal ended the child
    int Signal = 0;      // the signal that ended it, or 0
    bool TimedOut = false;
};

inline constexpr std::chrono::milliseconds DefaultProcessTimeout{60000};

// A started child. Destroying it kills and reaps a child still running.
class TChildProcess {
public:
    explicit TChildProcess(const TProcessOptions& options);
    ~TChildProcess();
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    // Collects output until the predicate holds for the standard output so
    // far; false when the time has passed or the child closed its output
    // first.
    bool WaitForOutput(const std::function<bool(std::string_view output)>& predicate,
                       std::chrono::milliseconds timeout = DefaultProcessTimeout);

    // Sends the rest of the input, collects all output until the child
    // closes it, and reaps the child. A child still running after the time
    // is killed (TimedOut).
    TProcessResult Finish(std::chrono::milliseconds timeout = DefaultProcessTimeout);

    // Collects output until the child handles the signal the system's
    // default way (it no longer catches it); false when the time has passed.
    bool WaitForDefaultHandling(int signalNumber, std::chrono::milliseconds timeout = DefaultProcessTimeout);

    [[nodiscard]] const std::string& Output() const { return FResult.Output; }
    [[nodiscard]] pid_t Id() const { return FId; }

private:
    // One round of polling; false when the deadline has passed.
    bool Pump(std::chrono::steady_clock::time_point deadline);
    void CloseInput();
    void Reap(bool kill);

    pid_t FId = -1;
    int FInput = -1;
    int FOutput = -1;
    int FErrors = -1;
    std::string FPendingInput;
    TProcessResult FResult;
};

// Starts the program and finishes it.
TProcessResult RunProcess(const TProcessOptions& options, std::chrono::milliseconds timeout = DefaultProcessTimeout);

}  // namespace zarvik12m::testing
