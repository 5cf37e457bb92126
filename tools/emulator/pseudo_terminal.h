#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zarvik12m::emulator {

// A file descriptor that closes itself.
class TFileDescriptor {
public:
    TFileDescriptor() = default;
    explicit TFileDescriptor(int fd) noexcept : FFd(fd) {}
    ~TFileDescriptor() { Close(); }
    TFileDescriptor(TFileDescriptor&& other) noexcept : FFd(other.Release()) {}
    TFileDescriptor& operator=(TFileDescriptor&& other) noexcept;
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;

    [[nodiscard]] int Get() const noexcept { return FFd; }
    [[nodiscard]] bool Valid() const noexcept { return FFd >= 0; }
    int Release() noexcept;
    void Close() noexcept;

private:
    int FFd = -1;
};

// The register's end of the line: a pseudo-terminal whose slave device is
// what the driver opens as its COM port.
//
// The line is made raw before anyone can reach the slave: a fresh slave is
// cooked and echoes, so that the peer would read its own bytes back and
// see nothing waiting until a line end came. The pseudo-terminal keeps a
// slave descriptor of its own, never read and never locked, so that the
// master stays usable while the driver closes and reopens the slave again
// and again (with no slave open, the master reports a hang-up), and so
// that the raw settings outlive every close.
class TPseudoTerminal {
public:
    // Throws std::system_error when the system has no pseudo-terminal.
    TPseudoTerminal();

    ~TPseudoTerminal() = default;
    TPseudoTerminal(const TPseudoTerminal&) = delete;
    TPseudoTerminal& operator=(const TPseudoTerminal&) = delete;

    [[nodiscard]] const std::string& SlavePath() const noexcept { return FSlavePath; }
    [[nodiscard]] int Master() const noexcept { return FMaster.Get(); }
    [[nodiscard]] bool IsOpen() const noexcept { return FMaster.Valid(); }

    // The speed the slave's user has set the line to, in bits per second;
    // 0 when it cannot be read.
    [[nodiscard]] std::uint32_t LineBaudRate() const;

    // Bytes written to the master that the slave's readers have not taken.
    [[nodiscard]] std::size_t UnreadBySlave() const;

    // Closes both ends: the driver's slave sees a hang-up, and the device
    // goes once the driver has closed it too.
    void Close() noexcept;

private:
    TFileDescriptor FMaster;
    TFileDescriptor FSlave;
    std::string FSlavePath;
};

}  // namespace zarvik12m::emulator
