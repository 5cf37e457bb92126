#include "tests/emulator/raw_client.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace zarvik12m::emulator::testing {

namespace {

int RemainingMilliseconds(std::chrono::steady_clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

}  // namespace

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
            pollfd fd{FFd, POLLOUT, 0};
            static_cast<void>(::poll(&fd, 1, 1000));
        }
    }
}

TByteString TRawClient::Read(std::size_t count, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    TByteString bytes;
    while (bytes.size() < count) {
        pollfd fd{FFd, POLLIN, 0};
        if (::poll(&fd, 1, RemainingMilliseconds(deadline)) <= 0 || (fd.revents & POLLIN) == 0) {
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
    pollfd fd{FFd, POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(timeout.count())) <= 0 || (fd.revents & POLLIN) == 0) {
        return {};
    }
    std::uint8_t buffer[512];
    const ssize_t got = ::read(FFd, buffer, sizeof buffer);
    return got > 0 ? TByteString(buffer, buffer + got) : TByteString{};
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
        pollfd fd{FFd, POLLIN, 0};
        const int ready = ::poll(&fd, 1, RemainingMilliseconds(deadline));
        if (ready <= 0) {
            return false;
        }
        if ((fd.revents & (POLLHUP | POLLERR)) != 0) {
            return true;
        }
        std::uint8_t buffer[512];
        const ssize_t got = ::read(FFd, buffer, sizeof buffer);
        if (got == 0 || (got < 0 && errno == EIO)) {
            return true;
        }
    }
}

}  // namespace zarvik12m::emulator::testing
