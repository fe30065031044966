#include "serial/device/DeviceAddress.h"

#include <gtest/gtest.h>

namespace feedrail {
namespace {

TEST(DeviceAddressTest, ReadsPathsAndNetworkAddresses) {
    using Kind = DeviceAddress::Kind;
    struct Case {
        const char* text;
        Kind kind;
        const char* host;
        int port;
        const char* shown;
    };
    const Case cases[] = {
        {"/dev/ttyUSB0", Kind::Path, "/dev/ttyUSB0", 0, "/dev/ttyUSB0"},
        {"/dev/serial/by-id/usb-FTDI_FT232R-if00-port0", Kind::Path,
         "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0", 0,
         "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"},
        {"rfc2217://10.0.4.21:4001", Kind::Rfc2217, "10.0.4.21", 4001, "rfc2217://10.0.4.21:4001"},
        {"RFC2217://lathe-box:2001", Kind::Rfc2217, "lathe-box", 2001, "rfc2217://lathe-box:2001"},
        {"tcp://10.0.4.22:65535", Kind::Tcp, "10.0.4.22", 65535, "tcp://10.0.4.22:65535"},
        {"tcp://[fe80::1]:23", Kind::Tcp, "fe80::1", 23, "tcp://[fe80::1]:23"},
    };
    for (const Case& c : cases) {
        const auto address = ParseDeviceAddress(c.text);
        ASSERT_TRUE(address) << c.text;
        EXPECT_EQ(address->kind, c.kind) << c.text;
        EXPECT_EQ(address->host, c.host) << c.text;
        EXPECT_EQ(address->port, c.port) << c.text;
        EXPECT_EQ(address->Text(), c.shown) << c.text;
    }
}

TEST(DeviceAddressTest, RefusesWhatNamesNoDevice) {
    for (const char* text :
         {"", "ttyUSB0", "com2", "rfc2217://", "rfc2217://host", "rfc2217://:4001", "tcp://host:0",
          "tcp://host:65536", "tcp://host:40x1", "tcp://fe80::1:23", "tcp://a b:23",
          "telnet://host:23", "tcp://[fe80::1]23"}) {
        EXPECT_FALSE(ParseDeviceAddress(text)) << text;
    }
}

} // namespace
} // namespace feedrail
