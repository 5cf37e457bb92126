#pragma once

#include <cerrno>
#include <string_view>

#include <unistd.h>

// A file descriptor owned by one object, and the write loop that every
// output of the utility uses.

namespace zarvik12m {

class TFileHandle {
public:
    TFileHandle() = default;
    explicit TFileHandle(int descriptor) noexcept : FDescriptor(descriptor) {}
    ~TFileHandle() { static_cast<void>(Close()); }

    TFileHandle(TFileHandle&& other) noexcept : FDescriptor(other.Release()) {}
    TFileHandle& operator=(TFileHandle&& other) noexcept
    {
        if (this != &other) {
            static_cast<void>(Close());
            FDescriptor = other.Release();
        }
        return *this;
    }
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;

    [[nodiscard]] int Get() const noexcept { return FDescriptor; }
    [[nodiscard]] bool IsOpen() const noexcept { return FDescriptor >= 0; }

    int Release() noexcept
    {
        const int descriptor = FDescriptor;
        FDescriptor = -1;
        return descriptor;
    }

    // Closes the descriptor; the system's error number, or 0. A failed
    // close still releases the descriptor (Linux frees it in any case).
    int Close() noexcept
    {
        if (FDescriptor < 0) {
            return 0;
        }
        const int result = ::close(Release());
        return result == 0 || errno == EINTR ? 0 : errno;
    }

private:
    int FDescriptor = -1;
};

// Writes every byte, resuming after interruptions and partial writes; the
// system's error number of a failed write, or 0.
inline int WriteAllBytes(int descriptor, std::string_view bytes) noexcept
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

}  // namespace zarvik12m
