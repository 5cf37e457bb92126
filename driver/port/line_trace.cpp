#include "driver/port/line_trace.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <set>
#include <stdexcept>

#include "driver/common/cp1251.h"
#include "driver/common/error_log.h"
#include "driver/common/errors.h"
#include "driver/platform/environment.h"
#include "driver/platform/local_time.h"

namespace zarvik12m {

namespace {

using namespace zarvik12m::literals;

// The error log's code of a trace that is lost. Only logged, never raised:
// the port's own codes end at -120.
constexpr std::int16_t LineTraceLostCode = -121;

// Bytes read this many byte times after the previous read continue its
// line, but never after a longer pause than MergeGapLimit: on a very slow
// line (or one whose rate is unknown) a pause still parts two lines.
constexpr int MergeByteTimes = 4;
constexpr std::chrono::milliseconds MergeGapLimit{50};

struct TPortFiles {
    std::mutex Lock;
    std::array<std::optional<std::string>, 256> Files;
};

TPortFiles& PortFiles()
{
    static TPortFiles files;
    return files;
}

// Reports a lost trace file once in the life of the process.
void ReportLost(std::uint8_t portNumber, const std::string& fileName, int error) noexcept
{
    try {
        static std::mutex lock;
        static std::set<std::string> reported;
        {
            const std::lock_guard guard(lock);
            if (!reported.insert(fileName).second) {
                return;
            }
        }
        AppendErrorLog(
            LineTraceLostCode,
            FormatErrorMessage("[COM%d] Журнал линии не ведётся: не могу записать файл \"%s\", ошибка %d"_cp1251,
                               {std::int64_t{portNumber}, fileName, std::int64_t{error}}));
    } catch (...) {  // NOLINT(bugprone-empty-catch): a lost report of a lost trace changes nothing on the line
    }
}

// The local date and time to the millisecond.
std::string Moment()
{
    const TLocalTime now = CurrentLocalTime();
    std::array<char, 64> moment{};
    static_cast<void>(std::snprintf(moment.data(), moment.size(), "%04d-%02d-%02d %02d:%02d:%02d.%03d", now.Year,
                                    now.Month, now.Day, now.Hour, now.Minute, now.Second, now.Millisecond));
    return moment.data();
}

// A text as one line of the trace: line ends become blanks.
std::string OneLine(std::string text)
{
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    return text;
}

std::string OpeningLine(const TLineTraceOpening& opening)
{
    std::string line = "open ";
    line += Moment();
    line += " port=" + std::to_string(opening.PortNumber);
    line += " baud=" + std::to_string(opening.BaudRate);
    line += " version=" ZARVIK12M_VERSION_TEXT;
    line += " device=" + opening.Device;
    line += '\n';
    return line;
}

}  // namespace

void RecordOpenFailure(const std::string& fileName, const TLineTraceOpening& opening,
                       const std::string& reason) noexcept
{
    try {
        std::string line = "# open failed " + Moment();
        line += " port=" + std::to_string(opening.PortNumber);
        line += " baud=" + std::to_string(opening.BaudRate);
        line += " reason=" + OneLine(reason);
        line += " device=" + opening.Device;
        line += '\n';
        int error = 0;
        TFileHandle file = OpenFileForAppending(fileName, error);
        if (file.IsOpen()) {
            error = WriteAllBytes(file.Get(), line);
        }
        if (error != 0) {
            ReportLost(opening.PortNumber, fileName, error);
        }
    } catch (...) {  // NOLINT(bugprone-empty-catch): no memory for a remark: the failure is raised all the same
    }
}

void SetLineTraceFile(std::uint8_t portNumber, std::optional<std::string> fileName)
{
    TPortFiles& files = PortFiles();
    const std::lock_guard guard(files.Lock);
    files.Files.at(portNumber) = std::move(fileName);
}

std::string LineTraceFileOf(std::uint8_t portNumber)
{
    {
        TPortFiles& files = PortFiles();
        const std::lock_guard guard(files.Lock);
        if (const std::optional<std::string>& set = files.Files.at(portNumber)) {
            return *set;
        }
    }
    return EnvironmentVariable(LineTraceVariable).value_or(std::string());
}

TLineTrace::TLineTrace(const std::string& fileName, const TLineTraceOpening& opening) noexcept
    : FPortNumber(opening.PortNumber), FOpened(TClock::now()), FLastRecord(FOpened)
{
    const std::uint32_t baudRate = std::max<std::uint32_t>(opening.BaudRate, 1);
    FMergeGap = std::min<TClock::duration>(
        MergeGapLimit, std::chrono::duration_cast<TClock::duration>(std::chrono::nanoseconds(
                           std::int64_t{MergeByteTimes} * 10 * 1'000'000'000 / static_cast<std::int64_t>(baudRate))));
    int error = 0;
    try {
        FFileName = fileName;
        FFile = OpenFileForAppending(fileName, error);
        if (FFile.IsOpen()) {
            error = WriteAllBytes(FFile.Get(), OpeningLine(opening));
            if (error == 0) {
                FHeld.reserve(FlushSize + 4096);
                FActive.store(true, std::memory_order_release);
                FWriter = std::make_unique<TThread>([this](TThread& thread) { Write(thread); });
                return;
            }
        }
    } catch (...) {  // NOLINT(bugprone-empty-catch): out of memory or no thread: no trace, reported below
    }
    FActive.store(false, std::memory_order_release);
    Fail(error);
}

TLineTrace::~TLineTrace()
{
    {
        const std::lock_guard guard(FLock);
        FStopping = true;
    }
    FWake.notify_one();
    FWriter.reset();
}

void TLineTrace::Record(TLineDirection direction, const std::uint8_t* data, std::size_t count) noexcept
{
    if (count == 0 || !Active()) {
        return;
    }
    bool wake = false;
    {
        const std::lock_guard guard(FLock);
        try {
            const TClock::time_point now = TClock::now();
            const bool continues = FLineOpen && direction == ldFromRegister && FLastDirection == ldFromRegister &&
                                   now - FLastRecord <= FMergeGap;
            FLastRecord = now;
            if (!continues) {
                if (FLineOpen) {
                    FHeld += '\n';
                }
                FHeld += std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(now - FOpened).count());
                FHeld += ' ';
                FHeld += static_cast<char>(direction);
                FLastDirection = direction;
                FLineOpen = true;
            }
            AppendHex(data, count);
            if (FHeld.size() > HeldLimit) {
                throw std::length_error("the trace file falls behind");
            }
            wake = FHeld.size() >= FlushSize && !FWriteAsked;
            FWriteAsked = FWriteAsked || wake;
        } catch (...) {
            FActive.store(false, std::memory_order_release);
            FHeld.clear();
            FHeld.shrink_to_fit();
            FLineOpen = false;
        }
    }
    if (!Active()) {
        ReportLost(FPortNumber, FFileName, 0);
    } else if (wake) {
        FWake.notify_one();
    }
}

void TLineTrace::Remark(const std::string& text) noexcept
{
    if (!Active()) {
        return;
    }
    const std::lock_guard guard(FLock);
    try {
        const TClock::time_point now = TClock::now();
        if (FLineOpen) {
            FHeld += '\n';
            FLineOpen = false;
        }
        FHeld += "# ";
        FHeld += std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(now - FOpened).count());
        FHeld += ' ';
        FHeld += OneLine(text);
        FHeld += '\n';
    } catch (...) {  // NOLINT(bugprone-empty-catch): no memory for a remark: the bytes' lines go on
    }
}

void TLineTrace::AppendHex(const std::uint8_t* data, std::size_t count)
{
    static constexpr std::array<char, 16> Digits = {'0', '1', '2', '3', '4', '5', '6', '7',
                                                    '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};
    const std::size_t start = FHeld.size();
    FHeld.resize(start + count * 3);
    char* out = FHeld.data() + start;
    for (std::size_t i = 0; i < count; ++i) {
        *out++ = ' ';
        *out++ = Digits[data[i] >> 4U];
        *out++ = Digits[data[i] & 0x0FU];
    }
}

// The writer: takes what is held, the last line ended (what comes after
// starts a line of its own), and writes it out of the lock.
void TLineTrace::Write(TThread& /*thread*/)
{
    std::string taken;
    taken.reserve(FlushSize + 4096);
    for (;;) {
        bool stopping = false;
        {
            std::unique_lock lock(FLock);
            FWake.wait_for(lock, FlushInterval, [this] { return FWriteAsked || FStopping; });
            FWriteAsked = false;
            stopping = FStopping;
            if (FLineOpen) {
                FHeld += '\n';
                FLineOpen = false;
            }
            taken.swap(FHeld);
        }
        if (!taken.empty() && Active()) {
            const int error = WriteAllBytes(FFile.Get(), taken);
            if (error != 0) {
                FActive.store(false, std::memory_order_release);
                Fail(error);
                return;
            }
        }
        taken.clear();
        if (stopping) {
            return;
        }
    }
}

void TLineTrace::Fail(int error) noexcept
{
    static_cast<void>(FFile.Close());
    ReportLost(FPortNumber, FFileName, error);
}

}  // namespace zarvik12m
