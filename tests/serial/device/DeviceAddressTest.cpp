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

// A network address written wrongly says what is wrong with it, naming the
// address: it must never be taken for a file name (the operator would read
// "No such file or directory").
TEST(DeviceAddressTest, RefusesWhatNamesNoDeviceAndSaysWhy) {
    const struct {
        const char* text;
        bool networkLike;
        const char* problem;
    } cases[] = {
        {"", false, "\"\" is neither an absolute path nor a network address"},
        {"ttyUSB0", false, "\"ttyUSB0\" is neither an absolute path nor a network address"},
        {"com2", false, "\"com2\" is neither an absolute path nor a network address"},
        {"/dev/a://b", false, "\"/dev/a://b\" is neither an absolute path nor a network address"},
        {"rfc2217://", true, "No port number in rfc2217:// (write host:port)"},
        {"rfc2217://host", true, "No port number in rfc2217://host (write host:port)"},
        {"rfc2217://:4001", true, "No host in rfc2217://:4001"},
        {"rfc2217://host:", true, "No port number in rfc2217://host:"},
        {"rfc2217://host:99999", true,
         "Invalid port number 99999 in rfc2217://host:99999 (1 to 65535)"},
        {"tcp://127.0.0.1:0", true, "Invalid port number 0 in tcp://127.0.0.1:0 (1 to 65535)"},
        {"tcp://host:65536", true, "Invalid port number 65536 in tcp://host:65536 (1 to 65535)"},
        {"tcp://host:40x1", true, "Invalid port number 40x1 in tcp://host:40x1 (1 to 65535)"},
        {"tcp://host:-1", true, "Invalid port number -1 in tcp://host:-1 (1 to 65535)"},
        {"tcp://host:123456", true, "Invalid port number 123456 in tcp://host:123456 (1 to 65535)"},
        {"tcp://fe80::1:23", true,
         "Invalid host in tcp://fe80::1:23 (an IPv6 address goes in brackets)"},
        {"tcp://a b:23", true, "Invalid host \"a b\" in tcp://a b:23"},
        {"tcp://a/b:23", true, "Invalid host \"a/b\" in tcp://a/b:23"},
        {"tcp://[fe80::1]23", true, "No port number in tcp://[fe80::1]23 (write host:port)"},
        {"tcp://[fe80::1:23", true, "No closing ] after the IPv6 address in tcp://[fe80::1:23"},
        {"tcp://[]:23", true, "No host in tcp://[]:23"},
        {"telnet://host:23", true,
         "Unknown scheme telnet:// in telnet://host:23 (write rfc2217:// or tcp://)"},
    };
    for (const auto& c : cases) {
        std::string problem;
        EXPECT_FALSE(ParseDeviceAddress(c.text, &problem)) << c.text;
        EXPECT_EQ(problem, c.problem) << c.text;
        EXPECT_EQ(NetworkAddressLike(c.text), c.networkLike) << c.text;
        EXPECT_FALSE(ParseDeviceAddress(c.text)) << c.text;
    }
}

TEST(DeviceAddressTest, AGoodAddressLeavesTheProblemAlone) {
    std::string problem = "untouched";
    ASSERT_TRUE(ParseDeviceAddress("tcp://127.0.0.1:1", &problem));
    EXPECT_EQ(problem, "untouched");
    EXPECT_TRUE(NetworkAddressLike("tcp://127.0.0.1:1"));
    EXPECT_FALSE(NetworkAddressLike("/dev/ttyUSB0"));
}

} // namespace
} // namespace feedrail
