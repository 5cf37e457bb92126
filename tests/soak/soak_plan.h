#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "tools/emulator/faults.h"
#include "tools/emulator/goods_record.h"
#include "tools/emulator/wire.h"

namespace zarvik12m::emulator {

// Register entries as test failures show them.
void PrintTo(const TGoodsRecord& record, std::ostream* stream);

}  // namespace zarvik12m::emulator

// Random goods and random line faults for the soak runs. Everything is
// drawn from one seeded engine, so that a seed repeats a soak exactly.

namespace zarvik12m::testing {

// ZARVIK12M_SOAK_SEED when it is set, otherwise a fresh seed.
std::uint64_t SoakSeed();

// ZARVIK12M_SOAK_RUNS when it is set, otherwise the given count.
std::size_t SoakRuns(std::size_t standard);

class TSoakRandom {
public:
    // One engine per soak test: the same seed gives each test its own,
    // repeatable sequence.
    TSoakRandom(std::uint64_t seed, std::uint32_t stream);

    // low..high, both included.
    std::uint32_t Between(std::uint32_t low, std::uint32_t high);

    bool Chance(unsigned percent);

    std::uint8_t Byte() { return static_cast<std::uint8_t>(Between(0, 255)); }

private:
    std::mt19937_64 FEngine;
};

// An entry as a register might hold it, normalised as the register keeps
// it: barcodes of 0..13 digits, prices and quantities over their whole
// range now and then, names with Russian and Latin letters, digits, signs
// and now and then any byte from the blank up. (Control bytes at the end of
// a name are left out: the driver drops them as it drops trailing blanks,
// the emulator keeps them.)
emulator::TGoodsRecord RandomRecord(TSoakRandom& random);

// A name as the register stores it from the line: the punctuation of
// Windows-1251 does not survive the register's character set unchanged.
std::string AsTheLineCarries(std::string_view name);

// The answers of our register (network number 1) that a run provokes.
emulator::TBytes GoodsFoundAnswer(const emulator::TGoodsRecord& record);
emulator::TBytes NoSuchGoodsAnswer();
emulator::TBytes WriteDoneAnswer();

// Line faults for one run. The answers are those the run will provoke:
// noise and foreign copies that would happen to form a frame of our
// register ahead of one of them are drawn again (see the test for why).
emulator::TFaults RandomFaults(TSoakRandom& random, const std::vector<emulator::TBytes>& answers);

// The faults as a failure message shows them.
std::string Describe(const emulator::TFaults& faults);

}  // namespace zarvik12m::testing
