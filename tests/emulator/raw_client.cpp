#include "tests/emulator/raw_client.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <system_error>

#include "driver/platform/linux_support.h"

namespace zarvik12m::emulator::testing {

TByteString Hex(std::string_view text)
{
    TByteString bytes;
    std::string digits;
    for (const char c : text) {
        if (c != ' ') {
            digits.push_back(c);
        }
    }
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

TByteString MakeFrame(std::uint8_t address, std::uint8_t code, const TByteString& payload)
{
    TByteString frame = {address, static_cast<std::uint8_t>(payload.size()), code};
    frame.reserve(frame.size() + payload.size() + 1);
    frame.insert(frame.end(), payload.begin(), payload.end());
    unsigned sum = 0;
    for (const std::uint8_t byte : frame) {
        sum += byte;
    }
    frame.push_back(static_cast<std::uint8_t>(255U - sum % 256U));
    return frame;
}

TByteString Joined(std::initializer_list<TByteString> parts)
{
    TByteString joined;
    for (const TByteString& part : parts) {
        joined.insert(joined.end(), part.begin(), part.end());
    }
    return joined;
}

TDeviceNode::TDeviceNode(const std::string& path) : FPath(path)
{
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0) {
        throw std::system_error(errno, std::generic_category(), path);
    }
    FChangeSeconds = status.st_ctim.tv_sec;
    FChangeNanoseconds = status.st_ctim.tv_nsec;
}

bool TDeviceNode::Gone() const
{
    struct stat status {};
    return lstat(FPath.c_str(), &status) != 0 || status.st_ctim.tv_sec != FChangeSeconds ||
           status.st_ctim.tv_nsec != FChangeNanoseconds;
}

TRawClient::TRawClient(const std::string& path) : FFd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
{
    if (FFd < 0) {
        throw std::system_error(errno, std::generic_category(), path);
    }
}

TRawClient::~TRawClient()
{
    static_cast<void>(::close(FFd));
}

void TRawClient::Write(const TByteString& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(FFd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno != EINTR && errno != EAGAIN) {
            throw std::system_error(errno, std::generic_category(), "write");
        }
        if (written > 0) {
            done += static_cast<std::size_t>(written);
        } else {
            static_cast<void>(
                WaitFor(TWakeableWait::rdWritable, std::chrono::steady_clock::now() + std::chrono::seconds(1)));
        }
    }
}

TByteString TRawClient::Read(std::size_t count, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    TByteString bytes;
    while (bytes.size() < count) {
        if (!WaitFor(TWakeableWait::rdReadable, deadline).Ready) {
            break;
        }
        std::uint8_t buffer[512];
        const ssize_t got = ::read(FFd, buffer, std::min(sizeof buffer, count - bytes.size()));
        if (got <= 0) {
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
}

TByteString TRawClient::ReadSome(std::chrono::milliseconds timeout)
{
    if (!WaitFor(TWakeableWait::rdReadable, std::chrono::steady_clock::now() + timeout).Ready) {
        return {};
    }
    std::uint8_t buffer[512];
    const ssize_t got = ::read(FFd, buffer, sizeof buffer);
    return got > 0 ? TByteString(buffer, buffer + got) : TByteString{};
}

TWakeableWait::TOutcome TRawClient::WaitFor(TWakeableWait::TReadiness readiness,
                                            std::chrono::steady_clock::time_point deadline)
{
    return FWait.Wait(NativeFileOf(FFd), readiness, deadline);
}

std::size_t TRawClient::Pending() const
{
    int count = 0;
    if (ioctl(FFd, FIONREAD, &count) != 0) {
        return 0;
    }
    return static_cast<std::size_t>(count);
}

bool TRawClient::WaitForHangUp(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        const TWakeableWait::TOutcome outcome = WaitFor(TWakeableWait::rdReadable, deadline);
        if (outcome.HungUp) {
            return true;
        }
        if (!outcome.Ready) {
            return false;
        }
        std::uint8_t buffer[512];
        const ssize_t got = ::read(FFd, buffer, sizeof buffer);
        if (got == 0 || (got < 0 && errno == EIO)) {
            return true;
        }
    }
}

}  // namespace zarvik12m::emulator::testing
