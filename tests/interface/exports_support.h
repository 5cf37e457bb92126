#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>

#include <vector>

#include <gtest/gtest.h>

#include "tests/support/pseudo_terminal.h"
#include "tests/support/register_on_port.h"
#include "tests/support/temp_directory.h"
#include "tools/emulator/emulator.h"
#include "utility/zarvik12m_dll.h"
#include "zarvik12m/exports.h"

// Goods entries as test failures show them.
void PrintTo(const TZarvik12m_GoodsItem& item, std::ostream* stream);

namespace zarvik12m::testing {

// The built library's seven exports, bound by name through the utility's
// own binding, as a calling program binds them. The library is loaded once
// and stays loaded until the test process ends: every error object it
// throws needs its code to be destroyed. Throws std::runtime_error when the
// library or one of its exports is missing.
const TZarvik12mDll& Driver();

// The server commands as the register numbers them.
inline constexpr std::uint8_t ReadGoodsMessage = 48;
inline constexpr std::uint8_t WriteGoodsMessage = 49;
inline constexpr std::uint8_t ClearGoodsMessage = 50;
inline constexpr std::uint8_t SerialNumberMessage = 58;

inline constexpr std::int32_t TestBaudRate = 115200;
inline constexpr std::uint8_t TestNetNumber = 1;

// An entry of the register's table as LoadGoods delivers it.
TZarvik12m_GoodsItem Delivered(std::uint16_t code, const emulator::TGoodsRecord& record);

// The register's entries, in number order, as LoadGoods delivers them.
TZarvik12m_Goods Delivered(const emulator::TGoodsTable& table);

// The generated goods with these numbers, as the register keeps them.
emulator::TGoodsTable GoodsNumbered(const std::vector<std::uint16_t>& numbers);

// The message numbers of the frames that the register received, in order,
// once everything sent so far has arrived: a GetProperties call follows as
// a marker (the line keeps its order, so its frame comes last) and is left
// out of the result.
std::vector<std::uint8_t> MessagesReceived(TRegisterOnPort& target, std::uint8_t port);

// One register on COM1, in a scratch directory that takes the error log.
class ExportsTest : public ::testing::Test {
protected:
    static constexpr std::uint8_t Port = 1;

    [[nodiscard]] emulator::TEmulator& Register() { return FRegister.Emulator; }
    [[nodiscard]] TAnswerHold& Hold() { return FRegister.Hold; }

    // LoadGoods on COM1; the count that it leaves.
    std::uint16_t Load(TZarvik12m_Goods& goods);

    void Write(const TZarvik12m_Goods& goods, std::uint16_t count);

    [[nodiscard]] std::vector<std::uint8_t> MessagesReceived() { return testing::MessagesReceived(FRegister, Port); }

    // The goods numbers that LoadGoods asked for.
    [[nodiscard]] std::vector<std::uint16_t> GoodsNumbersAsked() const;

    [[nodiscard]] std::int32_t Position() const { return Driver().GetProgressPosition(Port); }
    [[nodiscard]] std::int32_t Maximum() const { return Driver().GetProgressMax(Port); }

    // The error log's last line, without its time stamp.
    [[nodiscard]] std::string LastLogEntry() const;

    TScratchDirectory FScratch;
    TRegisterOnPort FRegister{Port};
};

}  // namespace zarvik12m::testing
