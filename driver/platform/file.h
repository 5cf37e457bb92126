#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The system's open files as one kind of value, the one owner of them and
// the write loop that every output uses: the error log, the command log,
// the utility's files and console, the emulator.

namespace zarvik12m {

// An open file of the system: a descriptor on Linux, a handle on Windows.
using TNativeFile = std::intptr_t;
inline constexpr TNativeFile NoFile = -1;

// Closes a file; the system's error code, or 0. A failed close still
// releases the file.
int CloseNativeFile(TNativeFile file) noexcept;

class TFileHandle {
public:
    TFileHandle() = default;
    explicit TFileHandle(TNativeFile file) noexcept : FFile(file) {}
    ~TFileHandle() { static_cast<void>(Close()); }

    TFileHandle(TFileHandle&& other) noexcept : FFile(other.Release()) {}
    TFileHandle& operator=(TFileHandle&& other) noexcept
    {
        if (this != &other) {
            static_cast<void>(Close());
            FFile = other.Release();
        }
        return *this;
    }
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;

    [[nodiscard]] TNativeFile Get() const noexcept { return FFile; }
    [[nodiscard]] bool IsOpen() const noexcept { return FFile != NoFile; }

    TNativeFile Release() noexcept
    {
        const TNativeFile file = FFile;
        FFile = NoFile;
        return file;
    }

    // Closes the file; the system's error code, or 0.
    int Close() noexcept { return IsOpen() ? CloseNativeFile(Release()) : 0; }

private:
    TNativeFile FFile = NoFile;
};

// Writes every byte, resuming after interruptions and partial writes; the
// system's error code of a failed write, or 0.
int WriteAllBytes(TNativeFile file, std::string_view bytes) noexcept;

// Reads what there is, at most size bytes: the count, 0 at the end of the
// file; the system's error code in error (0 on success).
std::size_t ReadSomeBytes(TNativeFile file, char* buffer, std::size_t size, int& error) noexcept;

// Opens a log for appending, creating it when missing (binary: the bytes
// go in as they are). Only a regular file is taken: anything else of that
// name (a pipe, a device, a folder) is refused without being opened for
// writing, and the opening never waits. A link is followed only where the
// system's link protection lets this user follow it; a link leading to
// nothing is refused rather than followed to make its target. Not open,
// with the system's error code in error, on failure.
TFileHandle OpenFileForAppending(const std::string& fileName, int& error) noexcept;

// The standard streams, which nobody closes.
TNativeFile StandardInput() noexcept;
TNativeFile StandardOutput() noexcept;
TNativeFile StandardError() noexcept;

}  // namespace zarvik12m
