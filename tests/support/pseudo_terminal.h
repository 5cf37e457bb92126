#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zarvik12m::testing {

using TBytes = std::vector<std::uint8_t>;

// A pseudo-terminal pair standing in for a serial line: the driver opens the
// slave by its path, the test plays the far end on the master. Both sides
// start raw, so that nothing is echoed or held back as a line.
class TPseudoTerminal {
public:
    TPseudoTerminal();
    ~TPseudoTerminal();
    TPseudoTerminal(const TPseudoTerminal&) = delete;
    TPseudoTerminal& operator=(const TPseudoTerminal&) = delete;

    [[nodiscard]] const std::string& SlavePath() const { return FSlavePath; }

    // The test's own descriptor of the slave: for reading back what the
    // driver has set on the line.
    [[nodiscard]] int SlaveHandle() const { return FSlave; }

    // The far end sends bytes to the driver.
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
    void HangUp();

private:
    int FMaster = -1;
    int FSlave = -1;
    std::string FSlavePath;
};

// Points COM port N at a device file for the object's lifetime.
class TPortVariable {
public:
    TPortVariable(std::uint8_t portNumber, const std::string& path);
    ~TPortVariable();
    TPortVariable(const TPortVariable&) = delete;
    TPortVariable& operator=(const TPortVariable&) = delete;

private:
    std::string FName;
};

// Bytes 0, 1, 2, ... 255, 0, 1, ... of the given length.
TBytes CountingBytes(std::size_t count);

}  // namespace zarvik12m::testing
