#include "bench/engine_round_trips.h"

#include <chrono>
#include <cstdint>
#include <string>

#include "bench/bench_support.h"
#include "driver/processing/command_encoder.h"

namespace zarvik12m::bench {

double EngineRoundTripSeconds(std::size_t roundTrips, std::size_t goodsCount)
{
    TCommandEncoder engine(BenchPort, ByteSetOf({BenchNetNumber}));
    engine.Start(115200);
    const auto start = TClock::now();
    for (std::size_t i = 0; i < roundTrips; ++i) {
        TTX_READ_TOV_DataIn request{};
        request.Argument = static_cast<std::uint16_t>(i % goodsCount + 1);
        const TCommandData data{request};
        TCommandDataPtr answer;
        std::uint8_t answerNumber = 0;
        engine.ExecuteCommand(BenchNetNumber, 48, answer, answerNumber, &data);
        if (answerNumber != 11) {
            Fail("round trip " + std::to_string(i) + " got answer " + std::to_string(answerNumber));
        }
    }
    return std::chrono::duration<double>(TClock::now() - start).count();
}

}  // namespace zarvik12m::bench
