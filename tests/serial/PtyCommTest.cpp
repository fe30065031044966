#include "common/FileDescriptor.h"
#include "serial/EVaCommError.h"
#include "serial/TVaComm.h"
#include "serial/device/ArbitraryBaudRate.h"
#include "serial/device/TermiosSettings.h"
#include "support/AsNobody.h"
#include "support/PseudoTerminal.h"
#include "support/QueueHandOver.h"
#include "support/TempFolder.h"

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace feedrail {
namespace {

using namespace std::chrono_literals;
using namespace std::string_view_literals;
using test::PseudoTerminal;
using test::QueueHandOver;

// The port as the main window sets it up, on the slave side of a
// pseudo-terminal whose master side plays the machine.
class PtyCommTest : public ::testing::Test {
protected:
    PtyCommTest() {
        comm_.SetDeviceName(pty_.SlavePath());
        comm_.SetMonitorEvents(AllCommEvents);
        comm_.SetFlowControl(fcNone);
        comm_.SetDTRControl(dtrDisable);
        comm_.SetRTSControl(rtsDisable);
        comm_.SetBaudrate(br115200);
        comm_.OnRxChar = [this](TVaCustomComm&, int count) { rxCounts_.push_back(count); };
    }

    // Runs hand-overs until the port has received `count` bytes, and reads them.
    std::string Receive(std::size_t count) {
        std::string bytes;
        handOver_.RunUntil([&] {
            char buffer[256];
            const int got = comm_.ReadBuf(buffer, sizeof buffer);
            bytes.append(buffer, static_cast<std::size_t>(got));
            return bytes.size() >= count;
        });
        return bytes;
    }

    void Send(std::string_view bytes) {
        for (const char byte : bytes) {
            ASSERT_EQ(comm_.WriteBuf(&byte, 1), 1);
        }
    }

    PseudoTerminal pty_;
    QueueHandOver handOver_;
    TVaComm comm_{handOver_};
    std::vector<int> rxCounts_;
};

// A pseudo-terminal keeps the rate and the stop bits but always reads back 8
// bits without parity, so byte size and parity are checked on the settings
// built for the terminal.
TEST(TermiosSettingsTest, LineFormatMapsToTerminalFlags) {
    const struct {
        std::uint8_t byteSize;
        std::uint8_t parity;
        std::uint8_t stopBits;
        tcflag_t expected;
    } cases[] = {
        {8, NoParity, OneStopBit, CS8},
        {7, EvenParity, TwoStopBits, CS7 | PARENB | CSTOPB},
        {7, OddParity, OneStopBit, CS7 | PARENB | PARODD},
        {8, MarkParity, OneStopBit, CS8 | PARENB | CMSPAR | PARODD},
        {8, SpaceParity, TwoStopBits, CS8 | PARENB | CMSPAR | CSTOPB},
        {6, NoParity, OneStopBit, CS6},
        {5, NoParity, One5StopBits, CS5 | CSTOPB},
    };
    for (const auto& c : cases) {
        SerialSettings settings;
        settings.ByteSize = c.byteSize;
        settings.Parity = c.parity;
        settings.StopBits = c.stopBits;
        termios tty{};
        ASSERT_EQ(BuildTermios(settings, tty), 0);
        EXPECT_EQ(tty.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB), c.expected);
    }
    for (const auto& [byteSize, parity] : {std::pair<int, int>{4, 0}, {9, 0}, {8, 5}}) {
        SerialSettings settings;
        settings.ByteSize = static_cast<std::uint8_t>(byteSize);
        settings.Parity = static_cast<std::uint8_t>(parity);
        termios tty{};
        EXPECT_EQ(BuildTermios(settings, tty), EINVAL);
    }
}

// After an arbitrary rate, a standard one sets both directions again: the
// input rate once stayed 250000 for every later machine.
TEST(TermiosSettingsTest, AStandardRateAfterAnArbitraryOneSetsTheInputRateToo) {
    PseudoTerminal pty;
    const FileDescriptor slave(::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_TRUE(slave.Valid());
    SerialSettings settings;
    for (const unsigned rate : {250000U, 9600U, 115200U}) {
        settings.BaudRate = rate;
        EXPECT_EQ(ApplyTermios(slave.Get(), settings), 0) << rate;
        EXPECT_EQ(ReadBaudRates(slave.Get()).Input, rate) << "the input rate after " << rate;
    }
}

TEST_F(PtyCommTest, LineSettingsReachTheTerminalAndBytesPassBothWays) {
    const struct {
        TVaBaudrate baudrate;
        TVaDatabits databits;
        TVaParity parity;
        TVaStopbits stopbits;
        unsigned rate;
        bool twoStopBits;
    } cases[] = {
        {br110, db8, paNone, sb1, 110, false},       {br300, db7, paEven, sb2, 300, true},
        {br600, db7, paOdd, sb1, 600, false},        {br1200, db8, paMark, sb1, 1200, false},
        {br2400, db8, paSpace, sb2, 2400, true},     {br4800, db7, paEven, sb2, 4800, true},
        {br9600, db6, paNone, sb1, 9600, false},     {br14400, db8, paNone, sb1, 14400, false},
        {br19200, db5, paNone, sb15, 19200, true},   {br38400, db8, paOdd, sb15, 38400, true},
        {br56000, db8, paNone, sb1, 56000, false},   {br57600, db8, paNone, sb1, 57600, false},
        {br115200, db8, paNone, sb1, 115200, false}, {br128000, db8, paNone, sb1, 128000, false},
        {br256000, db8, paNone, sb2, 256000, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        comm_.SetBaudrate(c.baudrate);
        comm_.SetDatabits(c.databits);
        comm_.SetParity(c.parity);
        comm_.SetStopbits(c.stopbits);
        comm_.Open();

        termios tty{};
        ASSERT_EQ(::tcgetattr(pty_.Slave(), &tty), 0);
        EXPECT_EQ(ReadBaudRates(pty_.Slave()).Output, c.rate);
        EXPECT_EQ((tty.c_cflag & CSTOPB) != 0, c.twoStopBits);
        EXPECT_EQ(tty.c_cflag & CREAD, CREAD);
        EXPECT_EQ(tty.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(tty.c_iflag & (IXON | ICRNL), 0u);
        EXPECT_EQ(tty.c_oflag & OPOST, 0u);

        Send("G1\r\n");
        EXPECT_EQ(pty_.Read(4, 2s), "G1\r\n");
        pty_.Write("%\x13\x11\x00"sv
                   "\xFF");
        EXPECT_EQ(Receive(5), "%\x13\x11\x00"sv
                              "\xFF");
        comm_.Close();
    }
}

// The kernel keeps a pseudo-terminal at 8 bits without parity; applying a
// 7E2 format again at an unchanged speed must not fail on that.
TEST_F(PtyCommTest, SevenBitParityFormatsReapplyOverAPseudoTerminal) {
    comm_.SetBaudrate(br9600);
    comm_.SetDatabits(db7);
    comm_.SetParity(paEven);
    comm_.SetStopbits(sb2);
    for (int open = 0; open < 2; ++open) {
        comm_.Open();
        comm_.SetFlowControl(fcXonXoff);
        comm_.SetFlowControl(fcNone);
        Send("G1\n");
        EXPECT_EQ(pty_.Read(3, 2s), "G1\n");
        comm_.Close();
    }
}

TEST_F(PtyCommTest, ASettingTheTerminalCannotTakeIsRefusedAndTheOpenUndone) {
    comm_.SetDatabits(db4);
    try {
        comm_.Open();
        FAIL() << "a 4-bit byte was accepted";
    } catch (const EVaCommError& error) {
        EXPECT_STREQ(error.what(), "Error writing dcb (22), Invalid argument");
    }
    EXPECT_FALSE(comm_.Active());
    comm_.SetDatabits(db8);
    comm_.Open();
    EXPECT_TRUE(comm_.Active());
}

TEST_F(PtyCommTest, ReadBufTakesWhatHasArrivedWithoutWaiting) {
    comm_.Open();
    pty_.Write("0123456789");
    ASSERT_TRUE(handOver_.RunUntil([&] { return !rxCounts_.empty() && rxCounts_.back() == 10; }))
        << "the port never reported 10 bytes";
    char buffer[100];
    EXPECT_EQ(comm_.ReadBuf(buffer, 100), 10);
    EXPECT_EQ(std::string(buffer, 10), "0123456789");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(comm_.ReadBuf(buffer, 100), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms) << "ReadBuf waited for data";
}

TEST_F(PtyCommTest, ReadBufNeverTakesMoreThanAsked) {
    comm_.Open();
    pty_.Write("abcdef");
    std::string bytes;
    handOver_.RunUntil([&] {
        char buffer[4] = {'x', 'x', 'x', 'x'};
        const int got = comm_.ReadBuf(buffer, 2);
        EXPECT_LE(got, 2);
        EXPECT_EQ(buffer[2], 'x');
        bytes.append(buffer, static_cast<std::size_t>(got));
        return bytes.size() >= 6;
    });
    EXPECT_EQ(bytes, "abcdef");
}

// The machine's XOFF holds the writer; nothing written meanwhile is lost or
// doubled, and its XON lets every held byte through in order.
TEST_F(PtyCommTest, DriverXonXoffHoldsWritesAndReleasesThemInOrder) {
    comm_.SetFlowControl(fcXonXoff);
    comm_.SetWriteTimeout(100);
    comm_.Open();
    Send("N10");
    EXPECT_EQ(pty_.Read(3, 2s), "N10");

    pty_.Write("\x13");
    std::this_thread::sleep_for(20ms);
    // The port queues a few bytes; then writes time out, their bytes kept.
    int accepted = 0;
    for (const char byte : std::string("G1X5Y2Z3")) {
        accepted += comm_.WriteBuf(&byte, 1);
    }
    EXPECT_LT(accepted, 8);
    EXPECT_EQ(pty_.ReadAll(100ms), "") << "a byte went out after XOFF";

    pty_.Write("\x11");
    EXPECT_EQ(pty_.Read(8, 2s), "G1X5Y2Z3");
    Send("M2");
    EXPECT_EQ(pty_.Read(2, 2s), "M2");

    // XON and XOFF are the line's business, never received data.
    pty_.Write("A\x13"
               "B\x11"
               "C");
    EXPECT_EQ(Receive(3), "ABC");
    EXPECT_EQ(pty_.ReadAll(50ms), "");
}

TEST_F(PtyCommTest, WithoutFlowControlXonAndXoffAreData) {
    comm_.Open();
    pty_.Write("\x13");
    EXPECT_EQ(Receive(1), "\x13");
    Send("G1");
    EXPECT_EQ(pty_.Read(2, 2s), "G1");
}

TEST_F(PtyCommTest, APseudoTerminalHasNoModemLinesAndThatIsNoError) {
    comm_.Open();
    comm_.SetDTR(true);
    comm_.SetRTS(true);
    comm_.SetXon(true);
    EXPECT_EQ(comm_.GetModemStatus(), 0u);
    for (int index = 1; index <= 4; ++index) {
        EXPECT_FALSE(comm_.GetModemState(index));
    }
}

TEST_F(PtyCommTest, TheDeviceIsOpenedExclusively) {
    comm_.SetPortNum(5);
    comm_.Open();
    TVaComm second(handOver_);
    second.SetDeviceName(pty_.SlavePath());
    second.SetPortNum(5);
    try {
        second.Open();
        FAIL() << "a second open succeeded";
    } catch (const EVaCommError& error) {
        EXPECT_STREQ(error.what(), "Can't open device COM5");
    }
    EXPECT_FALSE(second.Active());
    comm_.Close();
    second.Open();
    EXPECT_TRUE(second.Active());
}

TEST_F(PtyCommTest, OpenFailuresNameThePortNumber) {
    test::TempFolder folder;
    test::WriteFile(folder.File("notatty"), "text");
    const struct {
        std::string deviceName;
        int portNum;
        const char* message;
    } cases[] = {
        {folder.File("com7"), 0, "Invalid port number (COM0)"},
        {folder.File("missing/ttyS0"), 2, "Invalid port number (COM2)"},
        {folder.File("notatty"), 3, "Can't open device COM3"},
        {folder.Path(), 4, "Can't open device COM4"},
    };
    for (const auto& c : cases) {
        TVaComm comm(handOver_);
        comm.SetDeviceName(c.deviceName);
        comm.SetPortNum(c.portNum);
        try {
            comm.Open();
            ADD_FAILURE() << c.deviceName << " opened";
        } catch (const EVaCommError& error) {
            EXPECT_STREQ(error.what(), c.message);
        }
        EXPECT_FALSE(comm.Active());
    }
}

// A com<N> link removed and made again (the machine moved to another
// adapter): while it is gone the port does not open the serial port of the
// same number instead, and once it is back the new line is the one used.
TEST_F(PtyCommTest, AComLinkThatIsGoneIsWaitedForNotReplacedByTheSerialPort) {
    test::TempFolder folder;
    const std::string link = folder.File("com2");
    std::filesystem::create_symlink(pty_.SlavePath(), link);
    TVaComm comm(handOver_, folder.Path() + "/");
    comm.SetDeviceName("com2");
    comm.Open();
    comm.Close();
    std::filesystem::remove(link);
    try {
        comm.Open();
        ADD_FAILURE() << comm.Opened().Path << " opened in the link's place";
    } catch (const EVaCommError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Can't open device COM2: the link " + link + " is gone");
    }
    EXPECT_FALSE(comm.Active());
    PseudoTerminal other;
    std::filesystem::create_symlink(other.SlavePath(), link);
    comm.Open();
    const char byte = 'G';
    ASSERT_EQ(comm.WriteBuf(&byte, 1), 1);
    EXPECT_EQ(other.Read(1, 2s), "G");
    comm.Close();
}

// A network address written wrongly is never tried as a file (which would
// say "No such file or directory"): the failure says what is wrong with it.
TEST_F(PtyCommTest, ANetworkAddressWrittenWronglyFailsNamingWhatIsWrong) {
    const struct {
        const char* deviceName;
        const char* message;
    } cases[] = {
        {"rfc2217://host:99999", "Invalid port number 99999 in rfc2217://host:99999 (1 to 65535)"},
        {"tcp://127.0.0.1:0", "Invalid port number 0 in tcp://127.0.0.1:0 (1 to 65535)"},
        {"telnet://host:23",
         "Unknown scheme telnet:// in telnet://host:23 (write rfc2217:// or tcp://)"},
    };
    for (const auto& c : cases) {
        TVaComm comm(handOver_);
        comm.SetDeviceName(c.deviceName);
        comm.SetNameByDevice(true);
        try {
            comm.Open();
            ADD_FAILURE() << c.deviceName << " opened";
        } catch (const EVaCommError& error) {
            EXPECT_STREQ(error.what(), c.message);
        }
        EXPECT_FALSE(comm.Active());
    }
}

// Many opens and closes with traffic: each open's line thread ends with it,
// and no event of a closed port ever runs.
TEST_F(PtyCommTest, RepeatedOpenAndCloseWithTrafficLeavesNoThreadBehind) {
    const auto threads = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                             std::filesystem::directory_iterator());
    };
    // Counted once a port has been open: a sanitizer starts a thread of its
    // own with the first thread.
    comm_.Open();
    comm_.Close();
    const auto before = threads();
    int closedEvents = 0;
    bool open = false;
    comm_.OnRxChar = [&](TVaCustomComm&, int) { closedEvents += open ? 0 : 1; };
    for (int cycle = 0; cycle < 200; ++cycle) {
        comm_.Open();
        open = true;
        pty_.Write("x");
        Send("y");
        EXPECT_EQ(pty_.Read(1, 2s), "y");
        handOver_.RunPending();
        comm_.Close();
        open = false;
        handOver_.RunPending();
        char drain[16];
        while (::read(pty_.Slave(), drain, sizeof drain) > 0) {
        }
    }
    handOver_.RunUntil([] { return false; }, 100ms);
    EXPECT_EQ(closedEvents, 0);
    EXPECT_EQ(threads(), before);
}

// A control that reads at the line's pace and stops the sender with XOFF in
// the middle of a program: at most 10 characters may reach it after its XOFF
// (more raise an overrun alarm on Fanuc-style controls), and none may be lost.
TEST_F(PtyCommTest, AtMostTenCharactersFollowTheMachinesXoff) {
    std::string program;
    for (int i = 0; program.size() < 400; ++i) {
        program += "N" + std::to_string(i) + "G1X" + std::to_string(i % 97) + ";";
    }
    program.resize(400);
    const struct {
        TVaBaudrate baudrate;
        long rate;
    } cases[] = {{br9600, 9600}, {br115200, 115200}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        comm_.SetBaudrate(c.baudrate);
        comm_.SetFlowControl(fcXonXoff);
        comm_.Open();
        const auto characterTime = std::chrono::nanoseconds(1'000'000'000LL * 10 / c.rate);
        std::string received;
        std::size_t afterXoff = 0;
        // Characters already in the pseudo-terminal when the XOFF goes out
        // were on the line before it: a slow reader thread must not count
        // them against the sender.
        std::size_t alreadySent = 0;
        std::atomic<bool> writerGaveUp = false;
        std::thread machine([&] {
            auto nextSlot = std::chrono::steady_clock::now();
            auto releaseAt = std::chrono::steady_clock::time_point::max();
            while (received.size() < program.size() && !writerGaveUp) {
                std::this_thread::sleep_until(nextSlot);
                const std::string byte = pty_.Read(1, 5ms);
                // Each character takes its time on the line; an idle line
                // starts the clock again with the next one.
                nextSlot =
                    byte.empty() ? std::chrono::steady_clock::now() : nextSlot + characterTime;
                if (byte.empty()) {
                    if (std::chrono::steady_clock::now() >= releaseAt) {
                        pty_.Write("\x11");
                        releaseAt = std::chrono::steady_clock::time_point::max();
                    }
                    continue;
                }
                received += byte;
                if (releaseAt != std::chrono::steady_clock::time_point::max()) {
                    ++afterXoff;
                }
                if (received.size() == 100) {
                    int queued = 0;
                    ::ioctl(pty_.Master(), FIONREAD, &queued);
                    alreadySent = static_cast<std::size_t>(std::max(queued, 0));
                    pty_.Write("\x13");
                    releaseAt = std::chrono::steady_clock::now() + 300ms;
                }
            }
        });
        for (const char byte : program) {
            if (comm_.WriteBuf(&byte, 1) != 1) {
                ADD_FAILURE() << "a write timed out";
                writerGaveUp = true;
                break;
            }
        }
        machine.join();
        EXPECT_LE(afterXoff - std::min(afterXoff, alreadySent), 10u);
        EXPECT_EQ(received, program);
        comm_.Close();
    }
}

// As root every open succeeds, so the port is opened by "nobody", who is not
// in the port's group.
TEST_F(PtyCommTest, APortTheUserMayNotOpenSaysHowToGetAccess) {
    const group* dialout = ::getgrnam("dialout");
    if (dialout == nullptr) {
        GTEST_SKIP() << "no dialout group here";
    }
    const struct {
        mode_t mode;
        const char* advice;
    } cases[] = {
        {0660, "group \"dialout\", and Feedrail runs without that group.\n\nAdd your user to the "
               "group:\n    sudo usermod -aG dialout nobody\nthen log out and log in again"},
        {0600, "only its owner may use it"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(::chown(pty_.SlavePath().c_str(), 0, dialout->gr_gid), 0);
        ASSERT_EQ(::chmod(pty_.SlavePath().c_str(), c.mode), 0);
        comm_.SetPortNum(1);
        const int result = test::RunAsNobody([&] {
            try {
                comm_.Open();
                return 1;
            } catch (const EVaCommError& error) {
                const bool advised =
                    error.Advice().find(c.advice) != std::string::npos &&
                    error.Advice().starts_with("You may not open " + pty_.SlavePath() + ": ");
                return std::string_view(error.what()) != "Can't open device COM1" ? 2
                       : advised                                                  ? 0
                                                                                  : 3;
            }
        });
        if (result == test::CannotBecomeNobody) {
            GTEST_SKIP() << "cannot change to an unprivileged user here";
        }
        EXPECT_EQ(result, 0) << std::oct << c.mode << " (1: opened, 2: message, 3: advice)";
    }
}

// A device that goes (the machine's end closed) is reported once as a
// hang-up, after the bytes that came before it, and the line is then left
// alone. Setting its lines or writing meanwhile (a send's end, its trailer
// and ready signal, as the machine closes its end) is no error of its own:
// the hang-up tells, and what was not written is not delivered.
TEST_F(PtyCommTest, AGoneDeviceIsReportedOnceAfterWhatCame) {
    std::vector<int> errors;
    comm_.OnError = [&](TVaCustomComm&, int flags) { errors.push_back(flags); };
    comm_.Open();
    pty_.Write("G1\nG2");
    EXPECT_EQ(Receive(5), "G1\nG2");
    const auto setLines = [&] {
        comm_.SetRTS(true);
        comm_.SetDTR(true);
        comm_.SetXon(true);
        comm_.QueueBuf("\0\0\0", 3);
    };
    pty_.HangUp();
    EXPECT_NO_THROW(setLines());
    ASSERT_TRUE(handOver_.RunUntil([&] { return !errors.empty(); }, 3s));
    EXPECT_NO_THROW(setLines());
    EXPECT_EQ(errors, std::vector<int>{static_cast<int>(CommErrorBit::CE_HANGUP)});
    EXPECT_FALSE(comm_.OutputDelivered()) << "what was never written counts as delivered";
    handOver_.RunUntil([] { return false; }, 300ms);
    EXPECT_EQ(errors.size(), 1U) << "the hang-up was reported again";
    comm_.Close();
}

} // namespace
} // namespace feedrail
