#include "driver/platform/dynamic_library.h"

#include <dlfcn.h>

namespace zarvik12m {

namespace {

std::string TakeSystemError()
{
    const char* text = dlerror();
    return text != nullptr ? text : std::string{};
}

}  // namespace

TDynamicLibrary::TDynamicLibrary(const std::string& fileName) : FHandle(dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL))
{
    if (FHandle == nullptr) {
        FLastError = TakeSystemError();
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
    dlerror();
    void* address = dlsym(FHandle, exportName);
    if (address == nullptr) {
        FLastError = TakeSystemError();
    }
    return address;
}

void TDynamicLibrary::Unload() noexcept
{
    if (FHandle != nullptr) {
        dlclose(FHandle);
        FHandle = nullptr;
    }
}

}  // namespace zarvik12m
