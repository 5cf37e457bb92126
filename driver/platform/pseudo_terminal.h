#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "driver/platform/file.h"

namespace zarvik12m {

// A pseudo-terminal standing in for a serial line (Linux only): the driver
// opens the slave by its path as its COM port, and the far end (the
// register's emulator, a test) plays on the master.
//
// The line is made raw before anyone can reach the slave: a fresh slave is
// cooked and echoes, so that the peer would read its own bytes back and
// see nothing waiting until a line end came. The pseudo-terminal keeps a
// slave descriptor of its own, never read and never locked, so that the
// master stays usable while the driver closes and reopens the slave again
// and again (with no slave open, the master reports a hang-up), and so
// that the raw settings outlive every close. Both ends are non-blocking.
class TPseudoTerminal {
public:
    using TBytes = std::vector<std::uint8_t>;

    // Throws std::system_error when the system has no pseudo-terminal.
    TPseudoTerminal();

    ~TPseudoTerminal() = default;
    TPseudoTerminal(const TPseudoTerminal&) = delete;
    TPseudoTerminal& operator=(const TPseudoTerminal&) = delete;

    [[nodiscard]] const std::string& SlavePath() const noexcept { return FSlavePath; }
    [[nodiscard]] TNativeFile Master() const noexcept { return FMaster.Get(); }
    [[nodiscard]] bool IsOpen() const noexcept { return FMaster.IsOpen(); }

    // The far end's own descriptor of the slave: for reading back what the
    // driver has set on the line.
    [[nodiscard]] TNativeFile SlaveHandle() const noexcept { return FSlave.Get(); }

    // The rate the driver has set on the line, in bits per second; 0 when
    // it cannot be read.
    [[nodiscard]] std::uint32_t LineBaudRate() const;

    // Bytes written to the master that the slave's readers have not taken.
    [[nodiscard]] std::size_t UnreadBySlave() const;

    // The far end sends bytes to the driver, waiting up to 10 s for room.
    void Send(const TBytes& bytes) const;

    // The far end receives exactly count bytes, waiting up to 10 s in all;
    // fewer when they do not come.
    [[nodiscard]] TBytes Receive(std::size_t count) const;

    // The line takes no more bytes from the driver (its output is stopped),
    // as a line that has stalled: the driver's writes have to wait.
    void StopLine() const;

    // Whether anything at all waits at the far end.
    [[nodiscard]] bool HasPendingInput() const;

    // The far end goes away: the driver's side is hung up.
    void HangUp() noexcept { FMaster.Close(); }

    // Closes both ends: the driver's slave sees a hang-up, and the device
    // goes once the driver has closed it too.
    void Close() noexcept;

private:
    TFileHandle FMaster;
    TFileHandle FSlave;
    std::string FSlavePath;
};

}  // namespace zarvik12m
