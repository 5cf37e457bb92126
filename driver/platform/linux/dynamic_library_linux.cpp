#include "driver/platform/dynamic_library.h"

#include <dlfcn.h>

#include <cerrno>

namespace zarvik12m {

namespace {

// The loader's words, which name the file or the symbol. The loader keeps
// no errno of its own; where it could not open the file, its words end
// with the system's text of the cause, which gives the code back.
TSystemError TakeSystemError(TErrorKind kind)
{
    const char* said = dlerror();
    TSystemError error{kind, 0, said != nullptr ? said : std::string{}};
    for (const int code : {ENOENT, EACCES, EPERM}) {
        const TSystemError cause = SystemErrorOf(code);
        if (error.Text.ends_with(": " + cause.Text)) {
            error.Kind = cause.Kind;
            error.Code = code;
        }
    }
    return error;
}

}  // namespace

TDynamicLibrary::TDynamicLibrary(const std::string& fileName) : FHandle(dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL))
{
    if (FHandle == nullptr) {
        FLastError = TakeSystemError(TErrorKind::Other);
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
        FLastError = TakeSystemError(TErrorKind::NotFound);
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
