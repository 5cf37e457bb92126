#include "driver/platform/dynamic_library.h"

#include <windows.h>

namespace zarvik12m {

namespace {

std::string SystemErrorText(DWORD error)
{
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
        reinterpret_cast<char*>(&text), 0, nullptr);  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
    std::string result = length != 0 && text != nullptr ? std::string(text, length) : std::string{};
    LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) {
        result.pop_back();
    }
    return result.empty() ? "error " + std::to_string(error) : result;
}

HMODULE Module(void* handle)
{
    return static_cast<HMODULE>(handle);
}

}  // namespace

TDynamicLibrary::TDynamicLibrary(const std::string& fileName) : FHandle(LoadLibraryA(fileName.c_str()))
{
    if (FHandle == nullptr) {
        FLastError = fileName + ": " + SystemErrorText(GetLastError());
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
        FLastError = std::string(exportName) + ": " + SystemErrorText(GetLastError());
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
