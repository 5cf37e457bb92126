#include <cstdint>
#include <set>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "driver/common/cp1251.h"
#include "driver/common/errors.h"
#include "driver/processing/command_encoder.h"

namespace zarvik12m {
namespace {

constexpr std::uint8_t Port = 4;

const std::set<std::uint8_t> WithoutPayload = {50, 53, 56, 57, 58, 59};

TEST(CommandIDs, RunFromOneAndSkipZeroWhenTheyWrap)
{
    TCommandEncoder encoder(Port, ByteSetOf({1}));
    EXPECT_EQ(encoder.NextID(), 1U);
    EXPECT_EQ(encoder.NextID(), 2U);
    EXPECT_EQ(encoder.InitCommand(48, 1).ID, 3U);

    encoder.IDGenerator().SetCounter(4294967295U);
    EXPECT_EQ(encoder.NextID(), 4294967295U);
    EXPECT_EQ(encoder.NextID(), 1U);
    EXPECT_EQ(encoder.NextID(), 2U);
}

TEST(InitCommand, MakesAFreshRecordForEveryCatalogueNumber)
{
    TCommandEncoder encoder(Port, ByteSetOf({1}));
    for (std::uint8_t number = 1; number <= CommandCount; ++number) {
        const TDateTime before = Now();
        const TCommand command = encoder.InitCommand(number, 12);
        EXPECT_EQ(command.ID, number);
        EXPECT_EQ(command.CommandType, TCommandEncoder::CommandTypeOf(number));
        EXPECT_EQ(command.State, csCreated);
        EXPECT_GE(command.StateTime, before);
        EXPECT_LE(command.StateTime, Now());
        EXPECT_EQ(command.NetNumber, 12);
        EXPECT_EQ(command.ProtocolCommand, CommandCatalogue[number].ProtocolCommand);
        EXPECT_EQ(command.CommandNumber, number);
        ASSERT_NE(command.Event, nullptr);
        EXPECT_EQ(command.Event->WaitFor(0), TEvent::wrTimeout) << "created signalled";
        if (WithoutPayload.contains(number)) {
            EXPECT_EQ(command.Data, nullptr) << int{number};
        } else {
            ASSERT_NE(command.Data, nullptr) << int{number};
            EXPECT_EQ(command.Data->index(), number);
        }
    }
}

TEST(InitCommand, RaisesForNumbersOutsideTheCatalogue)
{
    TCommandEncoder encoder(Port, ByteSetOf({1}));
    for (const std::uint8_t number : {std::uint8_t{0}, std::uint8_t{67}}) {
        try {
            encoder.InitCommand(number, 9);
            ADD_FAILURE() << int{number};
        } catch (const EZarvik12mError& error) {
            EXPECT_EQ(error.ErrorCode(), ecUnknownCommand);
            EXPECT_EQ(error.what(),
                      std::string("[COM4 NetNum0] Ошибка кодирования команды: Команды с номером "_cp1251) +
                          std::to_string(number) + std::string(" не существует"_cp1251));
        }
    }
}

TEST(FreeCommand, ZeroesTheRecordWhileOtherCopiesKeepEventAndData)
{
    TCommandEncoder encoder(Port, ByteSetOf({1}));
    TCommand queued = encoder.InitCommand(65, 1);
    DataAs<TTX_WRITE_RPZU_DataIn>(queued).Data = {1, 2, 3};
    const TCommand waiter = queued;

    TCommandEncoder::FreeCommand(queued);
    EXPECT_EQ(queued.ID, 0U);
    EXPECT_EQ(queued.CommandType, ctUnknown);
    EXPECT_EQ(queued.StateTime, 0.0);
    EXPECT_EQ(queued.Event, nullptr);
    EXPECT_EQ(queued.Data, nullptr);
    EXPECT_EQ(queued.CommandNumber, 0);
    EXPECT_EQ(queued.ProtocolCommand, 0);

    ASSERT_NE(waiter.Event, nullptr);
    waiter.Event->SetEvent();
    EXPECT_EQ(waiter.Event->WaitFor(0), TEvent::wrSignaled);
    EXPECT_EQ(DataAs<TTX_WRITE_RPZU_DataIn>(waiter).Data, (TCommand_Data{1, 2, 3}));

    TCommandEncoder::FreeCommand(queued);  // freeing a freed record does nothing
    EXPECT_EQ(queued.ID, 0U);
}

TEST(DataRecords, AllocatesTheZeroFilledRecordOfTheCommand)
{
    TCommandEncoder encoder(Port, ByteSetOf({1}));
    for (std::uint8_t number = 1; number <= CommandCount; ++number) {
        const TCommandDataPtr data = encoder.AllocData(number);
        EXPECT_EQ(data == nullptr, WithoutPayload.contains(number)) << int{number};
        if (data != nullptr) {
            EXPECT_EQ(data->index(), number);
        }
    }
    const TCommandDataPtr goods = encoder.AllocData(49);
    EXPECT_EQ(DataAs<TZarvik12m_GoodsItem>(goods), TZarvik12m_GoodsItem{});
    const TCommandDataPtr reader = encoder.AllocData(9);
    EXPECT_EQ(DataAs<TRX_GET_AVT_BY_READER_DataIn>(reader).Amount, 0);
    EXPECT_TRUE(DataAs<TRX_GET_AVT_BY_READER_DataIn>(reader).Data.empty());
}

TEST(DataRecords, CopyOwnsItsBytes)
{
    TCommandEncoder encoder(Port, ByteSetOf({1}));
    TCommandDataPtr source = encoder.AllocData(65);
    auto& written = DataAs<TTX_WRITE_RPZU_DataIn>(source);
    written.Field1 = 7;
    written.Field2 = -2;
    written.Data = {0xDE, 0xAD, 0xBE, 0xEF};
    const TCommandDataPtr copy = encoder.AllocData(65);

    encoder.CopyData(65, source.get(), copy.get());
    written.Data[0] = 0x00;
    encoder.FreeData(65, source);
    EXPECT_EQ(source, nullptr);

    const auto& copied = DataAs<TTX_WRITE_RPZU_DataIn>(copy);
    EXPECT_EQ(copied.Field1, 7);
    EXPECT_EQ(copied.Field2, -2);
    EXPECT_EQ(copied.Data, (TCommand_Data{0xDE, 0xAD, 0xBE, 0xEF}));
}

TEST(DataRecords, CopiesEveryFieldOfFixedRecords)
{
    TCommandEncoder encoder(Port, ByteSetOf({1}));
    const TCommandDataPtr source = encoder.AllocData(49);
    DataAs<TZarvik12m_GoodsItem>(source) = {12,     TZarvik12m_ShortString<13>::FromText("4600000000017"),
                                            125000, TZarvik12m_ShortString<16>::FromText("Сыр"_cp1251),
                                            3,      1.5};
    const TCommandDataPtr copy = encoder.AllocData(49);
    encoder.CopyData(49, source.get(), copy.get());
    EXPECT_EQ(DataAs<TZarvik12m_GoodsItem>(copy), DataAs<TZarvik12m_GoodsItem>(source));

    encoder.CopyData(58, nullptr, nullptr);  // no payload: nothing to copy
}

TEST(DataRecords, MismatchedRecordsFailLoudly)
{
    TCommandEncoder encoder(Port, ByteSetOf({1}));
    const TCommandDataPtr goods = encoder.AllocData(49);
    const TCommandDataPtr read = encoder.AllocData(48);
    EXPECT_THROW(encoder.CopyData(49, goods.get(), read.get()), std::logic_error);
    EXPECT_THROW(encoder.CopyData(48, nullptr, read.get()), std::logic_error);
    EXPECT_THROW(DataAs<TTX_READ_TOV_DataIn>(goods), std::logic_error);
    EXPECT_THROW(DataAs<TTX_READ_TOV_DataIn>(TCommandDataPtr{}), std::logic_error);
    EXPECT_NO_THROW(DataAs<TTX_READ_TOV_DataIn>(read));
}

TEST(DataRecords, NumbersOutsideTheCatalogueRaise)
{
    TCommandEncoder encoder(Port, ByteSetOf({1}));
    const auto codeOf = [](const auto& action) -> std::int16_t {
        try {
            action();
        } catch (const EZarvik12mError& error) {
            return error.ErrorCode();
        }
        return 0;
    };
    TCommandDataPtr data = encoder.AllocData(48);
    EXPECT_EQ(codeOf([&] { (void)encoder.AllocData(0); }), ecUnknownCommand);
    EXPECT_EQ(codeOf([&] { (void)encoder.AllocData(67); }), ecUnknownCommand);
    EXPECT_EQ(codeOf([&] { encoder.FreeData(67, data); }), ecUnknownCommand);
    EXPECT_NE(data, nullptr) << "freed although the number was refused";
    EXPECT_EQ(codeOf([&] { encoder.CopyData(0, data.get(), data.get()); }), ecUnknownCommand);

    TCommandDataPtr none;
    encoder.FreeData(50, none);  // a null record is accepted
}

}  // namespace
}  // namespace zarvik12m
