// Stopping an export from another thread, and exports on two ports at
// once, through the built library against emulated registers.

#include <future>
#include <vector>

#include <gtest/gtest.h>

#include "tests/interface/exports_support.h"
#include "tests/support/expect_error.h"
#include "tools/emulator/goods_generator.h"

namespace zarvik12m::testing {
namespace {

using emulator::GenerateGoods;

constexpr std::uint8_t OtherPort = 2;

std::future<void> WriteAsync(std::uint8_t port, const TZarvik12m_Goods& goods)
{
    return std::async(std::launch::async, [port, &goods] {
        Driver().WriteGoods(port, TestBaudRate, TestNetNumber, goods, static_cast<std::uint16_t>(goods.size()));
    });
}

std::future<std::uint16_t> LoadAsync(std::uint8_t port, TZarvik12m_Goods& goods)
{
    return std::async(std::launch::async, [port, &goods] {
        std::uint16_t count = 0;
        Driver().LoadGoods(port, TestBaudRate, TestNetNumber, goods, count);
        return count;
    });
}

class CancellationTest : public ExportsTest {
protected:
    // Writes the goods on COM1 and asks for a stop while the register holds
    // back its answer to the given write.
    std::future<void> WriteStoppedDuring(const TZarvik12m_Goods& goods, std::size_t write)
    {
        Hold().Arm(write);
        std::future<void> writing = WriteAsync(Port, goods);
        EXPECT_TRUE(Hold().WaitUntilHeld());
        Driver().ProgressProcessStop(Port);
        Hold().Release();
        return writing;
    }
};

TEST_F(CancellationTest, AStopDuringTheFifthWriteEndsTheWriteBeforeTheSixth)
{
    const TZarvik12m_Goods goods = Delivered(GenerateGoods(100));
    std::future<void> writing = WriteStoppedDuring(goods, 5);
    ExpectError([&] { writing.get(); }, ecCancelled, {});
    EXPECT_EQ(Position(), 5);
    EXPECT_EQ(Maximum(), 4000);
    EXPECT_EQ(Register().GoodsCount(), 5U);  // the write in flight completes
    EXPECT_EQ(MessagesReceived(), std::vector<std::uint8_t>(5, WriteGoodsMessage));
}

TEST_F(CancellationTest, AStopDuringTheLastCommandComesTooLate)
{
    const TZarvik12m_Goods goods = Delivered(GenerateGoods(3));
    std::future<void> writing = WriteStoppedDuring(goods, 3);
    EXPECT_NO_THROW(writing.get());
    EXPECT_EQ(Position(), 3);
}

TEST_F(CancellationTest, AStopBeforeTheCallIsForgotten)
{
    Driver().ProgressProcessStop(Port);
    EXPECT_NO_THROW(Driver().ClearGoods(Port, TestBaudRate, TestNetNumber));
    EXPECT_EQ(Position(), 1);
}

// Both calls wait at once for an answer, each on its own port, before
// either goes on.
TEST_F(CancellationTest, ExportsOnTwoPortsRunAtTheSameTime)
{
    TRegisterOnPort other(OtherPort);
    Register().SetGoodsTable(GenerateGoods(12));
    other.Emulator.SetGoodsTable(GoodsNumbered({1, 2, 3, 4, 5, 6, 7}));
    Hold().Arm(4);
    other.Hold.Arm(2);
    TZarvik12m_Goods goods;
    TZarvik12m_Goods otherGoods;
    std::future<std::uint16_t> loading = LoadAsync(Port, goods);
    std::future<std::uint16_t> otherLoading = LoadAsync(OtherPort, otherGoods);
    const bool bothHeld = Hold().WaitUntilHeld() && other.Hold.WaitUntilHeld();
    EXPECT_TRUE(bothHeld);
    EXPECT_EQ(Position(), 4);
    EXPECT_EQ(Driver().GetProgressPosition(OtherPort), 2);
    Hold().Release();
    other.Hold.Release();
    EXPECT_EQ(loading.get(), 12);
    EXPECT_EQ(otherLoading.get(), 7);
    EXPECT_EQ(goods, Delivered(GenerateGoods(12)));
    EXPECT_EQ(otherGoods, Delivered(GoodsNumbered({1, 2, 3, 4, 5, 6, 7})));
    EXPECT_EQ(Position(), 13);
    EXPECT_EQ(Driver().GetProgressPosition(OtherPort), 8);
}

TEST_F(CancellationTest, AStopOnPort2LeavesPort1Alone)
{
    TRegisterOnPort other(OtherPort);
    Register().SetGoodsTable(GenerateGoods(10));
    const TZarvik12m_Goods written = Delivered(GenerateGoods(100));
    Hold().Arm(3);
    other.Hold.Arm(5);
    TZarvik12m_Goods goods;
    std::future<std::uint16_t> loading = LoadAsync(Port, goods);
    std::future<void> writing = WriteAsync(OtherPort, written);
    const bool bothHeld = Hold().WaitUntilHeld() && other.Hold.WaitUntilHeld();
    EXPECT_TRUE(bothHeld);
    Driver().ProgressProcessStop(OtherPort);
    Hold().Release();
    other.Hold.Release();
    EXPECT_EQ(loading.get(), 10);
    EXPECT_EQ(goods, Delivered(GenerateGoods(10)));
    EXPECT_EQ(Position(), 11);
    ExpectError([&] { writing.get(); }, ecCancelled, {});
    EXPECT_EQ(Driver().GetProgressPosition(OtherPort), 5);
}

}  // namespace
}  // namespace zarvik12m::testing
