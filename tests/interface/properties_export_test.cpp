// GetProperties of the built library against the emulated register.

#include <gtest/gtest.h>

#include "driver/common/cp1251.h"
#include "tests/interface/exports_support.h"
#include "tests/support/expect_error.h"

namespace zarvik12m::testing {
namespace {

using namespace zarvik12m::literals;

using GetPropertiesTest = ExportsTest;

TEST_F(GetPropertiesTest, ReportsTheDeviceAndItsFactoryNumber)
{
    for (const char* serialNumber : {"12000001", "1234567890123"}) {
        SCOPED_TRACE(serialNumber);
        Register().SetSerialNumber(serialNumber);
        TZarvik12m_Properties properties{};
        Driver().GetProperties(Port, TestBaudRate, TestNetNumber, properties);
        EXPECT_EQ(properties.DeviceName, "Зарвик-12М"_cp1251);
        EXPECT_EQ(properties.SerialNumber.Str(), serialNumber);
        EXPECT_EQ(properties.MaxGoods, 4000);
        EXPECT_EQ(Position(), 1);
        EXPECT_EQ(Maximum(), 1);
    }
}

// Waits out the engine's ten-second answer time.
TEST_F(GetPropertiesTest, ASilentRegisterFailsWithTheDevicePartFilledIn)
{
    constexpr std::uint8_t netNumber = 7;
    Register().SetNetNumber(netNumber);
    Register().SetNeverAnswer(true);
    TZarvik12m_Properties properties{};
    properties.SerialNumber.Assign("earlier");
    ExpectError([&] { Driver().GetProperties(Port, TestBaudRate, netNumber, properties); }, ecCommandFailed,
                {std::int64_t{Port}, std::int64_t{netNumber}});
    EXPECT_EQ(properties.DeviceName, "Зарвик-12М"_cp1251);
    EXPECT_EQ(properties.MaxGoods, 4000);
    EXPECT_EQ(properties.SerialNumber.Str(), "earlier");
    EXPECT_EQ(Position(), 1);
    EXPECT_EQ(LastLogEntry(), "[ErrorCode-202] " + std::string("[COM1 NetNum7] Команда не выполнилась"_cp1251));
}

// The error class is the caller's own: the calling program catches what
// the library throws by its name.
TEST_F(GetPropertiesTest, ErrorsReachTheCallerAsEZarvik12mError)
{
    const TPortVariable nowhere(Port, (FScratch.Path() / "gone").string());
    TZarvik12m_Properties properties{};
    try {
        Driver().GetProperties(Port, TestBaudRate, TestNetNumber, properties);
        FAIL() << "no error";
    } catch (const EZarvik12mError& error) {
        EXPECT_EQ(error.ErrorCode(), ecPortOpen);
    } catch (const std::exception& error) {
        FAIL() << "caught as another class: " << error.what();
    }
    EXPECT_TRUE(properties.DeviceName.empty());  // nothing is filled in when the port does not open
}

}  // namespace
}  // namespace zarvik12m::testing
