#include "driver/platform/file.h"

#include <windows.h>

#include <algorithm>

namespace zarvik12m {

namespace {

HANDLE Handle(TNativeFile file) noexcept
{
    return reinterpret_cast<HANDLE>(
        file);  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast,performance-no-int-to-ptr)
}

int LastError() noexcept
{
    return static_cast<int>(GetLastError());
}

// One call moves at most this much, so that the count fits a DWORD.
constexpr std::size_t MaxBlock = 1U << 30U;

}  // namespace

int CloseNativeFile(TNativeFile file) noexcept
{
    return CloseHandle(Handle(file)) != FALSE ? 0 : LastError();
}

int WriteAllBytes(TNativeFile file, std::string_view bytes) noexcept
{
    while (!bytes.empty()) {
        DWORD written = 0;
        const auto block = static_cast<DWORD>(std::min(bytes.size(), MaxBlock));
        if (WriteFile(Handle(file), bytes.data(), block, &written, nullptr) == FALSE) {
            return LastError();
        }
        bytes.remove_prefix(written);
    }
    return 0;
}

std::size_t ReadSomeBytes(TNativeFile file, char* buffer, std::size_t size, int& error) noexcept
{
    error = 0;
    DWORD count = 0;
    if (ReadFile(Handle(file), buffer, static_cast<DWORD>(std::min(size, MaxBlock)), &count, nullptr) == FALSE) {
        // A pipe whose writer has gone is at its end.
        const DWORD failure = GetLastError();
        if (failure != ERROR_BROKEN_PIPE && failure != ERROR_HANDLE_EOF) {
            error = static_cast<int>(failure);
        }
        return 0;
    }
    return count;
}

TFileHandle OpenFileForAppending(const std::string& fileName, int& error) noexcept
{
    const HANDLE file = CreateFileA(fileName.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = LastError();
        return {};
    }
    // Only a file on disk is a log: a device name (CON, COM1) is let go.
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        error = ERROR_INVALID_FUNCTION;
        return {};
    }
    error = 0;
    return TFileHandle(reinterpret_cast<TNativeFile>(file));  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
}

namespace {

TNativeFile StandardHandle(DWORD which) noexcept
{
    const HANDLE handle = GetStdHandle(which);
    return handle == nullptr
               ? NoFile
               : reinterpret_cast<TNativeFile>(handle);  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
}

}  // namespace

TNativeFile StandardInput() noexcept
{
    return StandardHandle(STD_INPUT_HANDLE);
}

TNativeFile StandardOutput() noexcept
{
    return StandardHandle(STD_OUTPUT_HANDLE);
}

TNativeFile StandardError() noexcept
{
    return StandardHandle(STD_ERROR_HANDLE);
}

}  // namespace zarvik12m
