#include "serial/device/NetworkSerialDevice.h"

#include "serial/device/ComPortSettings.h"
#include "serial/device/TelnetCodec.h"
#include "support/Bytes.h"
#include "support/DeviceServer.h"
#include "support/EventWaiter.h"
#include "support/HostileServer.h"
#include "support/LineIo.h"
#include "support/TempFolder.h"

#include <atomic>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>

namespace feedrail {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::ListenOnLoopback;

std::string Byte(int value) {
    return std::string(1, static_cast<char>(value));
}

// Why `device` went, waiting for it past the negotiation's time limit.
std::string GoneReasonOf(const NetworkSerialDevice& device) {
    const auto end =
        std::chrono::steady_clock::now() + NetworkSerialDevice::NegotiationTimeout + 1s;
    while (device.GoneReason().empty() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(10ms);
    }
    return device.GoneReason();
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

// ser2net's raw port carries bytes only: rfc2217:// there is given up,
// telling the operator to say tcp://.
TEST_F(NetworkSerialDeviceTest, Rfc2217ToARawPortIsGivenUpSayingSo) {
    std::string address = server_->TcpAddress();
    address.replace(0, 3, "rfc2217");
    std::string failure;
    const auto device = NetworkSerialDevice::Open(*ParseDeviceAddress(address), failure);
    ASSERT_TRUE(device) << failure;
    EXPECT_EQ(GoneReasonOf(*device),
              "the device server does not speak RFC 2217 (use tcp:// for a raw port)");
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
    test::EventWaiter waiter(*device);
    ASSERT_EQ(device->SetEventMask(CommEventBit::EV_RXCHAR | CommEventBit::EV_ERR), 0);
    EXPECT_EQ(waiter.Wait(2s), CommEventBit::EV_RXCHAR | CommEventBit::EV_ERR)
        << "the lost connection was never reported";
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

using Clock = std::chrono::steady_clock;

// An RFC 2217 server played by the test: it takes COM-PORT-OPTION at once,
// keeps what the client sends, and sends what the test gives it.
class ScriptedServer {
public:
    ScriptedServer() {
        listener_ = ListenOnLoopback(port_);
        thread_ = std::thread([this] { Serve(); });
    }
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;
    ~ScriptedServer() {
        stop_ = true;
        thread_.join();
    }

    std::string Address() const { return "rfc2217://127.0.0.1:" + std::to_string(port_); }

    void Send(const std::string& bytes) {
        const std::lock_guard lock(mutex_);
        test::WriteToLine(connection_.Get(), bytes);
    }

    // Waits up to 2 s for the client to have sent `part` `times` times.
    bool Heard(const std::string& part, std::size_t times = 1) {
        for (int i = 0; i < 200; ++i) {
            {
                const std::lock_guard lock(mutex_);
                if (test::Occurrences(received_, part) >= times) {
                    return true;
                }
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

private:
    void Serve() {
        pollfd waiting{listener_.Get(), POLLIN, 0};
        while (!stop_ && ::poll(&waiting, 1, 10) == 0) {
        }
        if (stop_) {
            return;
        }
        {
            const std::lock_guard lock(mutex_);
            connection_.Reset(
                ::accept4(listener_.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
            test::WriteToLine(connection_.Get(),
                              Bytes({Telnet::IAC, Telnet::DO, Telnet::ComPortOption}));
        }
        while (!stop_) {
            std::array<char, 4096> buffer{};
            pollfd readable{connection_.Get(), POLLIN, 0};
            ::poll(&readable, 1, 10);
            const std::lock_guard lock(mutex_);
            const ssize_t count =
                ::recv(connection_.Get(), buffer.data(), buffer.size(), MSG_DONTWAIT);
            if (count > 0) {
                received_.append(buffer.data(), static_cast<std::size_t>(count));
            }
        }
    }

    FileDescriptor listener_;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    FileDescriptor connection_;
    std::string received_;
};

// An rfc2217:// address whose server does not take COM-PORT-OPTION is not
// taken as a raw port: the control would be sent this end's Telnet commands
// as data. The operator is told to say tcp://. (One that never answers is
// among the servers that cannot be reached, NetworkOpenTest.)
TEST(NetworkSerialDeviceOpenTest, AnEchoingServerWithoutRfc2217IsGivenUpSayingSo) {
    int port = 0;
    const FileDescriptor listener = ListenOnLoopback(port);
    ASSERT_TRUE(listener.Valid());
    const std::string address = "rfc2217://127.0.0.1:" + std::to_string(port);
    // This end's WILL COM-PORT-OPTION comes back, is refused, and the refusal
    // comes back too.
    std::promise<void> echoed;
    std::thread echo([&] {
        const FileDescriptor accepted(::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
        std::array<char, 256> buffer{};
        for (ssize_t count = 0;
             (count = ::read(accepted.Get(), buffer.data(), buffer.size())) > 0;) {
            ::write(accepted.Get(), buffer.data(), static_cast<std::size_t>(count));
        }
        echoed.set_value();
    });
    std::string failure;
    const auto device = NetworkSerialDevice::Open(*ParseDeviceAddress(address), failure);
    ASSERT_TRUE(device) << failure;
    EXPECT_EQ(GoneReasonOf(*device),
              "the device server does not speak RFC 2217 (use tcp:// for a raw port)");
    device->Close();
    EXPECT_EQ(echoed.get_future().wait_for(2s), std::future_status::ready);
    echo.join();
}

// A server that stops reading (a stopped ser2net) has not been sent what its
// TCP has not acknowledged: the output is not delivered and still counts as
// queued until the server takes it, so that a send does not end as if it had
// gone out (and ends, with the connection's user time-out, as a loss).
TEST(NetworkSerialDeviceOpenTest, OutputAServerHasNotTakenIsNotDelivered) {
    int port = 0;
    FileDescriptor listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    // A small window, inherited by the connection, so that the server's
    // kernel does not take up for it what it does not read.
    const int window = 4096;
    ::setsockopt(listener.Get(), SOL_SOCKET, SO_RCVBUF, &window, sizeof window);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener.Get(), 1), 0);
    socklen_t size = sizeof address;
    ::getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    std::string failure;
    const auto device = NetworkSerialDevice::Open(
        *ParseDeviceAddress("tcp://127.0.0.1:" + std::to_string(port)), failure);
    ASSERT_TRUE(device) << failure;
    const FileDescriptor server(::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
    SerialSettings settings;
    settings.BaudRate = 1000000;
    ASSERT_EQ(device->SetSettings(settings), 0);
    const std::string program(24 * 1024, 'G');
    std::size_t written = 0;
    // Handed to the connection, most of it, and off the paced wire.
    ASSERT_EQ(device->Write(program.data(), program.size(), 3000, written), 0);
    std::this_thread::sleep_for(200ms);
    bool delivered = true;
    ASSERT_EQ(device->OutputDelivered(delivered), 0);
    EXPECT_FALSE(delivered);
    std::uint32_t errors = 0;
    ComStat stat;
    ASSERT_EQ(device->ClearError(errors, stat), 0);
    EXPECT_GT(stat.cbOutQue, 0U);
    // The server reads again: everything arrives, and then it is delivered.
    std::string received;
    const Clock::time_point deadline = Clock::now() + 10s;
    while (received.size() < program.size() && Clock::now() < deadline) {
        std::array<char, 65536> buffer{};
        const ssize_t count = ::recv(server.Get(), buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (count > 0) {
            received.append(buffer.data(), static_cast<std::size_t>(count));
        } else {
            std::this_thread::sleep_for(1ms);
        }
    }
    EXPECT_EQ(received, program);
    for (int i = 0; i < 100 && !delivered; ++i) {
        std::this_thread::sleep_for(10ms);
        ASSERT_EQ(device->OutputDelivered(delivered), 0);
    }
    EXPECT_TRUE(delivered);
    ASSERT_EQ(device->ClearError(errors, stat), 0);
    EXPECT_EQ(stat.cbOutQue, 0U);
    EXPECT_FALSE(device->ServerOutputConfirmedEmpty()) << "a raw server confirms nothing";
}

// The server's line-state mask starts at 0: without asking, no line error
// ever comes. At the end of output the client asks for the transmitter's
// state too, and hears when the server's output is empty.
TEST(NetworkSerialDeviceOpenTest, LineErrorsAndAnEmptyTransmitterAreAskedForAndHeard) {
    using namespace Telnet;
    ScriptedServer server;
    std::string failure;
    const auto device = NetworkSerialDevice::Open(*ParseDeviceAddress(server.Address()), failure);
    ASSERT_TRUE(device) << failure;
    const std::string errorsMask = Bytes({IAC, SB, ComPortOption, 10, 0x1E, IAC, SE});
    const std::string emptyMask = Bytes({IAC, SB, ComPortOption, 10, 0x5E, IAC, SE});
    EXPECT_TRUE(server.Heard(Bytes({IAC, SB, ComPortOption, 11, IAC, IAC, IAC, SE})));
    EXPECT_TRUE(server.Heard(errorsMask));
    server.Send(Bytes({IAC, SB, ComPortOption, 106, 0x04, IAC, SE}));
    std::uint32_t errors = 0;
    ComStat stat;
    for (int i = 0; i < 200 && errors == 0; ++i) {
        std::this_thread::sleep_for(10ms);
        ASSERT_EQ(device->ClearError(errors, stat), 0);
    }
    EXPECT_EQ(errors, CommErrorBit::CE_RXPARITY);

    std::size_t written = 0;
    ASSERT_EQ(device->Write("%\n", 2, 1000, written), 0);
    EXPECT_TRUE(server.Heard("%\n"));
    bool delivered = false;
    for (int i = 0; i < 200 && !delivered; ++i) {
        std::this_thread::sleep_for(10ms);
        ASSERT_EQ(device->OutputDelivered(delivered), 0);
    }
    EXPECT_TRUE(delivered);
    EXPECT_TRUE(server.Heard(emptyMask)) << "asked after the data";
    EXPECT_FALSE(device->ServerOutputConfirmedEmpty());
    // Still sending, then empty.
    server.Send(Bytes({IAC, SB, ComPortOption, 106, 0x00, IAC, SE}));
    server.Send(Bytes({IAC, SB, ComPortOption, 106, 0x60, IAC, SE}));
    for (int i = 0; i < 200 && !device->ServerOutputConfirmedEmpty(); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(device->ServerOutputConfirmedEmpty());
    EXPECT_TRUE(server.Heard(errorsMask, 2)) << "its every later change is not asked for";
    // New data needs a new confirmation.
    ASSERT_EQ(device->Write("G", 1, 1000, written), 0);
    EXPECT_TRUE(server.Heard("G"));
    EXPECT_FALSE(device->ServerOutputConfirmedEmpty());
    device->Close();
}

} // namespace
} // namespace feedrail
