#pragma once

#include <functional>
#include <string>
#include <vector>

namespace zarvik12m {

// A program the system's service manager starts with the machine and stops
// on request (a Windows service). Where the system leaves that to another
// tool (systemd on Linux, with its unit file), every call below says so in
// its error text and does nothing.

struct TSystemService {
    std::string Name;         // the manager's key, e.g. "zarvik12m-server"
    std::string DisplayName;  // shown in the system's list of services
    std::string Description;
    // The arguments the manager starts the running program with; they are
    // quoted for the system here.
    std::vector<std::string> Arguments;
};

// Registers the running program as a service started with the machine.
// Empty on success, else the reason (in English, with the system's text).
[[nodiscard]] std::string InstallSystemService(const TSystemService& service);

// Stops the service when it runs and removes it from the manager. Empty on
// success, else the reason.
[[nodiscard]] std::string RemoveSystemService(const std::string& name);

// The folder a service keeps its state in when its configuration names
// none: ProgramData\<vendor>\<program> on Windows; empty where the service
// manager hands the folder over itself (systemd's StateDirectory=).
[[nodiscard]] std::string SystemServiceStateFolder(const std::string& vendor, const std::string& program);

// Hands the calling thread to the service manager, which runs serve on a
// thread of its own and calls stop (from yet another thread) when the
// service is to end; serve's result becomes the service's exit code.
// Returns once the service has ended: empty, or why the program could not
// be run as a service (it was not started by the manager, for one).
[[nodiscard]] std::string RunAsSystemService(const std::string& name, const std::function<int()>& serve,
                                             const std::function<void()>& stop);

}  // namespace zarvik12m
