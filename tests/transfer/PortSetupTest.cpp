#include "transfer/PortSetup.h"

#include "common/FileDescriptor.h"
#include "profiles/ProfileValues.h"
#include "serial/TVaComm.h"
#include "support/NullModemComm.h"
#include "support/QueueHandOver.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

namespace feedrail {
namespace {

using test::NullModemComm;
using test::QueueHandOver;

TEST(PortSetupTest, ProfileValuesMapOntoThePortOrLeaveItAsItWas) {
    const struct {
        std::int32_t baud;
        std::uint8_t dataBits;
        char parity;
        std::uint8_t stopBits;
        TVaBaudrate baudrate;
        TVaDatabits databits;
        TVaParity parityValue;
        TVaStopbits stopbits;
    } cases[] = {
        {300, 7, 'E', 2, br300, db7, paEven, sb2},
        {600, 8, 'O', 1, br600, db8, paOdd, sb1},
        {2400, 8, 'N', 1, br2400, db8, paNone, sb1},
        {4800, 7, 'E', 2, br4800, db7, paEven, sb2},
        {9600, 8, 'N', 1, br9600, db8, paNone, sb1},
        {19200, 7, 'O', 2, br19200, db7, paOdd, sb2},
        {115200, 8, 'N', 1, br115200, db8, paNone, sb1},
        // Values outside the tables keep what an earlier profile set.
        {38400, 6, 'e', 3, br38400, db8, paNone, sb1},
    };
    QueueHandOver handOver;
    NullModemComm port(handOver);
    for (const auto& c : cases) {
        ActiveSettings settings;
        settings.CommBaudRate = c.baud;
        settings.CommDataBits = c.dataBits;
        settings.CommParity = c.parity;
        settings.CommStopBits = c.stopBits;
        settings.CommPort = 10;
        ApplyProfileToPort(settings, port);
        EXPECT_EQ(port.Baudrate(), c.baudrate) << c.baud;
        EXPECT_EQ(port.Databits(), c.databits) << c.baud;
        EXPECT_EQ(port.Parity(), c.parityValue) << c.baud;
        EXPECT_EQ(port.Stopbits(), c.stopbits) << c.baud;
        EXPECT_EQ(port.DeviceName(), "com10");
        EXPECT_EQ(port.PortNum(), 10);
    }
}

TEST(PortSetupTest, CommDeviceWinsOverThePortNumberAndAnyRateReachesThePort) {
    QueueHandOver handOver;
    NullModemComm port(handOver);
    ActiveSettings settings;
    settings.CommPort = 2;
    settings.CommDevice = "rfc2217://10.0.4.21:4001";
    settings.CommBaudRate = 250000;
    ApplyProfileToPort(settings, port);
    EXPECT_EQ(port.DeviceName(), "rfc2217://10.0.4.21:4001");
    EXPECT_TRUE(port.NameByDevice());
    EXPECT_EQ(port.CustomBaudRate(), 250000U);
    settings.CommDevice.clear();
    settings.CommBaudRate = 9600;
    ApplyProfileToPort(settings, port);
    EXPECT_EQ(port.DeviceName(), "com2");
    EXPECT_FALSE(port.NameByDevice());
    EXPECT_EQ(port.CustomBaudRate(), 0U);
    EXPECT_EQ(port.Baudrate(), br9600);
}

TEST(PortSetupTest, AProfileStartsFromManualRts) {
    QueueHandOver handOver;
    NullModemComm port(handOver);
    port.SetRTSControl(rtsHandshake);
    ApplyProfileToPort(ActiveSettings{}, port);
    EXPECT_EQ(port.RTSControl(), rtsDisable);
    port.Open();
    EXPECT_NO_THROW(SetHandshakeLines(1, port));
}

// What the machine sees of each handshake: the lines, and whether a byte gets
// through while the machine itself has raised nothing.
TEST(PortSetupTest, HandshakesSetFlowControlAndLines) {
    const struct {
        std::int32_t handshake;
        TVaFlowControl flow;
        bool rts;
        bool dtr;
        int written;
    } cases[] = {
        {0, fcNone, false, false, 1},    {1, fcNone, true, true, 1},
        {2, fcXonXoff, false, false, 0}, {3, fcDtrDsr, true, true, 0},
        {4, fcRtsCts, true, false, 0},   {5, fcNone, false, false, 1},
    };
    for (const auto& c : cases) {
        QueueHandOver handOver;
        NullModemComm port(handOver);
        port.SetFlowControl(fcNone);
        port.SetDTRControl(dtrDisable);
        port.SetRTSControl(rtsDisable);
        port.SetWriteTimeout(20);
        port.Open();
        SetHandshakeLines(c.handshake, port);
        EXPECT_EQ(port.FlowControl(), c.flow) << c.handshake;
        EXPECT_EQ(port.Device().Rts(), c.rts) << c.handshake;
        EXPECT_EQ(port.Device().Dtr(), c.dtr) << c.handshake;
        const char byte = '%';
        EXPECT_EQ(port.WriteBuf(&byte, 1), c.written) << c.handshake;
    }
}

// Needs a serial port the test may open and configure: /dev/ttyS0 as root.
TEST(PortSetupTest, XonXoffByTheProgramAsksTheDriverForLowLatency) {
    QueueHandOver handOver;
    TVaComm port(handOver);
    port.SetDeviceName("/dev/ttyS0");
    FileDescriptor probe(::open("/dev/ttyS0", O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    serial_struct before{};
    if (!probe.Valid() || ::ioctl(probe.Get(), TIOCGSERIAL, &before) != 0) {
        GTEST_SKIP() << "no serial port to configure here";
    }
    serial_struct cleared = before;
    cleared.flags &= ~ASYNC_LOW_LATENCY;
    ASSERT_EQ(::ioctl(probe.Get(), TIOCSSERIAL, &cleared), 0);
    probe.Reset();
    port.Open();
    SetHandshakeLines(HandshakeXonXoff, port);
    port.Close();
    probe.Reset(::open("/dev/ttyS0", O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    serial_struct after{};
    ASSERT_EQ(::ioctl(probe.Get(), TIOCGSERIAL, &after), 0);
    EXPECT_NE(after.flags & ASYNC_LOW_LATENCY, 0);
    ::ioctl(probe.Get(), TIOCSSERIAL, &before);
}

TEST(PortSetupTest, TheSummaryShowsTheProfileNumbers) {
    ActiveSettings settings;
    settings.CommBaudRate = 9600;
    settings.CommDataBits = 7;
    settings.CommStopBits = 2;
    settings.PunchType = 3;
    EXPECT_EQ(SettingsSummary(settings, "com2"),
              "9600 Baud, 7 Data Bits, 2 Stop Bits, ISO Format, com2");
    settings.CommBaudRate = 38400;
    settings.PunchType = 7;
    EXPECT_EQ(SettingsSummary(settings, "com10"),
              "38400 Baud, 7 Data Bits, 2 Stop Bits,  Format, com10");
    EXPECT_EQ(TapeCodeName(1), "ASCII");
    EXPECT_EQ(TapeCodeName(2), "EIA");
}

} // namespace
} // namespace feedrail
