// zarvik12m-emulator: a Zarvik-12M register on a pseudo-terminal, so that
// the driver, the utility, the demo and the benchmarks run with no register
// attached.

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "driver/common/cp1251.h"
#include "driver/platform/linux_support.h"
#include "driver/platform/symbolic_link.h"
#include "driver/platform/wakeable_wait.h"
#include "tools/emulator/command_line.h"
#include "tools/emulator/emulator.h"
#include "tools/emulator/goods_generator.h"
#include "tools/emulator/plu_file.h"
#include "tools/emulator/replay.h"
#include "tools/emulator/trace_file.h"

namespace zarvik12m::emulator {

namespace {

using namespace zarvik12m::literals;

// The program's texts are Windows-1251; the console is UTF-8. A tail (file
// names, numbers) is printed as it stands.
void Say(std::FILE* stream, std::string_view text, const std::string& tail = {})
{
    const std::string line = Cp1251ToUtf8(text) + tail + "\n";
    // Nothing better to do when the console is gone.
    static_cast<void>(std::fputs(line.c_str(), stream));
    static_cast<void>(std::fflush(stream));
}

void Say(std::string_view text, const std::string& tail = {})
{
    Say(stdout, text, tail);
}

[[noreturn]] void ThrowSystemError(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

// Where the trace goes: standard error or a file of its own.
class TTraceSink {
public:
    explicit TTraceSink(const std::string& path)
    {
        if (!path.empty()) {
            FFile.reset(std::fopen(path.c_str(), "a"));  // NOLINT(cppcoreguidelines-owning-memory): owned by FFile
            if (FFile == nullptr) {
                ThrowSystemError(path.c_str());
            }
        }
    }

    // Called on the emulator's thread only. A trace line that cannot be
    // written is lost; the emulator goes on serving the line.
    void Write(const std::string& line)
    {
        std::FILE* stream = FFile != nullptr ? FFile.get() : stderr;
        static_cast<void>(std::fputs((line + "\n").c_str(), stream));
        static_cast<void>(std::fflush(stream));
    }

private:
    struct TFileCloser {
        void operator()(std::FILE* file) const
        {
            static_cast<void>(std::fclose(file));  // NOLINT(cppcoreguidelines-owning-memory): the owner's deleter
        }
    };
    std::unique_ptr<std::FILE, TFileCloser> FFile;
};

// A symbolic link to the line for as long as the program serves it. An
// old link at the path (left by a run that was killed) is replaced; any
// other file there is left alone and refused.
class TLineLink {
public:
    TLineLink(std::string path, std::string target) : FPath(std::move(path)), FTarget(std::move(target))
    {
        PlaceSymbolicLink(FPath, FTarget);
    }

    // Removes the link unless someone has pointed it elsewhere meanwhile.
    ~TLineLink() { RemoveSymbolicLink(FPath, FTarget); }

    TLineLink(const TLineLink&) = delete;
    TLineLink& operator=(const TLineLink&) = delete;

private:
    std::string FPath;
    std::string FTarget;
};

// The link to the line, when the options ask for one.
std::unique_ptr<TLineLink> LinkTo(const TProgramOptions& options, const std::string& line)
{
    return options.LinkPath.empty() ? nullptr : std::make_unique<TLineLink>(options.LinkPath, line);
}

std::string LineText(const TProgramOptions& options, const std::string& line, bool linked)
{
    return line + (linked ? " <- " + options.LinkPath : std::string());
}

std::string FaultsText(const TFaults& faults)
{
    std::string text;
    const auto add = [&](std::string_view what, const std::string& value = {}) {
        if (!text.empty()) {
            text += ", ";
        }
        text += Cp1251ToUtf8(what) + value;
    };
    if (faults.NeverAnswer) {
        add("не отвечает"_cp1251);
    }
    for (const auto& [command, status] : faults.ForcedStatus) {
        add("на команду "_cp1251, std::to_string(command) + Cp1251ToUtf8(" статус "_cp1251) + std::to_string(status));
    }
    if (!faults.Garbage.empty()) {
        add("мусор перед ответом: "_cp1251, HexText(faults.Garbage));
    }
    if (faults.ChunkSize != 0) {
        add("ответ частями по "_cp1251, std::to_string(faults.ChunkSize) + Cp1251ToUtf8(" байт, пауза "_cp1251) +
                                            std::to_string(faults.ChunkPause.count()) + Cp1251ToUtf8(" мс"_cp1251));
    }
    if (faults.ForeignNetNumber != 0) {
        add("кадр для сетевого номера "_cp1251, std::to_string(faults.ForeignNetNumber));
    }
    if (faults.DuplicateAnswer) {
        add("ответ дважды"_cp1251);
    }
    if (faults.AnswerDelay.count() != 0) {
        add("задержка ответа "_cp1251, std::to_string(faults.AnswerDelay.count()) + Cp1251ToUtf8(" мс"_cp1251));
    }
    if (faults.BaudRate != 0) {
        add("скорость линии "_cp1251, std::to_string(faults.BaudRate) + Cp1251ToUtf8(" бод"_cp1251));
    }
    if (faults.HangUpAfter != 0) {
        add("разрыв после обменов: "_cp1251, std::to_string(faults.HangUpAfter));
    }
    return text.empty() ? Cp1251ToUtf8("нет"_cp1251) : text;
}

TGoodsTable InitialGoods(const TProgramOptions& options)
{
    if (options.Generate) {
        return GenerateGoods(*options.Generate);
    }
    if (options.LoadPath.empty()) {
        return {};
    }
    const TPluContents contents = LoadPluFile(options.LoadPath, options.Separator);
    for (const std::size_t line : contents.RefusedLines) {
        Say(stderr, "Пропущена строка "_cp1251,
            std::to_string(line) + Cp1251ToUtf8(": номер товара вне 1..4000"_cp1251));
    }
    return contents.Goods;
}

// The exit code of a replay whose computer left the trace.
constexpr int ReplayDifferedExitCode = 3;
// And of one stopped by a signal before the trace's end.
constexpr int ReplayInterruptedExitCode = 4;

std::string HexOrNothing(const TBytes& bytes, std::string_view nothing)
{
    return bytes.empty() ? Cp1251ToUtf8(nothing) : HexText(bytes);
}

std::string SpeedText(double speed)
{
    char text[32];
    static_cast<void>(std::snprintf(text, sizeof text, "%g", speed));
    return text;
}

// How much a trace holds.
struct TTraceSize {
    explicit TTraceSize(const TTrace& trace)
        : Events(trace.Events.size()),
          ToRegister(TraceStream(trace, true).size()),
          FromRegister(TraceStream(trace, false).size())
    {}

    std::size_t Events;
    std::size_t ToRegister;    // bytes
    std::size_t FromRegister;  // bytes
};

void SayReplayStarted(const TProgramOptions& options, const TTraceSize& size, const std::string& slavePath,
                      const std::string& line)
{
    std::printf("%s\n", slavePath.c_str());
    Say("Воспроизведение журнала линии: "_cp1251, options.ReplayPath);
    Say("Линия: "_cp1251, line);
    Say("Событий: "_cp1251, std::to_string(size.Events) + Cp1251ToUtf8(", байт к ККМ: "_cp1251) +
                                std::to_string(size.ToRegister) + Cp1251ToUtf8(", байт от ККМ: "_cp1251) +
                                std::to_string(size.FromRegister) + Cp1251ToUtf8(", ускорение: "_cp1251) +
                                SpeedText(options.ReplaySpeed));
}

// Says how the play ended; the program's exit code.
int ReplayEnded(const TReplayResult& result, std::size_t toRegister)
{
    switch (result.Outcome) {
    case roPlayed:
        Say("Журнал воспроизведён до конца, все байты к ККМ совпали: "_cp1251, std::to_string(toRegister));
        return 0;
    case roDiffered: {
        const TReplayDifference& difference = result.Difference;
        Say(stderr, "Расхождение с журналом: смещение "_cp1251,
            std::to_string(difference.Offset) + Cp1251ToUtf8(" в потоке к ККМ; ожидалось: "_cp1251) +
                HexOrNothing(difference.Expected, "конец журнала"_cp1251) + Cp1251ToUtf8("; получено: "_cp1251) +
                HexOrNothing(difference.Received, "ничего"_cp1251));
        return ReplayDifferedExitCode;
    }
    case roInterrupted:
        break;
    }
    Say(stderr, "Воспроизведение прервано сигналом до конца журнала"_cp1251);
    return ReplayInterruptedExitCode;
}

int RunReplay(const TProgramOptions& options)
{
    TTrace trace = LoadTrace(options.ReplayPath);
    const TTraceSize size(trace);
    TWakeableWait stop(TWakeableWait::wsWakeAndEndSignals);

    TReplay replay(std::move(trace), options.ReplaySpeed);
    std::unique_ptr<TLineLink> link = LinkTo(options, replay.SlavePath());
    SayReplayStarted(options, size, replay.SlavePath(), LineText(options, replay.SlavePath(), link != nullptr));

    const TReplayResult result = replay.Run(stop);
    link.reset();
    return ReplayEnded(result, size.ToRegister);
}

TEmulatorSettings EmulatorSettings(const TProgramOptions& options)
{
    TEmulatorSettings settings;
    settings.NetNumber = options.NetNumber;
    settings.SerialNumber = options.SerialNumber;
    settings.Faults = options.Faults;
    settings.LineBaudRate = options.LineBaudRate;
    settings.Goods = InitialGoods(options);
    return settings;
}

void SayEmulatorStarted(const TProgramOptions& options, const TEmulator& emulator, const std::string& line)
{
    std::printf("%s\n", emulator.SlavePath().c_str());
    Say("Эмулятор ККМ Зарвик-12М: сетевой номер "_cp1251,
        std::to_string(options.NetNumber) + Cp1251ToUtf8(", заводской номер "_cp1251) + options.SerialNumber);
    Say("Линия: "_cp1251, line);
    if (options.LineBaudRate != 0) {
        Say("Скорость линии ККМ: "_cp1251, std::to_string(options.LineBaudRate) + Cp1251ToUtf8(" бод"_cp1251));
    }
    Say("Товаров в таблице: "_cp1251, std::to_string(emulator.GoodsCount()));
    Say("Неисправности: "_cp1251, FaultsText(options.Faults));
    Say("Ожидание команд; SIGINT (Ctrl+C) или SIGTERM завершает работу."_cp1251);
}

// Waits for an end signal or the end of the service, and says which came.
void WaitForEnd(TWakeableWait& ended)
{
    static_cast<void>(ended.Wait(std::nullopt));
    const std::string signal = ended.EndSignalName();
    if (!signal.empty()) {
        Say("Получен сигнал "_cp1251, signal + Cp1251ToUtf8(": завершение"_cp1251));
    } else {
        Say("Линия закрыта: завершение"_cp1251);
    }
}

void SaveGoods(const TProgramOptions& options, const TEmulator& emulator)
{
    const TGoodsTable goods = emulator.GoodsTable();
    SavePluFile(options.SavePath, goods, options.Separator);
    Say("Таблица товаров записана: "_cp1251,
        options.SavePath + " (" + std::to_string(goods.size()) + Cp1251ToUtf8(" товаров)"_cp1251));
}

int Run(const TProgramOptions& options)
{
    if (!options.ReplayPath.empty()) {
        return RunReplay(options);
    }
    TEmulatorSettings settings = EmulatorSettings(options);
    // Before the emulator's thread starts: it inherits the blocked signals.
    TWakeableWait ended(TWakeableWait::wsWakeAndEndSignals);
    settings.OnServiceEnded = [&ended] { ended.Wake(); };

    std::unique_ptr<TTraceSink> trace;
    if (options.Trace) {
        trace = std::make_unique<TTraceSink>(options.TracePath);
        settings.Trace = [sink = trace.get()](const std::string& line) { sink->Write(line); };
    }

    TEmulator emulator(std::move(settings));
    std::unique_ptr<TLineLink> link = LinkTo(options, emulator.SlavePath());
    SayEmulatorStarted(options, emulator, LineText(options, emulator.SlavePath(), link != nullptr));
    WaitForEnd(ended);

    link.reset();
    emulator.Stop();
    Say("Обменов: "_cp1251, std::to_string(emulator.ExchangeCount()));
    if (!options.SavePath.empty()) {
        SaveGoods(options, emulator);
    }
    return 0;
}

}  // namespace

}  // namespace zarvik12m::emulator

int main(int argc, char** argv)
{
    using namespace zarvik12m::emulator;
    using namespace zarvik12m::literals;
    // A closed console must not kill the program before it has cleaned up.
    zarvik12m::IgnoreBrokenPipes();
    try {
        const TProgramOptions options = ParseCommandLine(argc, argv);
        if (options.Help) {
            static_cast<void>(std::fputs(zarvik12m::Cp1251ToUtf8(UsageText()).c_str(), stdout));
            return 0;
        }
        return Run(options);
    } catch (const TCommandLineError& error) {
        static_cast<void>(std::fprintf(stderr, "%s\n%s\n", error.what(),
                                       zarvik12m::Cp1251ToUtf8("Справка: zarvik12m-emulator --help"_cp1251).c_str()));
        return 2;
    } catch (const std::exception& error) {
        static_cast<void>(
            std::fprintf(stderr, "%s%s\n", zarvik12m::Cp1251ToUtf8("Ошибка: "_cp1251).c_str(), error.what()));
        return 1;
    }
}
