// Many goods reads and writes through the built library's exports against
// an emulated register whose line misbehaves at random: noise before the
// answers, copies of the answers for another register, answers split into
// chunks, answers sent twice and answers that come late. Nothing may be
// lost or altered, and no exchange may wait out the answer time-out.
//
// Which faults may go together follows from the protocol. A frame carries
// no sequence number: an answer belongs to the oldest sent command of the
// same register and code. The driver does refuse an answer whose first
// byte came before its command went out, so a register that repeats its
// answer at once, in the same burst, does no harm. A copy that comes after
// the next command went out is, by that rule, the next command's answer,
// and no driver can tell otherwise. The emulator sends the noise, the
// foreign copy, the answer and its repetition as one stream, split when
// chunks are on; each chunk is a write of its own, and the next command
// may leave between two of them (surely when they pause). So answers sent
// twice never go with chunks here; every other combination is fair.
// Noise that happens to form a frame of our register is a frame by the
// same rule, so such noise is drawn again (see RandomFaults).
//
// Each test draws from its own stream of one seed. The seed is printed at
// the start and in every failure; ZARVIK12M_SOAK_SEED=<seed> repeats a
// soak, ZARVIK12M_SOAK_RUNS=<n> changes its number of runs.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/common/cp1251.h"
#include "driver/common/error_text.h"
#include "tests/interface/exports_support.h"
#include "tests/soak/soak_plan.h"

namespace zarvik12m::testing {
namespace {

using emulator::TBytes;
using emulator::TGoodsTable;

// Some seconds to half a minute a test, in every build.
constexpr std::size_t StandardRuns = 100;

// Mostly up to 60 goods; one run in twelve some hundreds.
std::uint16_t RandomTableSize(TSoakRandom& random)
{
    return static_cast<std::uint16_t>(random.Chance(8) ? random.Between(100, 400) : random.Between(0, 60));
}

std::vector<std::uint16_t> NumbersUpTo(std::size_t last)
{
    std::vector<std::uint16_t> numbers(last);
    std::iota(numbers.begin(), numbers.end(), std::uint16_t{1});
    return numbers;
}

// Distinct goods numbers in random order.
std::vector<std::uint16_t> RandomGoodsNumbers(TSoakRandom& random, std::size_t count)
{
    std::vector<std::uint16_t> numbers = NumbersUpTo(emulator::MaxGoodsNumber);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t pick = random.Between(static_cast<std::uint32_t>(i), emulator::MaxGoodsNumber - 1);
        std::swap(numbers[i], numbers[pick]);
    }
    numbers.resize(count);
    return numbers;
}

// Whether two sequences of entries are equal; if not, the first entry in
// which they differ.
template <typename TEntries>
::testing::AssertionResult SameEntries(const TEntries& actual, const TEntries& expected)
{
    if (actual == expected) {
        return ::testing::AssertionSuccess();
    }
    ::testing::AssertionResult result = ::testing::AssertionFailure();
    result << actual.size() << " entries, expected " << expected.size();
    const auto [found, wanted] = std::ranges::mismatch(actual, expected);
    if (found != actual.end() && wanted != expected.end()) {
        result << "; entry " << std::distance(actual.begin(), found) << " is " << ::testing::PrintToString(*found)
               << ", expected " << ::testing::PrintToString(*wanted);
    }
    return result;
}

class LineFaultSoak : public ExportsTest {
protected:
    void SetUp() override
    {
        std::cout << "soak seed " << FSeed << " (ZARVIK12M_SOAK_SEED), " << FRuns << " runs" << std::endl;
    }

    [[nodiscard]] std::string RunNote(std::size_t run, std::size_t goods, const emulator::TFaults& faults) const
    {
        return "seed " + std::to_string(FSeed) + " (set ZARVIK12M_SOAK_SEED to repeat), run " + std::to_string(run) +
               " of " + std::to_string(FRuns) + ": " + std::to_string(goods) + " goods, " + Describe(faults);
    }

    // Runs an export; an error fails the run.
    template <typename TAction>
    ::testing::AssertionResult Succeeds(TAction&& action)
    {
        try {
            action();
            return ::testing::AssertionSuccess();
        } catch (const EZarvik12mError& error) {
            return ::testing::AssertionFailure()
                   << "error " << error.ErrorCode() << ": " << Cp1251ToUtf8(error.what())
                   << (error.ErrorCode() == ecCommandFailed ? " (an exchange waited out the answer time-out)" : "");
        }
    }

    // The goods numbers of the commands of this kind that the register
    // answered, in the order they came, once all of them are in.
    [[nodiscard]] std::vector<std::uint16_t> GoodsNumbersAnswered(std::uint8_t message, std::size_t count)
    {
        EXPECT_TRUE(Register().WaitForExchanges(count, LongWait));
        std::vector<std::uint16_t> numbers;
        for (const emulator::TExchange& exchange : Register().Exchanges()) {
            if (exchange.Request.Message == message && !exchange.Answer.empty()) {
                numbers.push_back(emulator::GetWord(exchange.Request.Bytes.data() + 3));
            }
        }
        return numbers;
    }

    const std::uint64_t FSeed = SoakSeed();
    const std::size_t FRuns = SoakRuns(StandardRuns);
};

TEST_F(LineFaultSoak, EveryTableReadEqualsTheRegistersTable)
{
    TSoakRandom random(FSeed, 1);
    for (std::size_t run = 1; run <= FRuns && !HasFailure(); ++run) {
        const std::uint16_t size = RandomTableSize(random);
        TGoodsTable table;
        std::vector<TBytes> answers{NoSuchGoodsAnswer()};
        for (std::uint16_t number = 1; number <= size; ++number) {
            table.emplace(number, RandomRecord(random));
            answers.push_back(GoodsFoundAnswer(table.at(number)));
        }
        // Now and then goods beyond a gap, which the read must not reach.
        TGoodsTable held = table;
        if (random.Chance(20)) {
            const std::uint32_t last =
                std::min<std::uint32_t>(size + 2U + random.Between(0, 5), emulator::MaxGoodsNumber);
            for (std::uint32_t number = size + 2U; number <= last; ++number) {
                held.emplace(static_cast<std::uint16_t>(number), RandomRecord(random));
            }
        }
        const emulator::TFaults faults = RandomFaults(random, answers);
        SCOPED_TRACE(RunNote(run, size, faults));
        Register().SetGoodsTable(held);
        Register().SetFaults(faults);
        Register().ClearHistory();

        TZarvik12m_Goods goods;
        std::uint16_t count = 0;
        EXPECT_TRUE(Succeeds([&] { count = Load(goods); }));
        EXPECT_EQ(count, size);
        EXPECT_TRUE(SameEntries(goods, Delivered(table)));
        EXPECT_EQ(GoodsNumbersAnswered(ReadGoodsMessage, size + 1U), NumbersUpTo(size + 1U));
    }
}

TEST_F(LineFaultSoak, EveryTableWrittenArrivesWhole)
{
    TSoakRandom random(FSeed, 2);
    for (std::size_t run = 1; run <= FRuns && !HasFailure(); ++run) {
        const std::uint16_t size = RandomTableSize(random);
        const std::vector<std::uint16_t> numbers = RandomGoodsNumbers(random, size);
        TZarvik12m_Goods goods;
        TGoodsTable expected;
        for (const std::uint16_t number : numbers) {
            emulator::TGoodsRecord record = RandomRecord(random);
            goods.push_back(Delivered(number, record));
            record.Name = AsTheLineCarries(goods.back().Name.View());
            expected.emplace(number, record);
        }
        const emulator::TFaults faults = RandomFaults(random, {WriteDoneAnswer()});
        SCOPED_TRACE(RunNote(run, size, faults));
        Register().ClearGoods();
        Register().SetFaults(faults);
        Register().ClearHistory();

        EXPECT_TRUE(Succeeds([&] { Write(goods, size); }));
        EXPECT_TRUE(SameEntries(Register().GoodsTable(), expected));
        EXPECT_EQ(GoodsNumbersAnswered(WriteGoodsMessage, size), numbers);
    }
}

}  // namespace
}  // namespace zarvik12m::testing
