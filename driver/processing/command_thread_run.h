#pragma once

#include <string_view>

#include "driver/platform/thread.h"
#include "driver/processing/command_encoder.h"

namespace zarvik12m {

// What the transmit and the receive thread do around their loops: raise
// their started flag, log their start, run the loop, and, however the loop
// ends, lower the flag and log their stop. A stop entry that cannot be
// written is dropped: the thread is ending anyway, and an error that ended
// the loop is the one the thread keeps.
template <typename TLoop>
void RunCommandThread(TCommandEncoder& encoder, void (TCommandEncoder::*setStarted)(bool) noexcept,
                      std::string_view startedText, std::string_view stoppedText, TLoop&& loop)
{
    class TTermination {
    public:
        TTermination(TCommandEncoder& owner, void (TCommandEncoder::*set)(bool) noexcept, std::string_view text)
            : FOwner(owner), FSet(set), FText(text)
        {}
        ~TTermination()
        {
            (FOwner.*FSet)(false);
            try {
                FOwner.LogText(FText);
            } catch (...) {  // NOLINT(bugprone-empty-catch): see above
            }
        }
        TTermination(const TTermination&) = delete;
        TTermination& operator=(const TTermination&) = delete;

    private:
        TCommandEncoder& FOwner;
        void (TCommandEncoder::*FSet)(bool) noexcept;
        std::string_view FText;
    };

    (encoder.*setStarted)(true);
    const TTermination termination(encoder, setStarted, stoppedText);
    encoder.LogText(startedText);
    loop();
}

}  // namespace zarvik12m
