#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "driver/common/cp1251.h"
#include "driver/processing/command_encoder.h"
#include "driver/processing/command_queues.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/temp_directory.h"
#include "tools/emulator/emulator.h"

namespace zarvik12m {
namespace {

using emulator::TEmulator;
using emulator::TGoodsRecord;

constexpr std::uint8_t TestPort = 9;

struct TAnswer {
    std::uint8_t Number = 0;
    TCommandDataPtr Data;
};

// The engine against the emulated register.
class EngineWithTheEmulator : public ::testing::Test {
protected:
    EngineWithTheEmulator()
    {
        FRegister.SetSerialNumber("00047110815");
        FRegister.SetGoods(1, {"4600000000017", 89, std::string("Молоко"_cp1251), 3, 1500});
        FEngine.Start(115200);
    }

    TAnswer Execute(std::uint8_t commandNumber, const TCommandData* request = nullptr)
    {
        TAnswer answer;
        FEngine.ExecuteCommand(1, commandNumber, answer.Data, answer.Number, request);
        return answer;
    }

    TAnswer ReadGoods(std::uint16_t code)
    {
        TTX_READ_TOV_DataIn request{};
        request.Argument = code;
        const TCommandData data{request};
        return Execute(48, &data);
    }

    testing::TScratchDirectory FScratch;
    TEmulator FRegister;
    testing::TPortVariable FVariable{TestPort, FRegister.SlavePath()};
    TCommandEncoder FEngine{TestPort, ByteSetOf({1})};
};

TEST_F(EngineWithTheEmulator, ReadsWritesAndClearsTheGoodsTable)
{
    const TAnswer serial = Execute(58);
    ASSERT_EQ(serial.Number, 24);
    EXPECT_EQ(DataAs<TRX_SERIAL_NUMBER_DataIn>(serial.Data).SerialNumber.View(), "00047110815");

    const TAnswer found = ReadGoods(1);
    ASSERT_EQ(found.Number, 11);
    const auto& goods = DataAs<TRX_READ_TOV_DataIn>(found.Data);
    EXPECT_EQ(goods.Barcode.View(), "4600000000017");
    EXPECT_EQ(goods.Price, 890000);  // 89.0000
    EXPECT_EQ(goods.Name.View(), "Молоко"_cp1251);
    EXPECT_EQ(goods.Group, 3);
    EXPECT_DOUBLE_EQ(goods.Quantity, 1.5);

    TZarvik12m_GoodsItem item{};
    item.Code = 2;
    item.Barcode.Assign("123");
    item.Price = 125000;  // 12.5 goes as 12
    item.Name.Assign("Хлеб ржаной"_cp1251);
    item.Group = 1;
    item.Quantity = 2.25;
    const TCommandData write{item};
    const TAnswer written = Execute(49, &write);
    ASSERT_EQ(written.Number, 13);
    EXPECT_EQ(DataAs<TRX_WRITE_TOV_DataIn>(written.Data).Result, 0);
    const TGoodsRecord expected{"          123", 12, std::string("Хлеб ржаной"_cp1251), 1, 2250};
    EXPECT_EQ(FRegister.Goods(2), expected);

    EXPECT_EQ(ReadGoods(3).Number, 12);
    const TAnswer cleared = Execute(50);
    ASSERT_EQ(cleared.Number, 14);
    EXPECT_EQ(FRegister.GoodsCount(), 0U);
    const TAnswer gone = ReadGoods(1);
    ASSERT_EQ(gone.Number, 12);
    EXPECT_EQ(DataAs<TRX_READ_TOV_ERROR_DataIn>(gone.Data).Result, 7);
}

TEST_F(EngineWithTheEmulator, AnswersSurviveANoisyLine)
{
    for (std::uint16_t code = 1; code <= 50; ++code) {
        std::string name = "N";
        name += std::to_string(code);
        FRegister.SetGoods(code, {std::to_string(code), code, name, 0, 0});
    }
    FRegister.SetGarbage({0x00, 0xFF, 0x24, 0x13});
    FRegister.SetForeignNetNumber(7);
    FRegister.SetDuplicateAnswer(true);
    FRegister.SetChunks(5, std::chrono::milliseconds(1));
    for (std::uint16_t code = 1; code <= 50; ++code) {
        const TAnswer answer = ReadGoods(code);
        ASSERT_EQ(answer.Number, 11) << code;
        EXPECT_EQ(DataAs<TRX_READ_TOV_DataIn>(answer.Data).Price, code * 10000);
    }
}

}  // namespace
}  // namespace zarvik12m
