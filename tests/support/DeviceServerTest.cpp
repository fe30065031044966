#include "support/DeviceServer.h"

#include "support/Bytes.h"
#include "support/LineIo.h"
#include "support/TempFolder.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>

namespace feedrail::test {
namespace {

using namespace std::chrono_literals;

FileDescriptor OpenRaw(const std::string& path) {
    FileDescriptor fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    termios tty{};
    ::tcgetattr(fd.Get(), &tty);
    ::cfmakeraw(&tty);
    ::tcsetattr(fd.Get(), TCSANOW, &tty);
    return fd;
}

// A plain client of "scheme://127.0.0.1:PORT".
FileDescriptor Connect(const std::string& address) {
    FileDescriptor fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    peer.sin_port =
        htons(static_cast<std::uint16_t>(std::stoi(address.substr(address.rfind(':') + 1))));
    if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        fd.Reset();
    }
    return fd;
}

speed_t Speed(const DeviceServer& server) {
    const termios tty = server.ServerLine();
    return ::cfgetospeed(&tty);
}

// Waits up to 2 s for ser2net to put `speed` on its end of the line.
bool SpeedBecomes(const DeviceServer& server, speed_t speed) {
    for (int i = 0; i < 200 && Speed(server) != speed; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    return Speed(server) == speed;
}

// RFC 2217 sets the line's speed while a client is connected, and the raw
// port carries every byte value both ways, the Telnet IAC (0xFF) and NUL
// included.
TEST(DeviceServerTest, TakesTheBaudRateAndCarriesEveryByte) {
    if (!DeviceServer::Available()) {
        GTEST_SKIP() << "ser2net and socat are not installed (scripts/test.sh installs them)";
    }
    TempFolder folder;
    const DeviceServer server(folder.Path());
    const FileDescriptor control = OpenRaw(server.ControlPath());
    const speed_t idle = Speed(server);
    {
        const FileDescriptor telnet = Connect(server.Rfc2217Address());
        ASSERT_TRUE(telnet.Valid());
        EXPECT_TRUE(SpeedBecomes(server, B9600)) << "the connector's own 9600n81";
        // WILL COM-PORT-OPTION, then SET-BAUDRATE 115200.
        WriteToLine(telnet.Get(), Bytes({0xFF, 0xFB, 0x2C, 0xFF, 0xFA, 0x2C, 0x01, 0x00, 0x01, 0xC2,
                                         0x00, 0xFF, 0xF0}));
        EXPECT_TRUE(SpeedBecomes(server, B115200));
    }
    // Once ser2net has let the line go, the raw port may take it.
    ASSERT_TRUE(SpeedBecomes(server, idle));
    const FileDescriptor raw = Connect(server.TcpAddress());
    ASSERT_TRUE(raw.Valid());
    const std::string toControl = Bytes({'G', 0xFF, 0x00, 0xFF, 0xFF, 0x11, '\r', '\n'});
    WriteToLine(raw.Get(), toControl);
    EXPECT_EQ(ReadFromLine(control.Get(), toControl.size() + 1, 500ms), toControl);
    const std::string toClient = Bytes({0x00, 0xFF, 0x13, 'M', '3', '0', 0xFF, 0xFA});
    WriteToLine(control.Get(), toClient);
    EXPECT_EQ(ReadFromLine(raw.Get(), toClient.size() + 1, 500ms), toClient);
}

} // namespace
} // namespace feedrail::test
