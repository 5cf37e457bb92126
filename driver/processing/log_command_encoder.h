#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "driver/platform/critical_section.h"
#include "driver/protocol/command.h"

namespace zarvik12m {

// The diagnostic trace of one engine: LogCommandEncoder_COM<port>.txt in
// the folder of ZARVIK12M_LOG_DIR or the current one (log_folder.h), a
// regular file (as the error log's), Windows-1251 text with CR LF line ends. The file
// is opened and closed for every entry and only ever grows.
//
// The object is its own lock: WriteCommand and WriteText expect their
// caller to hold it for the whole entry (the engine's LogCommand and
// LogText do), so that entries of several threads never interleave.
// While Enabled is false every write does nothing.
class TLogCommandEncoder : public TCriticalSection {
public:
    explicit TLogCommandEncoder(std::uint8_t portNumber);

    // An empty line, the header (local date and time, a blank, the text)
    // and eight lines describing the command; the payload is not logged.
    // Throws std::system_error when the file cannot be opened or written.
    void WriteCommand(const TCommand& command, std::string_view text);

    // An empty line and the header.
    void WriteText(std::string_view text);

    // Empty texts for values outside the enumerations.
    static std::string_view TypeName(TCommandType commandType) noexcept;
    static std::string_view StateName(TCommandState state) noexcept;

    [[nodiscard]] bool Enabled() const noexcept { return FEnabled.load(std::memory_order_relaxed); }
    void SetEnabled(bool enabled) noexcept { FEnabled.store(enabled, std::memory_order_relaxed); }

    [[nodiscard]] const std::string& FileName() const noexcept { return FFileName; }

private:
    static std::string Header(std::string_view text);
    void Append(std::string_view entry) const;

    std::string FFileName;
    std::atomic<bool> FEnabled{true};
};

}  // namespace zarvik12m
