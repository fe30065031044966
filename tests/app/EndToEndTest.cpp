#include "FakeMessages.h"
#include "app/Tpunch_d.h"
#include "support/MachineProcess.h"
#include "support/TempFolder.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <regex>
#include <thread>

namespace feedrail {
namespace {

using namespace std::chrono_literals;
using test::FakeMessages;
using test::MachineProcess;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

std::string Bytes(std::initializer_list<unsigned char> bytes) {
    return std::string(bytes.begin(), bytes.end());
}

const std::string Trailer = std::string(20, '\0') + "\x14";
const std::string ShortProgram = "%\nO1000\nG0 X1\n%\n";

// A program with one line long enough to be cut by a control's XOFF.
std::string LongProgram() {
    std::string program = "%\nO2000 (POCKET)\n";
    std::string comment = "(";
    while (comment.size() < 300) {
        comment += "ROUGH AND FINISH ";
    }
    program += comment + ")\n";
    for (int i = 0; i < 30; ++i) {
        program += "N" + std::to_string(i * 10 + 10) + " G1 X" + std::to_string(i) + ".25 Y-" +
                   std::to_string(i % 7) + ".5 F400.\n";
    }
    return program + "M30\n%\n";
}

// Feedrail's real main window, offscreen, whose com2 is a pseudo-terminal
// with the simulated control on its other end.
class EndToEndTest : public ::testing::Test {
protected:
    std::unique_ptr<MachineProcess> StartMachine(std::vector<std::string> args) {
        args.insert(args.end(), {"--link", folder_.File("com2"), "--out", machineFolder_.Path(),
                                 "--raw", machineFolder_.File("raw")});
        return std::make_unique<MachineProcess>(args, machineFolder_.File("machine.log"),
                                                folder_.File("com2"));
    }

    void StartWindow(const std::string& profile) {
        WriteFile(folder_.File("DNC.ini"), "[Mill]\nCommPort=2\n" + profile);
        window_ = std::make_unique<Tpunch_d>(folder_.Path() + "/", messages_);
        ASSERT_TRUE(PumpUntil([&] { return Status() == "COM2 Ready"; }, 3s))
            << Status().toStdString();
    }

    QString Status() const { return window_->Controls().Label3->text(); }

    bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            QApplication::processEvents();
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }

    // Sends the editor's program and waits for the send to end.
    void Send(const std::string& program, const QString& endStatus = "Finished Send") {
        window_->Editor().SetText(program);
        window_->SendButtonClick();
        EXPECT_TRUE(PumpUntil([&] { return Status() == endStatus; }, 20s))
            << Status().toStdString();
    }

    std::string Raw() const { return ReadFile(machineFolder_.File("raw")); }

    // The most characters the control saw after one of its XOFFs.
    static int MostAfterXoff(const std::string& log) {
        std::smatch match;
        const std::regex pattern("at most ([0-9]+) characters arrived after an XOFF");
        return std::regex_search(log, match, pattern) ? std::stoi(match[1]) : -1;
    }

    TempFolder folder_;
    TempFolder machineFolder_;
    FakeMessages messages_;
    std::unique_ptr<Tpunch_d> window_;
};

TEST_F(EndToEndTest, TheTapeOnTheWireIsExactInEveryCodeAndLineEnd) {
    const struct {
        const char* name;
        const char* code;
        std::string profile;
        std::string program;
        std::string wire;
    } cases[] = {
        {"ascii crlf leader", "ascii", "PunchType=1\nEOB=0\nLeader=1\n", ShortProgram,
         Bytes({0x25, 0x0D, 0x0A, 0x4F, 0x31, 0x30, 0x30, 0x30, 0x0D, 0x0A, 0x47, 0x30, 0x20, 0x58,
                0x31, 0x0D, 0x0A, 0x25}) +
             Trailer},
        {"iso crlf leader", "iso", "PunchType=3\nEOB=0\nLeader=1\n", ShortProgram,
         Bytes({0xA5, 0x8D, 0x0A, 0xCF, 0xB1, 0x30, 0x30, 0x30, 0x8D, 0x0A, 0x47, 0x30, 0xA0, 0xD8,
                0xB1, 0x8D, 0x0A, 0xA5}) +
             Trailer},
        {"eia leader before the percent", "eia", "PunchType=2\nEOB=0\nLeader=1\n", "$1%\nG0\n",
         Bytes({0x5B, 0x01, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x0B, 0x80, 0x67, 0x20,
                0x80}) +
             Trailer},
        {"eia lf/cr/cr without leader", "eia", "PunchType=2\nEOB=1\nLeader=0\n", ShortProgram,
         Bytes({0x0B, 0x80, 0x46, 0x01, 0x20, 0x20, 0x20, 0x80, 0x67, 0x20, 0x10, 0x37, 0x01, 0x80,
                0x0B})},
        {"ascii lf/cr/cr", "ascii", "PunchType=1\nEOB=1\nLeader=0\n", ShortProgram,
         "%\n\r\rO1000\n\r\rG0 X1\n\r\r%"},
        {"iso lf", "iso", "PunchType=3\nEOB=2\nLeader=0\n", ShortProgram,
         Bytes({0xA5, 0x0A, 0xCF, 0xB1, 0x30, 0x30, 0x30, 0x0A, 0x47, 0x30, 0xA0, 0xD8, 0xB1, 0x0A,
                0xA5})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto machine = StartMachine({"--preset", "plain", "--code", c.code});
        StartWindow("CommHandshake=1\nCommBaudRate=9600\n" + c.profile);
        Send(c.program);
        ASSERT_TRUE(PumpUntil([&] { return Raw().size() >= c.wire.size(); }, 2s));
        EXPECT_EQ(machine->Interrupt(), 0);
        EXPECT_EQ(Raw(), c.wire);
        window_.reset();
    }
}

TEST_F(EndToEndTest, XonXoffControlsGetTheWholeProgramAndAtMostTenCharactersAfterXoff) {
    const std::string program = LongProgram();
    const struct {
        const char* name;
        int handshake;
        std::string start;
    } cases[] = {{"program Xon/Xoff", 0, "\x11\x11"}, {"driver Xon/Xoff", 2, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto machine =
            StartMachine({"--preset", "fanuc", "--code", "iso", "--buffer", "64", "--drain", "400",
                          "--xon-repeat", "200", "--programs", "1"});
        StartWindow("CommHandshake=" + std::to_string(c.handshake) +
                    "\nCommBaudRate=9600\nCommParity=E\nCommDataBits=7\nPunchType=3\nEOB=2\n");
        Send(program);
        EXPECT_EQ(machine->Wait(5s), 0) << machine->Output();
        EXPECT_EQ(ReadFile(machineFolder_.File("O2000.nc")), program);
        const int afterXoff = MostAfterXoff(machine->Output());
        EXPECT_GE(afterXoff, 0) << "the control never had to send XOFF";
        EXPECT_LE(afterXoff, 10) << machine->Output();
        EXPECT_EQ(Raw().substr(0, c.start.size()), c.start);
        window_.reset();
    }
}

TEST_F(EndToEndTest, EscEndsTheSendBetweenLinesAndMidLine) {
    const struct {
        const char* name;
        std::string profile;
        std::string program;
        QString status;
    } cases[] = {
        {"between lines, in the pause after a line", "PunchWait=100\n",
         "%\nG1 X1\nG1 X2\nG1 X3\n%\n", "Finished Send"},
        {"in the middle of a long line", "PunchWait=0\n",
         "%\n(" + std::string(3000, 'X') + ")\n%\n", "Send Cancelled"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto machine = StartMachine({"--preset", "plain", "--code", "ascii"});
        StartWindow("CommHandshake=1\nCommBaudRate=9600\nPunchType=1\nEOB=2\n" + c.profile);
        // Esc 200 ms into the send proper, as an operator would press it.
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (Status().startsWith("Sending Data")) {
                watch.stop();
                QTimer::singleShot(200ms, window_.get(), [&] {
                    QApplication::postEvent(
                        window_.get(),
                        new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
                });
            }
        });
        watch.start(5);
        Send(c.program, c.status);
        EXPECT_TRUE(window_->Controls().SendButton->isEnabled());
        machine->Interrupt();
        const std::string wire = Raw();
        EXPECT_GE(wire.size(), 2u);
        EXPECT_LT(wire.size(), c.program.size() / 2) << "the send went on after Esc";
        EXPECT_EQ(c.program.substr(0, wire.size()), wire) << "what went out is the program's start";
        window_.reset();
    }
}

} // namespace
} // namespace feedrail
