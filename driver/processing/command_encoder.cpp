#include "driver/processing/command_encoder.h"

#include "driver/port/com_port.h"
#include "driver/processing/command_queues.h"
#include "driver/processing/rx_command_thread.h"
#include "driver/processing/tx_command_thread.h"

namespace zarvik12m {

TCommandEncoder::TCommandEncoder(std::uint8_t portNumber, const TByteSet& netNumbers)
    : TFrameCodec(portNumber, netNumbers), FLog(portNumber)
{
    // The command log is a diagnostic aid that stays off in normal work.
    FLog.SetEnabled(false);
    FPort = std::make_unique<TCOMPort>(portNumber);
    FRXQueue = std::make_unique<TRXCommandQueue>(*this);
    FTXQueue = std::make_unique<TTXCommandQueue>(*this);
}

}  // namespace zarvik12m
