#pragma once

#include <string>

#include "driver/platform/system_error.h"

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

    // Why loading or the last binding failed: not found for a missing file
    // or export, the system's text naming the file or the export.
    [[nodiscard]] const TSystemError& LastError() const noexcept { return FLastError; }

    // The address of an export, or null when the library lacks it.
    [[nodiscard]] void* Bind(const char* exportName);

    void Unload() noexcept;

private:
    void* FHandle = nullptr;
    TSystemError FLastError;
};

}  // namespace zarvik12m
