#include "serial/EVaCommError.h"
#include "support/NullModemComm.h"
#include "support/QueueHandOver.h"

#include <gtest/gtest.h>

namespace feedrail {
namespace {

using test::NullModemComm;
using test::QueueHandOver;

class CommPropertiesTest : public ::testing::Test {
protected:
    QueueHandOver handOver_;
    NullModemComm comm_{handOver_};
};

TEST_F(CommPropertiesTest, PropertiesStartAtTheirDefaults) {
    EXPECT_FALSE(comm_.AutoOpen());
    EXPECT_EQ(comm_.Baudrate(), br1200);
    EXPECT_EQ(comm_.Parity(), paNone);
    EXPECT_EQ(comm_.Databits(), db8);
    EXPECT_EQ(comm_.Stopbits(), sb1);
    EXPECT_EQ(comm_.PortNum(), 0);
    EXPECT_EQ(comm_.DeviceName(), "COM%d");
    EXPECT_TRUE(comm_.MonitorEvents().Empty());
    EXPECT_EQ(comm_.EventChars().XonChar(), 17);
    EXPECT_EQ(comm_.EventChars().XoffChar(), 19);
    EXPECT_EQ(comm_.EventChars().ErrorChar(), 0);
    EXPECT_EQ(comm_.EventChars().EventChar(), 0);
    EXPECT_EQ(comm_.ReadBufSize(), 4096);
    EXPECT_EQ(comm_.WriteBufSize(), 2048);
    EXPECT_EQ(comm_.ReadTimeout(), 1000);
    EXPECT_EQ(comm_.WriteTimeout(), 1000);
    EXPECT_EQ(comm_.FlowControl(), fcRtsCts);
    EXPECT_TRUE(comm_.Options().Empty());
    EXPECT_EQ(comm_.XonLim(), 1024);
    EXPECT_EQ(comm_.XoffLim(), 1024);
    EXPECT_EQ(comm_.Priority(), tpNormal);
    EXPECT_EQ(comm_.DTRControl(), dtrEnable);
    EXPECT_EQ(comm_.RTSControl(), rtsEnable);
    EXPECT_FALSE(comm_.Active());
}

TEST_F(CommPropertiesTest, DeviceNameTakesThePortNumber) {
    comm_.SetPortNum(3);
    EXPECT_EQ(comm_.GetDeviceName(), "COM3");
    comm_.SetDeviceName("com2");
    EXPECT_EQ(comm_.GetDeviceName(), "com2");
}

TEST_F(CommPropertiesTest, TheFlagWordFollowsFlowLinesAndOptions) {
    const TVaCommOptions allOptions{coContinueOnXOff, coErrorChar, coNullStrip, coParityCheck,
                                    coDsrSensitivity};
    const struct {
        TVaFlowControl flow;
        TVaDTRControl dtr;
        TVaRTSControl rts;
        TVaCommOptions options;
        std::uint32_t flags;
    } cases[] = {
        {fcNone, dtrDisable, rtsDisable, {}, 0x4001},
        {fcRtsCts, dtrDisable, rtsDisable, {}, 0x6005},
        {fcRtsCts, dtrEnable, rtsEnable, {}, 0x6015},
        {fcRtsCts, dtrHandshake, rtsToggle, {}, 0x6025},
        {fcRtsCts, dtrEnable, rtsDisable, {coParityCheck}, 0x6017},
        {fcXonXoff, dtrEnable, rtsEnable, {}, 0x5311},
        {fcXonXoff, dtrDisable, rtsHandshake, {}, 0x6301},
        {fcDtrDsr, dtrEnable, rtsDisable, {}, 0x4029},
        {fcDtrDsr, dtrDisable, rtsHandshake, {}, 0x6029},
        {fcNone, dtrHandshake, rtsToggle, {}, 0x7021},
        {fcNone, dtrDisable, rtsDisable, allOptions, 0x4CC3},
        {fcNone, dtrDisable, rtsDisable, {coNullStrip, coDsrSensitivity}, 0x4841},
    };
    for (const auto& c : cases) {
        NullModemComm comm(handOver_);
        comm.SetFlowControl(c.flow);
        comm.SetDTRControl(c.dtr);
        comm.SetRTSControl(c.rts);
        comm.SetOptions(c.options);
        comm.Open();
        EXPECT_EQ(comm.Device().LastSettings().Flags, c.flags)
            << std::hex << "flow " << int(c.flow) << " dtr " << int(c.dtr) << " rts " << int(c.rts);
    }
}

TEST_F(CommPropertiesTest, TheSettingsRecordCarriesTheDeviceValues) {
    for (int ordinal = br110; ordinal <= br256000; ++ordinal) {
        NullModemComm comm(handOver_);
        comm.SetBaudrate(static_cast<TVaBaudrate>(ordinal));
        comm.Open();
        EXPECT_EQ(comm.Device().LastSettings().BaudRate, BaudrateValues[ordinal]);
    }
    const struct {
        TVaDatabits databits;
        TVaParity parity;
        TVaStopbits stopbits;
        std::uint8_t byteSize;
        std::uint8_t parityCode;
        std::uint8_t stopCode;
    } formats[] = {
        {db4, paNone, sb1, 4, 0, 0}, {db5, paOdd, sb15, 5, 1, 1},  {db6, paEven, sb2, 6, 2, 2},
        {db7, paMark, sb1, 7, 3, 0}, {db8, paSpace, sb2, 8, 4, 2},
    };
    for (const auto& f : formats) {
        NullModemComm comm(handOver_);
        comm.SetDatabits(f.databits);
        comm.SetParity(f.parity);
        comm.SetStopbits(f.stopbits);
        comm.SetEventChars(TVaEventChars('A', 'B', '?', '\n'));
        comm.SetXonLim(70000);
        comm.SetXoffLim(512);
        comm.Open();
        const SerialSettings settings = comm.Device().LastSettings();
        EXPECT_EQ(settings.ByteSize, f.byteSize);
        EXPECT_EQ(settings.Parity, f.parityCode);
        EXPECT_EQ(settings.StopBits, f.stopCode);
        EXPECT_EQ(settings.XonChar, 'A');
        EXPECT_EQ(settings.XoffChar, 'B');
        EXPECT_EQ(settings.ErrorChar, '?');
        EXPECT_EQ(settings.EvtChar, '\n');
        EXPECT_EQ(settings.XonLim, 4464); // the low 16 bits of 70000
        EXPECT_EQ(settings.XoffLim, 512);
        EXPECT_EQ(settings.EofChar, 0x1A) << "the device's end-of-file character was changed";
    }
}

TEST_F(CommPropertiesTest, SettingsReachAnOpenDeviceAtOnceAndOnlyWhenTheyChange) {
    comm_.SetBaudrate(br9600);
    EXPECT_EQ(comm_.Device().SettingsWrites(), 0) << "a closed port wrote its settings";
    comm_.Open();
    const int writes = comm_.Device().SettingsWrites();
    EXPECT_EQ(comm_.Device().LastSettings().BaudRate, 9600u);

    comm_.SetBaudrate(br9600);
    comm_.SetFlowControl(fcRtsCts);
    comm_.SetOptions({});
    EXPECT_EQ(comm_.Device().SettingsWrites(), writes);

    comm_.SetBaudrate(br4800);
    EXPECT_EQ(comm_.Device().SettingsWrites(), writes + 1);
    EXPECT_EQ(comm_.Device().LastSettings().BaudRate, 4800u);
    comm_.SetFlowControl(fcNone);
    EXPECT_EQ(comm_.Device().LastSettings().Flags & 0x2004u, 0u);

    // Event characters report every assignment, equal or not, and a whole
    // set assigned at once reports once.
    comm_.EventChars().SetXonChar(17);
    EXPECT_EQ(comm_.Device().SettingsWrites(), writes + 3);
    comm_.SetEventChars(TVaEventChars(17, 19, 0, '%'));
    EXPECT_EQ(comm_.Device().SettingsWrites(), writes + 4);
    EXPECT_EQ(comm_.Device().LastSettings().EvtChar, '%');
}

TEST_F(CommPropertiesTest, SomePropertiesOnlyChangeWhileThePortIsClosed) {
    const std::function<void(NullModemComm&, bool)> setters[] = {
        [](NullModemComm& c, bool differ) { c.SetPortNum(differ ? 4 : c.PortNum()); },
        [](NullModemComm& c, bool differ) {
            c.SetMonitorEvents(differ ? TVaCommEvents{ceRxChar} : c.MonitorEvents());
        },
        [](NullModemComm& c, bool differ) { c.SetReadBufSize(differ ? 100 : c.ReadBufSize()); },
        [](NullModemComm& c, bool differ) { c.SetWriteBufSize(differ ? 100 : c.WriteBufSize()); },
        [](NullModemComm& c, bool differ) { c.SetPriority(differ ? tpHigher : c.Priority()); },
    };
    comm_.Open();
    for (const auto& set : setters) {
        EXPECT_NO_THROW(set(comm_, false));
        try {
            set(comm_, true);
            ADD_FAILURE() << "a change was accepted while open";
        } catch (const EVaCommError& error) {
            EXPECT_STREQ(error.what(), "Can't perform this operation when port is open");
        }
    }
    EXPECT_EQ(comm_.PortNum(), 0);
    EXPECT_EQ(comm_.ReadBufSize(), 4096);
    comm_.Close();
    for (const auto& set : setters) {
        EXPECT_NO_THROW(set(comm_, true));
    }
    EXPECT_EQ(comm_.PortNum(), 4);
}

TEST_F(CommPropertiesTest, AClosedPortRefusesTransfersAndIgnoresTheRest) {
    char byte = 'x';
    const std::pair<std::function<void()>, const char*> refusals[] = {
        {[&] { comm_.WriteBuf(&byte, 1); }, "Write error (9), Bad file descriptor"},
        {[&] { comm_.ReadBuf(&byte, 1); }, "Read error (9), Bad file descriptor"},
    };
    for (const auto& [call, message] : refusals) {
        try {
            call();
            ADD_FAILURE() << "no error: " << message;
        } catch (const EVaCommError& error) {
            EXPECT_STREQ(error.what(), message);
        }
    }
    comm_.PurgeRead();
    comm_.PurgeWrite();
    comm_.SetXon(false);
    comm_.SetDTR(true);
    comm_.SetRTS(true);
    ComStat stat{1, 2, 3};
    comm_.GetComStat(stat);
    EXPECT_EQ(stat.cbInQue + stat.cbOutQue + stat.Flags, 0u);
    EXPECT_EQ(comm_.GetModemStatus(), 0u);
    EXPECT_FALSE(comm_.GetModemState(1));
    int closes = 0;
    comm_.OnClose = [&](TVaCustomComm&) { ++closes; };
    comm_.Close();
    EXPECT_EQ(closes, 0);
}

TEST_F(CommPropertiesTest, LinesUnderHandshakeCannotBeSetByHand) {
    comm_.SetDTRControl(dtrHandshake);
    comm_.SetRTSControl(rtsHandshake);
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[&] { comm_.SetDTR(true); }, "Manual DTR line updates not allowed."},
        {[&] { comm_.SetRTS(false); }, "Manual RTS line updates not allowed."},
    };
    for (int open = 0; open < 2; ++open) {
        for (const auto& [call, message] : cases) {
            try {
                call();
                ADD_FAILURE() << "no error: " << message;
            } catch (const EVaCommError& error) {
                EXPECT_STREQ(error.what(), message);
            }
        }
        if (!comm_.Active()) {
            comm_.Open();
        }
    }
    comm_.SetRTSControl(rtsToggle);
    EXPECT_NO_THROW(comm_.SetRTS(true));
    // The refusal looks at RTSControl alone: under RTS/CTS flow an enabled
    // RTS is still set by hand.
    comm_.SetFlowControl(fcRtsCts);
    comm_.SetRTSControl(rtsEnable);
    EXPECT_NO_THROW(comm_.SetRTS(false));
}

TEST_F(CommPropertiesTest, DeviceFailuresRaiseTheirMessages) {
    using Op = test::NullModemEnd::Operation;
    char byte = 'x';
    ComStat stat;
    const struct {
        Op operation;
        std::function<void(NullModemComm&)> call;
        const char* message;
        int error = EIO;
    } cases[] = {
        {Op::GetSettings, [](NullModemComm& c) { c.SetBaudrate(br300); },
         "Error reading dcb (5), Input/output error"},
        {Op::SetSettings, [](NullModemComm& c) { c.SetParity(paEven); },
         "Error writing dcb (22), Invalid argument", EINVAL},
        {Op::Purge, [](NullModemComm& c) { c.PurgeRead(); },
         "Error clearing buffers (5), Input/output error"},
        {Op::EscapeFunction, [](NullModemComm& c) { c.SetXon(true); },
         "Error calling comm function (5), Input/output error"},
        {Op::GetModemStatus, [](NullModemComm& c) { c.GetModemState(1); },
         "Error reading modem state (5), Input/output error"},
        {Op::ClearError, [&](NullModemComm& c) { c.GetComStat(stat); },
         "Error retrieving statistics (5), Input/output error"},
        {Op::Write, [&](NullModemComm& c) { c.WriteBuf(&byte, 1); },
         "Write error (5), Input/output error"},
        {Op::Read, [&](NullModemComm& c) { c.ReadBuf(&byte, 1); },
         "Read error (5), Input/output error"},
    };
    for (const auto& c : cases) {
        NullModemComm comm(handOver_);
        comm.SetFlowControl(fcNone);
        comm.Open();
        comm.Device().FailNext(c.operation, c.error);
        try {
            c.call(comm);
            ADD_FAILURE() << "no error: " << c.message;
        } catch (const EVaCommError& error) {
            EXPECT_STREQ(error.what(), c.message);
        }
        EXPECT_TRUE(comm.Active()) << "a failure other than Open's closed the port";
    }
}

TEST_F(CommPropertiesTest, AFailedOpenLeavesThePortClosedWithNoThread) {
    using Op = test::NullModemEnd::Operation;
    const struct {
        Op operation;
        const char* message;
    } cases[] = {
        {Op::GetSettings, "Error reading dcb (5), Input/output error"},
        {Op::SetSettings, "Error writing dcb (5), Input/output error"},
        {Op::SetTimeouts, "Error setting timeouts (5), Input/output error"},
        {Op::SetQueueSizes, "Error initializing buffers (5), Input/output error"},
        {Op::SetEventMask, " Error setting EventMask (5), Input/output error"},
    };
    for (const auto& c : cases) {
        NullModemComm comm(handOver_);
        comm.SetMonitorEvents({ceRxChar});
        comm.Device().FailNext(c.operation, EIO);
        try {
            comm.Open();
            ADD_FAILURE() << "opened despite: " << c.message;
        } catch (const EVaCommError& error) {
            EXPECT_STREQ(error.what(), c.message);
        }
        EXPECT_FALSE(comm.Active());
        std::uint32_t events = 0;
        EXPECT_EQ(comm.Device().TakeEvents(events), EBADF) << "the device was left open";
    }
}

TEST_F(CommPropertiesTest, OpeningAnOpenPortIsRefusedAndKeepsItOpen) {
    comm_.Open();
    try {
        comm_.Open();
        FAIL() << "opened twice";
    } catch (const EVaCommError& error) {
        EXPECT_STREQ(error.what(), "Can't perform this operation when port is open");
    }
    EXPECT_TRUE(comm_.Active());
    const char byte = 'G';
    comm_.SetFlowControl(fcNone);
    EXPECT_EQ(comm_.WriteBuf(&byte, 1), 1);
    EXPECT_EQ(comm_.Device().Written(), "G");
}

} // namespace
} // namespace feedrail
