#include "utility/plu_program.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>

#include "driver/common/cp1251.h"
#include "driver/platform/file.h"
#include "driver/platform/standard_streams.h"
#include "utility/command_line.h"
#include "utility/goods_threads.h"
#include "utility/interrupt_watch.h"
#include "utility/plu_file.h"
#include "zarvik12m/error.h"
#include "zarvik12m/goods.h"

namespace zarvik12m {

namespace {

constexpr std::string_view Banner = "Zarvik12mPLU v1.0. Утилита чтения/записи PLU для ККМ Зарвик12м."_cp1251;

void PrintUsage(TConsole& console)
{
    console.WriteLines({
        "",
        "Параметры утилиты:"_cp1251,
        "    /pN - номер COM-порта"_cp1251,
        "    /bN - скорость COM-порта"_cp1251,
        "    /nN - сетевой номер ККМ"_cp1251,
        "    /sN - ASCII-код символа-разделителя полей"_cp1251,
        "    /lFilename - прочитать PLU из ККМ в файл"_cp1251,
        "    /wFilename - записать PLU из файла в ККМ"_cp1251,
        "    /c - очистить PLU в ККМ"_cp1251,
    });
}

// The PLU file's work: any failure, whatever its class, is told as a blank
// line and its message.
bool RunFileWork(TConsole& console, const std::function<void()>& work)
{
    try {
        work();
        return true;
    } catch (const std::exception& error) {
        console.WriteLines({"", error.what()});
    } catch (...) {
        console.WriteLines({"", UnknownErrorMessage});
    }
    return false;
}

class TPluCommandRun {
public:
    // The goods belong to the caller, who frees them after the library has
    // gone.
    TPluCommandRun(const TZarvik12mDll& dll, TConsole& console, const TPluParameters& parameters,
                   TZarvik12m_Goods& goods)
        : FDll(dll), FConsole(console), FParameters(parameters), FGoods(goods)
    {}

    // Whether the command succeeded; failures have been told.
    bool Run()
    {
        switch (FParameters.Command) {
        case pcLoad:
            return Load();
        case pcWrite:
            return Write();
        case pcClear:
            break;
        }
        return Clear();
    }

private:
    // The register's goods into the file, which is written only when the
    // whole table has been read. Ctrl+C stops the read before its next
    // command, and no file is written; one that comes while the file is
    // being written is too late to stop anything and lets the writing end.
    bool Load()
    {
        FConsole.WriteLines({"", "Чтение PLU"_cp1251});
        TStopRequest stop(FDll, FParameters.Port());
        const TInterruptWatch interrupts([&stop] { stop.Request(); });
        bool succeeded = false;
        {
            TLoadGoodsThread worker(FDll, FConsole, FParameters, FGoods, FGoodsCount);
            succeeded = ShowProgress(worker, MaxGoodsCount, FConsole, stop);
        }
        return succeeded && RunFileWork(FConsole, [this] {
                   WritePluFile(FParameters.FileName, FGoods, FGoodsCount, FParameters.Separator(),
                                FConsole.OutputDescriptor());
               });
    }

    // The file into the register. Nothing is sent unless the whole file
    // (up to the table's size) has been read and every value in it is
    // valid: half a file or a mistyped price must not reach the register.
    bool Write()
    {
        const bool read = RunFileWork(FConsole, [this] {
            TPluFileReader reader(FParameters.FileName);
            ReadPluGoods(reader, FParameters.Separator(), FGoods);
        });
        if (!read) {
            return false;
        }
        FGoodsCount = static_cast<std::uint16_t>(FGoods.size());
        if (FGoodsCount == 0) {
            return false;
        }
        FConsole.WriteLines({"", "Запись PLU"_cp1251});
        // Ctrl+C stops the writing before its next command.
        TStopRequest stop(FDll, FParameters.Port());
        const TInterruptWatch interrupts([&stop] { stop.Request(); });
        TWriteGoodsThread worker(FDll, FConsole, FParameters, FGoods, FGoodsCount);
        return ShowProgress(worker, FGoodsCount, FConsole, stop);
    }

    // Runs on the main thread without a progress bar. It is one command,
    // which Ctrl+C lets complete (a second Ctrl+C ends the program). Only
    // the library's own errors are told here; anything else ends the run.
    bool Clear()
    {
        FConsole.WriteLines({"", "Очистка PLU"_cp1251});
        const TInterruptWatch interrupts([] {});
        try {
            FDll.ClearGoods(FParameters.Port(), FParameters.BaudRate, FParameters.Net());
            return true;
        } catch (const EZarvik12mError& error) {
            FConsole.WriteLines({"", error.what()});
        }
        return false;
    }

    const TZarvik12mDll& FDll;
    TConsole& FConsole;
    const TPluParameters& FParameters;
    TZarvik12m_Goods& FGoods;
    std::uint16_t FGoodsCount = 0;
};

}  // namespace

int RunZarvik12mPlu(std::unique_ptr<TZarvik12mDll>& dll, std::span<const std::string> parameters, TConsole& console)
{
    int resultCode = ExitFailure;
    const std::optional<TPluParameters> settings = ParsePluParameters(parameters);
    // A table read to standard output (an empty file name) has it to
    // itself: "/l > plu.txt" gives a file that /w takes back.
    if (settings && settings->Command == pcLoad && settings->FileName.empty()) {
        console.MoveMessagesToError(IsTerminal(StandardError()));
    }
    console.WriteLine(Banner);
    TZarvik12m_Goods goods;
    if (parameters.empty()) {
        PrintUsage(console);
    } else if (!settings) {
        console.WriteLines({"", "Ошибка: Неверные параметры"_cp1251});
        PrintUsage(console);
    } else {
        if (TPluCommandRun(*dll, console, *settings, goods).Run()) {
            resultCode = ExitSuccess;
        }
    }
    dll.reset();
    goods = TZarvik12m_Goods{};
    if (resultCode == ExitSuccess) {
        console.WriteLines({"", "Команда выполнена успешно"_cp1251});
    }
    // Output that never reached its reader (a pipe closed early) fails the
    // run, even when the command itself went through.
    return console.OutputFailed() ? ExitFailure : resultCode;
}

}  // namespace zarvik12m
