#include "driver/platform/dynamic_library.h"

#include <windows.h>

#include "driver/platform/system_error.h"

namespace zarvik12m {

namespace {

HMODULE Module(void* handle)
{
    return static_cast<HMODULE>(handle);
}

}  // namespace

TDynamicLibrary::TDynamicLibrary(const std::string& fileName) : FHandle(LoadLibraryA(fileName.c_str()))
{
    if (FHandle == nullptr) {
        FLastError = SystemErrorOf(static_cast<int>(GetLastError()));
        FLastError.Text = fileName + ": " + FLastError.Text;
    }
}

TDynamicLibrary::~TDynamicLibrary()
{
    Unload();
}

void* TDynamicLibrary::Bind(const char* exportName)
{
    if (FHandle == nullptr) {
        return nullptr;
    }
    const FARPROC address = GetProcAddress(Module(FHandle), exportName);
    if (address == nullptr) {
        FLastError = SystemErrorOf(static_cast<int>(GetLastError()));
        FLastError.Text = std::string(exportName) + ": " + FLastError.Text;
        return nullptr;
    }
    return reinterpret_cast<void*>(address);  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
}

void TDynamicLibrary::Unload() noexcept
{
    if (FHandle != nullptr) {
        FreeLibrary(Module(FHandle));
        FHandle = nullptr;
    }
}

}  // namespace zarvik12m
