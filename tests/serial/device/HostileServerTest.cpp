#include "support/HostileServer.h"

#include "serial/device/NetworkSerialDevice.h"
#include "serial/device/TelnetCodec.h"
#include "support/Bytes.h"
#include "support/TimeOf.h"

#include <gtest/gtest.h>
#include <thread>

namespace feedrail {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::HostileServer;
using test::TimeOf;
using Clock = std::chrono::steady_clock;

// Waits, up to the negotiation's time limit and a little, until `device` is
// no longer being reached: it is up, or the server has been given up.
void Settle(const NetworkSerialDevice& device) {
    const Clock::time_point end = Clock::now() + NetworkSerialDevice::NegotiationTimeout + 500ms;
    while (device.Connecting() && Clock::now() < end) {
        std::this_thread::sleep_for(5ms);
    }
}

// A server that breaks the protocol neither hangs the device nor grows its
// memory: the open returns at once and the negotiation ends within its time
// limit (the server given up then or later), the device's outgoing queue
// stays within its bound while the server floods it, every call returns at
// once, Close takes at most half a second, and the server is answered a
// bounded number of times however long it goes on.
TEST(NetworkSerialDeviceOpenTest, AHostileServerIsGivenUpWithinTimeAndBoundedMemory) {
    using namespace Telnet;
    const struct {
        const char* name;
        std::string first;
        std::string repeated;
        // What the open's failure, or the device's GoneReason, says.
        const char* reason;
        // A reply the client may send at most `mostReplies` times.
        std::string reply;
        std::size_t mostReplies;
        std::chrono::milliseconds pace = 0ms;
    } cases[] = {
        {"IAC WILL 5 without end, never reading", "", Bytes({IAC, WILL, 5}), "",
         Bytes({IAC, DONT, 5}), 1},
        {"COM-PORT-OPTION taken, then IAC WILL 5 without end", Bytes({IAC, DO, ComPortOption}),
         Bytes({IAC, WILL, 5}), "negotiates Telnet option 5 without end", Bytes({IAC, DONT, 5}), 1},
        {"IAC DO 44 / IAC DONT 44 over and over", "",
         Bytes({IAC, DO, ComPortOption, IAC, DONT, ComPortOption}), "",
         Bytes({IAC, WONT, ComPortOption}), TelnetOptions::MaxAnswers},
        {"IAC DO 1 / IAC DONT 1 over and over, after COM-PORT-OPTION",
         Bytes({IAC, DO, ComPortOption}), Bytes({IAC, DO, 1, IAC, DONT, 1}),
         "negotiates Telnet option 1 without end", Bytes({IAC, WONT, 1}), 1},
        // Slow enough that each request is read, and any answer sent, on its own.
        {"IAC WILL 5 once a millisecond", "", Bytes({IAC, WILL, 5}),
         "negotiates Telnet option 5 without end", Bytes({IAC, DONT, 5}), 1, 1ms},
        {"COM-PORT-OPTION taken, then IAC DO 1 / IAC DONT 1 once a millisecond",
         Bytes({IAC, DO, ComPortOption}), Bytes({IAC, DO, 1, IAC, DONT, 1}),
         "negotiates Telnet option 1 without end", Bytes({IAC, WONT, 1}), TelnetOptions::MaxAnswers,
         1ms},
        {"IAC SB 44 and garbage without IAC SE", Bytes({IAC, SB, ComPortOption, 106}), "garbage",
         "", Bytes({IAC, DONT}), 0},
        {"COM-PORT-OPTION taken, then IAC SB 44 and garbage without IAC SE",
         Bytes({IAC, DO, ComPortOption, IAC, SB, ComPortOption, 106}), "garbage",
         "subnegotiation without end", Bytes({IAC, DONT}), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HostileServer server(c.first, c.repeated, c.pace);
        std::string failure;
        std::shared_ptr<NetworkSerialDevice> device;
        EXPECT_LE(TimeOf([&] {
                      device = NetworkSerialDevice::Open(
                          *ParseDeviceAddress(server.Address("rfc2217")), failure);
                  }),
                  100ms);
        ASSERT_TRUE(device) << failure;
        Settle(*device);
        EXPECT_FALSE(device->Connecting());
        // The server floods the device for a while; it stays bounded and
        // answers every call at once.
        for (int i = 0; i < 20; ++i) {
            std::size_t written = 0;
            std::uint32_t errors = 0;
            ComStat stat;
            EXPECT_LE(TimeOf([&] {
                          device->Write("G", 1, 0, written);
                          device->ClearError(errors, stat);
                      }),
                      100ms);
            EXPECT_LE(device->OutgoingSize(), NetworkSerialDevice::MaxOutgoing);
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_LE(TimeOf([&] { device->Close(); }), 500ms);
        failure = device->GoneReason();
        if (*c.reason != '\0') {
            EXPECT_NE(failure.find(c.reason), std::string::npos) << failure;
        } else {
            EXPECT_FALSE(failure.empty());
        }
        const std::string received = server.Received();
        EXPECT_LE(test::Occurrences(received, c.reply), c.mostReplies);
        // The opening, the answers and a few requests: nothing that grows.
        EXPECT_LE(received.size(), 200U);
    }
}

// A server that sends valid reports without pause keeps the line thread busy
// with input that is all commands: it must still let a write, a status read
// and Close have the device at once.
TEST(NetworkSerialDeviceOpenTest, AFloodOfReportsLeavesEveryCallPrompt) {
    using namespace Telnet;
    HostileServer server(Bytes({IAC, DO, ComPortOption}),
                         Bytes({IAC, SB, ComPortOption, 107, 0x30, IAC, SE, IAC, SB, ComPortOption,
                                107, 0xB0, IAC, SE}));
    std::string failure;
    const auto device =
        NetworkSerialDevice::Open(*ParseDeviceAddress(server.Address("rfc2217")), failure);
    ASSERT_TRUE(device) << failure;
    SerialSettings settings;
    settings.BaudRate = 115200;
    // The server never answers; the settings never wait for it.
    EXPECT_LE(TimeOf([&] { EXPECT_EQ(device->SetSettings(settings), 0); }), 100ms);
    for (int i = 0; i < 20; ++i) {
        std::size_t written = 0;
        std::uint32_t status = 0;
        EXPECT_LE(TimeOf([&] {
                      EXPECT_EQ(device->Write("G", 1, 0, written), 0);
                      EXPECT_EQ(device->GetModemStatus(status), 0);
                  }),
                  100ms);
        EXPECT_LE(device->OutgoingSize(), NetworkSerialDevice::MaxOutgoing);
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(device->GoneReason(), "");
    EXPECT_LE(TimeOf([&] { device->Close(); }), 500ms);
}

} // namespace
} // namespace feedrail
