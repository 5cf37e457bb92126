#pragma once

#include <string>

namespace zarvik12m {

// A shared library loaded at run time, unloaded when the object goes.
class TDynamicLibrary {
public:
    // Loads the library by file name; a bare name is searched the system's
    // way (the caller's RUNPATH, LD_LIBRARY_PATH, the system folders).
    explicit TDynamicLibrary(const std::string& fileName);
    ~TDynamicLibrary();

    TDynamicLibrary(const TDynamicLibrary&) = delete;
    TDynamicLibrary& operator=(const TDynamicLibrary&) = delete;

    [[nodiscard]] bool Loaded() const noexcept { return FHandle != nullptr; }

    // Why loading or the last binding failed, as the system tells it.
    [[nodiscard]] const std::string& LastError() const noexcept { return FLastError; }

    // The address of an export, or null when the library lacks it.
    [[nodiscard]] void* Bind(const char* exportName);

    void Unload() noexcept;

private:
    void* FHandle = nullptr;
    std::string FLastError;
};

}  // namespace zarvik12m
