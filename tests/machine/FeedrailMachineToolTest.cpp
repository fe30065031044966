#include "common/FileDescriptor.h"
#include "support/LineIo.h"
#include "support/MachineProcess.h"
#include "support/TempFolder.h"
#include "transfer/TapeCode.h"
#include "transfer/TapeImage.h"

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>

namespace feedrail::test {
namespace {

using namespace std::chrono_literals;

constexpr char Xon = 0x11;
constexpr char Xoff = 0x13;

const std::string Program = "%\nO1234 (BRACKET)\nG0 X10. Y-5.\nG1 Z-1. F200.\nM30\n%\n";

// The sender's end of the line the simulated control linked.
FileDescriptor OpenLink(const std::string& path) {
    FileDescriptor fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    termios tty{};
    ::tcgetattr(fd.Get(), &tty);
    ::cfmakeraw(&tty);
    ::tcsetattr(fd.Get(), TCSANOW, &tty);
    return fd;
}

// The port of the control's "listening on tcp:PORT" line, 0 before it came.
int ListeningPort(const std::string& output) {
    const std::string said = "listening on tcp:";
    const std::size_t at = output.find(said);
    const std::size_t end = output.find('\n', at);
    return at == std::string::npos || end == std::string::npos
               ? 0
               : std::stoi(output.substr(at + said.size(), end - at - said.size()));
}

// A plain client connection, invalid when refused.
FileDescriptor Connect(int port) {
    FileDescriptor fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        fd.Reset();
    }
    return fd;
}

class FeedrailMachineToolTest : public ::testing::Test {
protected:
    std::string Link() const { return folder_.File("com2"); }

    std::unique_ptr<MachineProcess> Start(std::vector<std::string> args) {
        args.insert(args.end(), {"--link", Link(), "--out", folder_.Path()});
        return std::make_unique<MachineProcess>(args, output_.File("machine.log"), Link());
    }

    // Writes `tape` a byte at a time, as a sender that reacts to XOFF after
    // `lag` more characters, or never when `lag` is negative.
    static void SendPaced(int fd, const std::string& tape, int lag) {
        bool held = false;
        int sinceXoff = 0;
        for (std::size_t i = 0; i < tape.size();) {
            for (const char c : ReadAllFromLine(fd, 0ms)) {
                held = lag >= 0 && c == Xoff ? true : c == Xon ? false : held;
                sinceXoff = c == Xoff ? 0 : sinceXoff;
            }
            if (held && sinceXoff >= lag) {
                std::this_thread::sleep_for(1ms);
                continue;
            }
            WriteToLine(fd, tape.substr(i++, 1));
            ++sinceXoff;
            std::this_thread::sleep_for(1ms);
        }
    }

    // Waits up to 5 s for `done`.
    static bool PumpFor(const std::function<bool()>& done) {
        for (int i = 0; i < 500 && !done(); ++i) {
            std::this_thread::sleep_for(10ms);
        }
        return done();
    }

    TempFolder folder_;
    TempFolder output_;
};

TEST_F(FeedrailMachineToolTest, StoresAProgramInEachTapeCodeExactly) {
    const struct {
        const char* code;
        std::int32_t punchType;
        std::int32_t eob;
    } cases[] = {
        {"ascii", PunchAscii, EobCrLf}, {"iso", PunchIso, EobLf}, {"eia", PunchEia, EobLfCrCr}};
    for (const auto& c : cases) {
        const auto machine = Start({"--code", c.code, "--programs", "1", "--buffer", "4096"});
        const FileDescriptor line = OpenLink(Link());
        EXPECT_EQ(ReadFromLine(line.Get(), 1, 2s), std::string(1, Xon)) << c.code;
        WriteToLine(line.Get(), EncodeProgramText(Program, c.punchType, c.eob, true));
        EXPECT_EQ(machine->Wait(5s), 0) << c.code << machine->Output();
        EXPECT_EQ(ReadFile(folder_.File("O1234.nc")), Program) << c.code;
        std::remove(folder_.File("O1234.nc").c_str());
        struct stat link {};
        EXPECT_NE(::lstat(Link().c_str(), &link), 0) << "the link goes with the machine";
    }
}

// A folder gone while it runs: it says the program was not stored.
TEST_F(FeedrailMachineToolTest, SaysStoredOnlyWhenItStored) {
    const std::string out = folder_.File("out");
    std::filesystem::create_directory(out);
    MachineProcess machine({"--link", Link(), "--out", out, "--programs", "1"},
                           output_.File("machine.log"), Link());
    const FileDescriptor line = OpenLink(Link());
    std::filesystem::remove(out);
    WriteToLine(line.Get(), EncodeProgramText(Program, PunchAscii, EobLf, false));
    EXPECT_EQ(machine.Wait(5s), 0) << machine.Output();
    EXPECT_EQ(machine.Output().find("stored"), std::string::npos) << machine.Output();
    EXPECT_NE(machine.Output().find("cannot store " + out + "/O1234.nc"), std::string::npos)
        << machine.Output();
}

TEST_F(FeedrailMachineToolTest, XoffAndXonFollowTheBuffer) {
    const auto machine = Start({"--buffer", "40", "--drain", "100"});
    const FileDescriptor line = OpenLink(Link());
    ASSERT_EQ(ReadFromLine(line.Get(), 1, 2s), std::string(1, Xon));
    WriteToLine(line.Get(), std::string(20, ' '));
    EXPECT_EQ(ReadAllFromLine(line.Get(), 50ms), "") << "below the high mark of 30";
    WriteToLine(line.Get(), std::string(30, ' '));
    EXPECT_EQ(ReadFromLine(line.Get(), 1, 2s), std::string(1, Xoff));
    EXPECT_EQ(ReadFromLine(line.Get(), 1, 2s), std::string(1, Xon)) << "drained to the low mark";
    EXPECT_EQ(machine->Interrupt(), 0);
    EXPECT_NE(machine->Output().find("at most 0 characters arrived after an XOFF"),
              std::string::npos)
        << machine->Output();
}

TEST_F(FeedrailMachineToolTest, FlagsASenderThatIgnoresItsXoff) {
    const struct {
        const char* name;
        int lag;
        int status;
        bool alarm;
    } cases[] = {{"stops 3 characters after XOFF", 3, 0, false}, {"ignores XOFF", -1, 3, true}};
    std::string program = "%\nO1234\n";
    for (int i = 0; i < 40; ++i) {
        program += "G1 X" + std::to_string(i) + ".5 Y2. Z-3. F100.\n";
    }
    program += "%\n";
    const std::string tape = EncodeProgramText(program, PunchAscii, EobCrLf, false);
    for (const auto& c : cases) {
        const auto machine = Start({"--buffer", "32", "--drain", "300", "--programs", "1"});
        const FileDescriptor line = OpenLink(Link());
        ASSERT_EQ(ReadFromLine(line.Get(), 1, 2s), std::string(1, Xon));
        SendPaced(line.Get(), tape, c.lag);
        EXPECT_EQ(machine->Wait(10s), c.status) << c.name << machine->Output();
        EXPECT_EQ(machine->Output().find("ALARM overrun") != std::string::npos, c.alarm)
            << c.name << machine->Output();
        EXPECT_EQ(ReadFile(folder_.File("O1234.nc")), program) << c.name;
        std::remove(folder_.File("O1234.nc").c_str());
    }
}

TEST_F(FeedrailMachineToolTest, PunchesWithDc2LeaderAndDc4AndObeysXoff) {
    WriteFile(output_.File("O1234.nc"), Program);
    const auto machine = Start({"punch", output_.File("O1234.nc"), "--code", "iso", "--leader",
                                "10", "--trailer", "5", "--cps", "500"});
    const FileDescriptor line = OpenLink(Link());
    const std::string expected = "\x12" + std::string(10, '\0') +
                                 EncodeProgramText(Program, PunchIso, EobLf, false) +
                                 std::string(5, '\0') + "\x14";
    std::string received = ReadFromLine(line.Get(), 20, 2s);
    WriteToLine(line.Get(), std::string(1, Xoff));
    received += ReadAllFromLine(line.Get(), 100ms);
    EXPECT_LT(received.size(), expected.size());
    EXPECT_EQ(ReadAllFromLine(line.Get(), 200ms), "") << "held by XOFF";
    WriteToLine(line.Get(), std::string(1, Xon));
    received += ReadFromLine(line.Get(), expected.size() - received.size(), 5s);
    EXPECT_EQ(received, expected);
    EXPECT_EQ(machine->Wait(5s), 0) << machine->Output();
}

TEST_F(FeedrailMachineToolTest, PunchesOnEnterWhileItReceives) {
    WriteFile(output_.File("O1234.nc"), Program);
    const auto machine = Start({"--code", "ascii", "--punch-on-enter", output_.File("O1234.nc")});
    const FileDescriptor line = OpenLink(Link());
    ASSERT_EQ(ReadFromLine(line.Get(), 1, 2s), std::string(1, Xon));
    EXPECT_EQ(ReadAllFromLine(line.Get(), 100ms), "") << "nothing is punched before Enter";
    machine->Type("\n");
    const std::string tape = "\x12" + EncodeProgramText(Program, PunchAscii, EobLf, false) + "\x14";
    EXPECT_EQ(ReadFromLine(line.Get(), tape.size(), 5s), tape);
    WriteToLine(line.Get(), EncodeProgramText(Program, PunchAscii, EobLf, false));
    EXPECT_TRUE(PumpFor([&] { return ReadFile(folder_.File("O1234.nc")) == Program; }));
    EXPECT_EQ(machine->Interrupt(), 0) << machine->Output();
}

// Keys typed ahead: a typed request waits for its answer before the Punch
// typed after it punches, so that a control never punches into its answer.
TEST_F(FeedrailMachineToolTest, ATypedRequestHoldsTheNextKeyUntilItsAnswerCame) {
    WriteFile(output_.File("O1234.nc"), Program);
    const auto machine = Start({"--code", "ascii", "--punch-on-enter", output_.File("O1234.nc")});
    const FileDescriptor line = OpenLink(Link());
    ASSERT_EQ(ReadFromLine(line.Get(), 1, 2s), std::string(1, Xon));
    machine->Type("request O77\n\n");
    const std::string request =
        "\x12" + EncodeProgramText("%\nO77 (REQUEST)\n%\n", PunchAscii, EobLf, false) + "\x14" +
        std::string(1, Xon);
    EXPECT_EQ(ReadFromLine(line.Get(), request.size(), 5s), request);
    EXPECT_EQ(ReadAllFromLine(line.Get(), 300ms), "") << "the Punch waits for the answer";
    const std::string answer = "%\nO77\nG0 X1\n%\n";
    WriteToLine(line.Get(), EncodeProgramText(answer, PunchAscii, EobLf, false));
    const std::string tape = "\x12" + EncodeProgramText(Program, PunchAscii, EobLf, false) + "\x14";
    EXPECT_EQ(ReadFromLine(line.Get(), tape.size(), 5s), tape);
    EXPECT_EQ(ReadFile(folder_.File("O77.nc")), answer);
    EXPECT_EQ(machine->Interrupt(), 0) << machine->Output();
}

// As the serial side of a raw TCP device server: the connected client is
// the line, and a client that goes leaves it to the next, as a program that
// reopens its port for every transfer expects.
TEST_F(FeedrailMachineToolTest, ServesItsLineToOneClientAfterAnother) {
    MachineProcess machine({"receive", "--listen", "tcp:0", "--out", folder_.Path(), "--xon-repeat",
                            "50", "--programs", "2"},
                           output_.File("machine.log"));
    int port = 0;
    ASSERT_TRUE(PumpFor([&] { return (port = ListeningPort(machine.Output())) > 0; }))
        << machine.Output();
    for (const std::string number : {"O1234", "O1235"}) {
        SCOPED_TRACE(number);
        FileDescriptor line = Connect(port);
        ASSERT_TRUE(line.Valid());
        ASSERT_EQ(ReadFromLine(line.Get(), 1, 2s), std::string(1, Xon));
        std::string program = Program;
        program.replace(program.find("O1234"), 5, number);
        WriteToLine(line.Get(), EncodeProgramText(program, PunchIso, EobLf, true));
        EXPECT_TRUE(PumpFor([&] { return ReadFile(folder_.File(number + ".nc")) == program; }));
    }
    EXPECT_EQ(machine.Wait(5s), 0) << machine.Output();
}

TEST_F(FeedrailMachineToolTest, BadArgumentsEndWithStatus2) {
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"--code", "baudot"}, "unknown value 'baudot' for --code"},
        {{"punch", "/nonexistent/O1.nc"}, "cannot read '/nonexistent/O1.nc'"},
        {{"--link", "/nonexistent/com2"}, "cannot link /nonexistent/com2"},
        {{"--out", "/nonexistent/programs"},
         "the --out folder /nonexistent/programs does not exist"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        if (args[0] != "--link") {
            args.insert(args.end(), {"--link", Link()});
        }
        MachineProcess machine(args, output_.File("machine.log"));
        EXPECT_EQ(machine.Wait(5s), 2) << c.message;
        EXPECT_NE(machine.Output().find(c.message), std::string::npos) << machine.Output();
    }
}

// Ended by its terminal closing or by a service manager, it leaves no link
// behind, as after Ctrl+C.
TEST_F(FeedrailMachineToolTest, EveryWayOfEndingRemovesTheLink) {
    for (const int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        MachineProcess machine({"--link", Link()}, output_.File("machine.log"), Link());
        ASSERT_TRUE(std::filesystem::is_symlink(Link()));
        machine.Signal(signal);
        EXPECT_EQ(machine.Wait(5s), 0) << machine.Output();
        EXPECT_FALSE(std::filesystem::is_symlink(Link()));
    }
}

} // namespace
} // namespace feedrail::test
