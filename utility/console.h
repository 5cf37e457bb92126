#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "driver/common/cp1251.h"
#include "driver/platform/critical_section.h"
#include "driver/platform/file.h"
#include "driver/platform/standard_streams.h"

// The utility's console. Its texts are Windows-1251 and its progress bar
// uses two DOS shade characters; the console shows them in the charset of
// standard output (StandardOutputCharset). Every write goes out whole and at once (nothing
// is buffered) under one lock, so that the worker thread's error lines and
// the main thread's progress bar never mix.

namespace zarvik12m {

// What is told of an exception that carries no message of its own.
inline constexpr std::string_view UnknownErrorMessage = "Неизвестная ошибка"_cp1251;

// Windows-1251 text in the console's charset.
std::string WinTextToConsole(std::string_view text, TConsoleCharset charset);

// DOS Cyrillic text (the progress bar's shades) in the console's charset.
// Windows-1251 has no shade characters: there dark is '#' and light '-'.
std::string DosTextToConsole(std::string_view text, TConsoleCharset charset);

class TConsole {
public:
    // The progress bar is drawn only where drawsProgress: on a terminal. A
    // redirected output (a file, a pipe) gets the messages alone.
    TConsole(TNativeFile outputDescriptor, TNativeFile errorDescriptor, TConsoleCharset charset,
             bool drawsProgress) noexcept
        : FData(outputDescriptor),
          FOutput(outputDescriptor),
          FError(errorDescriptor),
          FCharset(charset),
          FDrawsProgress(drawsProgress)
    {}

    ~TConsole() = default;
    TConsole(const TConsole&) = delete;
    TConsole& operator=(const TConsole&) = delete;

    [[nodiscard]] TConsoleCharset Charset() const noexcept { return FCharset; }

    // Standard output, where the messages go unless they were moved.
    [[nodiscard]] TNativeFile OutputDescriptor() const noexcept { return FData; }

    // From now on the messages and the progress bar go to standard error,
    // leaving standard output to data alone (a PLU table written there);
    // the bar is drawn where drawsProgress (standard error is a terminal).
    // Called before the first message, by the main thread.
    void MoveMessagesToError(bool drawsProgress) noexcept
    {
        FOutput = FError;
        FDrawsProgress = drawsProgress;
    }

    // Whether a write to standard output has failed (its reader gone, say):
    // the run could not tell all it had to.
    [[nodiscard]] bool OutputFailed() const noexcept { return FOutputFailed.load(std::memory_order_relaxed); }
    void NoteOutputFailure() noexcept { FOutputFailed.store(true, std::memory_order_relaxed); }

    // Windows-1251 lines on standard output (or where the messages were
    // moved), as one write; an empty text is a blank line.
    void WriteLines(std::initializer_list<std::string_view> lines);
    void WriteLine(std::string_view line) { WriteLines({line}); }

    // The progress bar (DOS text) and as many backspaces as the bar is wide,
    // bringing the cursor back to its start; nothing when the console draws
    // no progress.
    void WriteProgress(std::string_view dosBar, std::size_t width);

    // Windows-1251 lines on standard error, as one write.
    void WriteErrorLines(std::initializer_list<std::string_view> lines);

private:
    void WriteConverted(TNativeFile descriptor, std::initializer_list<std::string_view> lines);
    void WriteBytes(TNativeFile descriptor, std::string_view bytes);

    TNativeFile FData;
    TNativeFile FOutput;  // of the messages
    TNativeFile FError;
    TConsoleCharset FCharset;
    bool FDrawsProgress;
    std::atomic<bool> FOutputFailed{false};
    TCriticalSection FLock;
};

}  // namespace zarvik12m
