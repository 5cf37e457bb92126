#include "driver/platform/network_address.h"

#include <gtest/gtest.h>

namespace zarvik12m {
namespace {

TEST(NetworkAddress, TheTwoSchemesWithEveryKindOfHost)
{
    const auto name = ParseNetworkAddress("tcp://till-7.shop.example:4001");
    ASSERT_TRUE(name);
    EXPECT_EQ(name->Protocol, npRawTcp);
    EXPECT_EQ(name->Host, "till-7.shop.example");
    EXPECT_EQ(name->Port, 4001);

    const auto ipv4 = ParseNetworkAddress("RFC2217://192.168.1.20:65535");
    ASSERT_TRUE(ipv4);
    EXPECT_EQ(ipv4->Protocol, npRfc2217);
    EXPECT_EQ(ipv4->Host, "192.168.1.20");
    EXPECT_EQ(ipv4->Port, 65535);

    const auto ipv6 = ParseNetworkAddress("rfc2217://[::1]:7002");
    ASSERT_TRUE(ipv6);
    EXPECT_EQ(ipv6->Host, "::1");
    EXPECT_EQ(ipv6->Port, 7002);
    const auto mapped = ParseNetworkAddress("tcp://[::ffff:10.0.0.1]:1");
    ASSERT_TRUE(mapped);
    EXPECT_EQ(mapped->Host, "::ffff:10.0.0.1");
}

TEST(NetworkAddress, MalformedAddressesAreRefusedButStillCountAsAddresses)
{
    for (const char* address :
         {"tcp://", "tcp://host", "tcp://host:", "tcp://:4001", "tcp://host:0", "tcp://host:65536", "tcp://host:+1",
          "tcp://host:4001/", "tcp://host:4001 ", "tcp://ho st:1", "tcp://-opt:1", "tcp://[::1:1", "tcp://[]:1",
          "tcp://[host]:1", "tcp://::1:1", "tcp://[::1]1", "rfc2217://host:99999999999", "tcp://host:0004001x"}) {
        EXPECT_TRUE(IsNetworkAddress(address)) << address;
        EXPECT_FALSE(ParseNetworkAddress(address)) << address;
    }
}

TEST(NetworkAddress, DevicesAndOtherSchemesAreNoNetworkAddresses)
{
    for (const char* name : {"/dev/ttyUSB0", "COM1", R"(\\.\COM10)", "socket://host:1", "tcp:/host:1", "tcp", ""}) {
        EXPECT_FALSE(IsNetworkAddress(name)) << name;
        EXPECT_FALSE(ParseNetworkAddress(name)) << name;
    }
}

}  // namespace
}  // namespace zarvik12m
