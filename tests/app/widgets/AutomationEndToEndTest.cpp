#include "app/widgets/EndToEndFixture.h"
#include "service/StatusSocket.h"
#include "support/ChildProcess.h"

#include <filesystem>
#include <regex>
#include <sstream>

namespace feedrail {
namespace {

using namespace std::chrono_literals;
using test::PumpUntil;
using test::ReadFile;
using test::WriteFile;

// Feedrail and the simulated control with the machine's unattended-DNC
// options on: programs it punches are filed, its requests answered, and
// every transfer logged.
class AutomationEndToEndTest : public test::EndToEndFixture {
protected:
    AutomationEndToEndTest() {
        std::filesystem::create_directories(programs_);
        std::filesystem::create_directories(received_);
    }

    std::string Profile(const std::string& options, const std::string& format = "PunchType=1\n") {
        return "CommHandshake=0\n" + format + "DefaultDir=" + programs_ + "/\n" + options +
               "TransferLog=1\n";
    }

    // The window, once it listens: after the start-up machine selection has
    // opened the port a second time.
    void StartListening(const std::string& profile) {
        StartWindow(profile);
        ASSERT_TRUE(PumpUntil([&] { return window_->Unattended().Listening(); }, 5s));
    }

    std::vector<std::string> LogLines() const {
        std::vector<std::string> lines;
        std::istringstream log(ReadFile(folder_.File("feedrail-transfers.log")));
        for (std::string line; std::getline(log, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    // A log line without its date and time.
    static std::string WithoutTime(const std::string& line) {
        static const std::regex stamp("^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\t");
        return std::regex_replace(line, stamp, "");
    }

    std::string programs_ = folder_.File("programs");
    std::string received_ = folder_.File("received");
};

const std::string Bracket = "%\nO1000 (BRACKET)\nG0 X1\nM30\n%\n";
const std::string Flange = "%\n(FLANGE)\nO1001\nG1 Y2 F100\n%\n";

// The control's operator presses Punch twice; an O1000.nc of earlier is kept.
// ISO's carriage returns come with their parity bit and are no part of a line.
TEST_F(AutomationEndToEndTest, TwoProgramsPunchedInARowAreFiledWithoutOverwritingAny) {
    WriteFile(machineFolder_.File("punch.nc"), Bracket);
    const struct {
        const char* code;
        const char* eob;
        const char* format;
    } cases[] = {{"ascii", "crlf", "PunchType=1\nEOB=0\n"},
                 {"iso", "lfcrcr", "PunchType=3\nEOB=1\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        const std::string folder = received_ + "/" + c.code;
        std::filesystem::create_directories(folder);
        std::filesystem::remove(folder_.File("feedrail-transfers.log"));
        WriteFile(folder + "/O1000.nc", "an older O1000\n");
        const auto machine = StartMachine({"--punch-on-enter", machineFolder_.File("punch.nc"),
                                           "--code", c.code, "--eob", c.eob, "--cps", "2000"});
        StartListening(Profile("AutoReceive=1\nReceiveDir=" + folder + "\n", c.format));

        std::vector<std::string> expected;
        for (const std::string name : {"O1000-2.nc", "O1000-3.nc"}) {
            const std::string path = folder + "/" + name;
            machine->Type("\n");
            EXPECT_TRUE(
                PumpUntil([&] { return Status() == QString::fromStdString("Saved " + path); }, 10s))
                << Status().toStdString();
            EXPECT_EQ(ReadFile(path), Bracket);
            expected.push_back("Mill\treceive\t" + path + "\t5 lines\t30 bytes\tcompleted");
        }
        EXPECT_EQ(ReadFile(folder + "/O1000.nc"), "an older O1000\n");
        EXPECT_EQ(window_->Editor().Text(), "") << "the editor is the operator's";
        const std::vector<std::string> log = LogLines();
        ASSERT_EQ(log.size(), expected.size()) << ReadFile(folder_.File("feedrail-transfers.log"));
        for (std::size_t i = 0; i < log.size(); ++i) {
            EXPECT_EQ(WithoutTime(log[i]), expected[i]);
            EXPECT_NE(WithoutTime(log[i]), log[i]) << "each line starts with its date and time";
        }
        window_.reset();
    }
}

// A Receive pressed by the operator takes the next program into the editor;
// once it has ended, programs are filed again.
TEST_F(AutomationEndToEndTest, AManualReceiveComesFirstAndFilingResumesAfterIt) {
    WriteFile(machineFolder_.File("punch.nc"), Bracket);
    const auto machine = StartMachine(
        {"--punch-on-enter", machineFolder_.File("punch.nc"), "--code", "ascii", "--cps", "2000"});
    StartListening(Profile("AutoReceive=1\nReceiveDir=" + received_ + "\n"));
    Receive(*window_);
    machine->Type("\n");
    EXPECT_TRUE(PumpUntil([&] { return Status() == "Finished Receiving"; }, 10s));
    EXPECT_EQ(window_->Editor().Text(), Bracket);
    EXPECT_FALSE(std::filesystem::exists(received_ + "/O1000.nc"));

    machine->Type("\n");
    const std::string path = received_ + "/O1000.nc";
    EXPECT_TRUE(PumpUntil([&] { return Status() == QString::fromStdString("Saved " + path); }, 10s))
        << Status().toStdString();
    EXPECT_EQ(ReadFile(path), Bracket);
    EXPECT_EQ(window_->Editor().Text(), Bracket) << "the received program stays";
    const std::vector<std::string> log = LogLines();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(WithoutTime(log[0]), "Mill\treceive\t-\t5 lines\t31 bytes\tcompleted");
}

TEST_F(AutomationEndToEndTest, ARequestIsAnsweredWithThatProgramByteForByte) {
    const struct {
        const char* number;
        const char* file; // the file that holds it in the machine's folder
    } cases[] = {{"O1000", "O1000.nc"}, {"O1001", "flange.nc"}};
    WriteFile(programs_ + "/O1000.nc", Bracket);
    WriteFile(programs_ + "/flange.nc", Flange);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        std::filesystem::remove(folder_.File("feedrail-transfers.log"));
        const auto machine = StartMachine(
            {"request", c.number, "--code", "ascii", "--start-after", "600000", "--cps", "2000"});
        StartListening(Profile("RemoteRequest=1\n"));
        machine->Type("\n");
        EXPECT_TRUE(PumpUntil([&] { return machine->Wait(0ms).has_value(); }, 20s));
        EXPECT_EQ(machine->Wait(0ms), 0) << machine->Output();
        const std::string program = ReadFile(programs_ + "/" + c.file);
        EXPECT_EQ(ReadFile(machineFolder_.File(std::string(c.number) + ".nc")), program);
        EXPECT_TRUE(PumpUntil([&] { return LogLines().size() >= 2; }, 5s));
        const std::vector<std::string> log = LogLines();
        ASSERT_GE(log.size(), 2u);
        const std::string path = programs_ + "/" + c.file;
        EXPECT_EQ(WithoutTime(log[0]), "Mill\trequest\t" + std::string(c.number) +
                                           "\t0 lines\t0 bytes\tsending " + path);
        EXPECT_TRUE(WithoutTime(log[1]).starts_with("Mill\tsend\t" + path + "\t"));
        EXPECT_TRUE(log[1].ends_with("\tcompleted")) << log[1];
        // The control ends once it has its program: its line goes.
        for (std::size_t i = 2; i < log.size(); ++i) {
            EXPECT_EQ(WithoutTime(log[i]),
                      "Mill\tline\t" + folder_.File("com2") + "\t0 lines\t0 bytes\tlost");
        }
        window_.reset();
    }
}

TEST_F(AutomationEndToEndTest, ARequestForAMissingProgramSendsNothing) {
    WriteFile(programs_ + "/O1000.nc", Bracket);
    const auto machine = StartMachine(
        {"request", "O4711", "--code", "ascii", "--start-after", "600000", "--cps", "2000"});
    StartListening(Profile("RemoteRequest=1\n"));
    machine->Type("\n");
    EXPECT_TRUE(PumpUntil([&] { return Status() == "Requested program O4711 not found"; }, 10s))
        << Status().toStdString();
    test::PumpFor(1500);
    EXPECT_EQ(Raw().find_first_not_of("\x11"), std::string::npos)
        << "only the XON of a listening receive reaches the control";
    const std::vector<std::string> log = LogLines();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(WithoutTime(log[0]), "Mill\trequest\tO4711\t0 lines\t0 bytes\tnot found");
}

// A machine the service serves: the window cannot take its port and says
// who has it, and the service goes on listening undisturbed.
TEST_F(AutomationEndToEndTest, APortTheServiceHoldsIsRefusedNamingTheService) {
    ::setenv("XDG_RUNTIME_DIR", folder_.Path().c_str(), 1);
    WriteFile(machineFolder_.File("punch.nc"), Bracket);
    const auto machine = StartMachine(
        {"--punch-on-enter", machineFolder_.File("punch.nc"), "--code", "ascii", "--cps", "2000"});
    WriteFile(folder_.File("DNC.ini"),
              "[Mill]\nCommPort=2\n" + Profile("AutoReceive=1\nReceiveDir=" + received_ + "\n"));
    test::ChildProcess service(FEEDRAIL_DNC_TOOL, {"--profiles", folder_.Path() + "/"},
                               folder_.File("service.log"));
    const auto status = [&] {
        try {
            return AskStatus(StatusSocketPath(folder_.Path() + "/"));
        } catch (const std::exception&) {
            return std::string();
        }
    };
    ASSERT_TRUE(PumpUntil([&] { return status().starts_with("Mill\tCOM2\tlistening"); }, 10s))
        << service.Output();

    window_ = std::make_unique<Tpunch_d>(folder_.Path() + "/", messages_);
    const QString refused =
        "COM2 is used by feedrail-dnc, process " + QString::number(service.Pid());
    EXPECT_TRUE(PumpUntil([&] { return Status() == refused; }, 5s)) << Status().toStdString();
    EXPECT_FALSE(window_->Comm1().Active());
    machine->Type("\n");
    EXPECT_TRUE(PumpUntil([&] { return std::filesystem::exists(received_ + "/O1000.nc"); }, 10s))
        << service.Output();
}

} // namespace
} // namespace feedrail
