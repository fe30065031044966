#include "serial/device/NetworkSerialDevice.h"

#include "serial/device/ComPortSettings.h"
#include "serial/device/TelnetCodec.h"
#include "support/DeviceServer.h"
#include "support/LineIo.h"
#include "support/TempFolder.h"

#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <termios.h>

namespace feedrail {
namespace {

using namespace std::chrono_literals;

std::string Byte(int value) {
    return std::string(1, static_cast<char>(value));
}

TEST(ComPortSettingsTest, AskForWhatChangedAndMoveLinesOnlyWithTheirModes) {
    SerialSettings base;
    base.BaudRate = 9600;
    base.ByteSize = 7;
    base.Parity = EvenParity;
    base.StopBits = TwoStopBits;
    base.Flags = DcbFlag::DtrControlEnable | DcbFlag::RtsControlEnable;
    SerialSettings faster = base;
    faster.BaudRate = 115200;
    SerialSettings xonXoff = base;
    xonXoff.Flags |= DcbFlag::fOutX | DcbFlag::fInX;
    SerialSettings rtsCts = base;
    rtsCts.Flags = DcbFlag::DtrControlEnable | DcbFlag::fOutxCtsFlow | DcbFlag::RtsControlHandshake;
    using namespace ComPortControl;
    const auto control = [](std::uint8_t value) {
        return ComPortSetting{ComPort::SetControl, Byte(value)};
    };
    const struct {
        const char* name;
        std::optional<SerialSettings> previous;
        SerialSettings settings;
        std::vector<ComPortSetting> requests;
    } cases[] = {
        {"after connecting, everything",
         std::nullopt,
         base,
         {{ComPort::SetBaudRate, Byte(0) + Byte(0) + Byte(0x25) + Byte(0x80)},
          {ComPort::SetDataSize, Byte(7)},
          {ComPort::SetParity, Byte(3)},
          {ComPort::SetStopSize, Byte(2)},
          control(NoFlowControl),
          control(NoInboundFlowControl),
          control(DtrOn),
          control(RtsOn)}},
        {"a new rate alone", base, faster, {{ComPort::SetBaudRate, ComPortValue32(115200)}}},
        {"nothing changed", base, base, {}},
        // The machine's XON and XOFF stay Feedrail's to act on, as on a local port.
        {"xon/xoff both ways", base, xonXoff, {control(XonXoffInboundFlowControl)}},
        {"rts/cts hands rts to the server, raised",
         base,
         rtsCts,
         {control(HardwareFlowControl), control(HardwareInboundFlowControl), control(RtsOn)}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ComPortSettingRequests(c.previous, c.settings), c.requests) << c.name;
    }
}

// The device against a real device server, ser2net, whose serial line is a
// pair of pseudo-terminals; the test plays the control on the other end.
class NetworkSerialDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::DeviceServer::Available()) {
            GTEST_SKIP() << "ser2net and socat are not installed (scripts/test.sh installs them)";
        }
        server_ = std::make_unique<test::DeviceServer>(folder_.Path());
        control_ = FileDescriptor(
            ::open(server_->ControlPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        termios tty{};
        ::tcgetattr(control_.Get(), &tty);
        ::cfmakeraw(&tty);
        ::tcsetattr(control_.Get(), TCSANOW, &tty);
    }

    std::shared_ptr<NetworkSerialDevice> Open(const std::string& text) {
        std::string failure;
        auto device = NetworkSerialDevice::Open(*ParseDeviceAddress(text), failure);
        EXPECT_TRUE(device) << failure;
        if (device) {
            SerialSettings settings;
            settings.BaudRate = 115200;
            EXPECT_EQ(device->SetSettings(settings), 0);
            EXPECT_EQ(device->SetQueueSizes(4096, 4096), 0);
        }
        return device;
    }

    test::TempFolder folder_;
    std::unique_ptr<test::DeviceServer> server_;
    FileDescriptor control_;
};

// 0xFF is Telnet's command byte: it must be doubled on the way out and
// undoubled on the way in, and never reach a raw server doubled.
TEST_F(NetworkSerialDeviceTest, EveryByteValueCrossesBothWaysExactlyOnce) {
    std::string all;
    for (int value = 0; value < 256; ++value) {
        all += Byte(value);
    }
    // Without Xon/Xoff set, XON and XOFF are data too.
    const std::string& expected = all;
    for (const auto& address : {server_->Rfc2217Address(), server_->TcpAddress()}) {
        SCOPED_TRACE(address);
        const auto device = Open(address);
        ASSERT_TRUE(device);
        std::size_t written = 0;
        ASSERT_EQ(device->Write(all.data(), all.size(), 5000, written), 0);
        EXPECT_EQ(test::ReadFromLine(control_.Get(), all.size() + 1, 3s), all);
        test::WriteToLine(control_.Get(), all);
        std::string received;
        for (int i = 0; i < 300 && received.size() < expected.size(); ++i) {
            std::array<char, 512> buffer{};
            std::size_t read = 0;
            ASSERT_EQ(device->Read(buffer.data(), buffer.size(), read), 0);
            received.append(buffer.data(), read);
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_EQ(received, expected);
        device->Close();
        // ser2net lets the line go before it takes the next client.
        std::this_thread::sleep_for(300ms);
    }
}

// What a server sends, and its going, while the port is still being set up
// (its answers can take seconds) are reported once the port watches events.
TEST(NetworkSerialDeviceOpenTest, WhatHappensBeforeEventsAreWatchedIsStillReported) {
    FileDescriptor listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener.Get(), 1), 0);
    socklen_t size = sizeof address;
    ::getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &size);
    std::string failure;
    const auto device = NetworkSerialDevice::Open(
        *ParseDeviceAddress("tcp://127.0.0.1:" + std::to_string(ntohs(address.sin_port))), failure);
    ASSERT_TRUE(device) << failure;
    {
        const FileDescriptor server(::accept(listener.Get(), nullptr, nullptr));
        ASSERT_EQ(::write(server.Get(), "%\n", 2), 2);
    }
    std::this_thread::sleep_for(200ms);
    ASSERT_EQ(device->SetEventMask(CommEventBit::EV_RXCHAR | CommEventBit::EV_ERR), 0);
    auto waited = std::async(std::launch::async, [&] {
        std::uint32_t events = 0;
        device->WaitEvent(events);
        return events;
    });
    if (waited.wait_for(2s) != std::future_status::ready) {
        device->CancelWait();
        ADD_FAILURE() << "the lost connection was never reported";
    }
    EXPECT_EQ(waited.get(), CommEventBit::EV_RXCHAR | CommEventBit::EV_ERR);
    std::array<char, 8> buffer{};
    std::size_t read = 0;
    ASSERT_EQ(device->Read(buffer.data(), buffer.size(), read), 0);
    EXPECT_EQ(std::string(buffer.data(), read), "%\n");
    std::uint32_t errors = 0;
    ComStat stat;
    ASSERT_EQ(device->ClearError(errors, stat), 0);
    EXPECT_EQ(errors, CommErrorBit::CE_HANGUP);
    EXPECT_EQ(device->GoneReason(), "closed by the device server");
}

TEST(NetworkSerialDeviceOpenTest, ARefusedConnectionSaysWhy) {
    // A port nobody listens on: bound, never listening.
    FileDescriptor holder(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(holder.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t size = sizeof address;
    ::getsockname(holder.Get(), reinterpret_cast<sockaddr*>(&address), &size);
    std::string failure;
    const auto device = NetworkSerialDevice::Open(
        *ParseDeviceAddress("rfc2217://127.0.0.1:" + std::to_string(ntohs(address.sin_port))),
        failure);
    EXPECT_FALSE(device);
    EXPECT_EQ(failure, "Connection refused");
}

} // namespace
} // namespace feedrail
