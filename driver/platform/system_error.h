#pragma once

#include <cstdint>
#include <mutex>
#include <string>

// The platform layer's one way of telling why something failed: a kind that
// means the same on every system, with the system's own code and words for
// the trace and for people who look closer. The port and the tools decide
// by the kind; they show the text only where a user asked for detail.

namespace zarvik12m {

enum class TErrorKind : std::uint8_t {
    NotFound,   // no such file, device or host
    Busy,       // another opener holds it, or this object is open already
    Denied,     // no permission
    NotSerial,  // something is there, but no serial line behind it
    TimedOut,   // no answer within the time limit
    Closed,     // the line or the connection has ended (hung up, reset, not open)
    Other,
};

struct TSystemError {
    TErrorKind Kind = TErrorKind::Other;
    int Code = 0;      // errno on Linux, GetLastError on Windows; 0 when none
    std::string Text;  // the system's words for the code, without a line end
};

// The kind of a system error code, by this system's table.
[[nodiscard]] TErrorKind ErrorKindOf(int code) noexcept;

// A system error code as a value: its kind and its text.
[[nodiscard]] TSystemError SystemErrorOf(int code);

// The same with a kind that the caller knows better from the context (the
// open of a device that answers EIO is no serial line there).
[[nodiscard]] TSystemError SystemErrorOf(int code, TErrorKind kind);

// This thread's last system error code (errno, GetLastError), and as a
// value.
[[nodiscard]] int LastSystemErrorCode() noexcept;
[[nodiscard]] TSystemError LastSystemError();

// A short English name of the kind ("busy", "not a serial device").
[[nodiscard]] const char* ErrorKindName(TErrorKind kind) noexcept;

// The error in one line for traces and verbose outputs: "busy (16: Device
// or resource busy)".
[[nodiscard]] std::string DescribeSystemError(const TSystemError& error);

// The last failure of an object that several threads use: each failed
// operation records it, a reader gets a copy. A reader right after its own
// failure sees that failure unless another thread failed meanwhile.
class TLastError {
public:
    // Records the failure; false, so that a failed operation can return it.
    bool Fail(TSystemError error);
    // Records this thread's last system error; false.
    bool FailWithLastSystemError();
    // The same for an operation that raises nothing: without the text
    // should there be no memory for it.
    bool FailWithLastSystemErrorQuietly() noexcept;

    // Records the failure that make() gives, for an operation that must
    // not raise (the end of a wait, from a destructor): should there be no
    // memory for it, the last failure stays as it was.
    template <typename TMake>
    bool FailQuietly(TMake make) noexcept
    {
        try {
            return Fail(make());
        } catch (...) {
            return false;
        }
    }

    [[nodiscard]] TSystemError Get() const;

private:
    mutable std::mutex FLock;
    TSystemError FError;
};

}  // namespace zarvik12m
