#include "DncServiceFixture.h"
#include "service/StatusSocket.h"
#include "support/ChildProcess.h"
#include "support/PseudoTerminal.h"
#include "support/TempFolder.h"

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <poll.h>
#include <regex>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace feedrail {
namespace {

using namespace std::chrono_literals;
using test::Program;
using test::ReadFile;
using test::WaitFor;

// One line of a monitor's output: its direction and its words.
const std::regex
    TrafficLinePattern("^(?:\\d\\d:\\d\\d:\\d\\d\\.\\d{3}| {12}) (\u2192|\u2190) (.*)$");

// The words of what was received, as one text, from a monitor's output,
// but the XONs the simulated control sends as a reader every few seconds.
std::string ReceivedWords(const std::string& output) {
    std::istringstream lines(output);
    std::string words;
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (std::regex_match(line, match, TrafficLinePattern) && match[1] == "\u2190") {
            words += match[2];
        }
    }
    for (std::size_t at; (at = words.find("<XON>")) != std::string::npos;) {
        words.erase(at, 5);
    }
    return words;
}

// A client of the service's socket that speaks as the test tells it.
class SocketClient {
public:
    SocketClient(const std::string& path, const std::string& request)
        : socket_(ConnectToService(path)) {
        if (!request.empty()) {
            ::send(socket_.Get(), request.data(), request.size(), MSG_NOSIGNAL);
        }
    }

    // What came until the service closed, or `timeout` passed, or `enough`
    // bytes came; whether it closed.
    bool Read(std::chrono::milliseconds timeout, std::size_t enough = SIZE_MAX) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (text_.size() < enough) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd in{socket_.Get(), POLLIN, 0};
            if (left.count() <= 0 || ::poll(&in, 1, static_cast<int>(left.count())) <= 0) {
                return false;
            }
            char block[65536];
            const ssize_t count = ::read(socket_.Get(), block, sizeof block);
            if (count <= 0) {
                return true;
            }
            text_.append(block, static_cast<std::size_t>(count));
        }
        return false;
    }

    // Reads until nothing has come for `quiet`, or the service closed.
    void ReadUntilQuiet(std::chrono::milliseconds quiet) {
        for (;;) {
            const std::size_t before = text_.size();
            if (Read(quiet) || text_.size() == before) {
                return;
            }
        }
    }

    // Reads its first line.
    std::string FirstLine(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (text_.find('\n') == std::string::npos &&
               std::chrono::steady_clock::now() < deadline && !Read(50ms, text_.size() + 1)) {
        }
        return text_.substr(0, text_.find('\n') + 1);
    }

    const std::string& Text() const { return text_; }

private:
    FileDescriptor socket_;
    std::string text_;
};

class DncServiceMonitorTest : public test::DncServiceFixture {
protected:
    std::string SocketPath() const { return StatusSocketPath(folder_.Path() + "/"); }

    std::unique_ptr<test::ChildProcess> StartMonitor(const std::string& name) {
        return std::make_unique<test::ChildProcess>(
            FEEDRAIL_DNC_TOOL,
            std::vector<std::string>{"monitor", "M1", "--profiles", profiles_ + "/"},
            folder_.File(name));
    }
};

constexpr std::string_view Watching = "feedrail-dnc: watching M1 on COM1; Ctrl+C ends\n";

// Two monitors see every byte of a punch, in order and in the window's
// words; Ctrl+C ends one well, and a reload that changes the machine ends
// the other, saying why.
TEST_F(DncServiceMonitorTest, TwoMonitorsSeeEveryPunchedByteUntilCtrlCOrAReload) {
    WriteProfiles(1);
    const auto puncher = StartPuncher(1, Program("O6001", 2));
    StartService();
    ASSERT_TRUE(WaitFor([&] { return Listening(1); }, 10s)) << Journal();
    const auto first = StartMonitor("first.txt");
    const auto second = StartMonitor("second.txt");
    for (const auto* monitor : {first.get(), second.get()}) {
        ASSERT_TRUE(WaitFor([&] { return monitor->Output() == Watching; }, 5s))
            << monitor->Output();
    }

    puncher->Type("\n");
    const std::string words = "<DC2>%<LF>O6001<LF>N1 G1 X1 F200<LF>N2 G1 X2 F200<LF>M30<LF>%<DC4>";
    for (const auto* monitor : {first.get(), second.get()}) {
        EXPECT_TRUE(WaitFor([&] { return ReceivedWords(monitor->Output()) == words; }, 10s))
            << monitor->Output();
    }
    EXPECT_EQ(ReadFile(Received(1) + "/O6001.nc"), Program("O6001", 2));

    ::kill(first->Pid(), SIGINT);
    EXPECT_EQ(first->Wait(5s), 0) << first->Output();
    WriteProfiles(1, "Leader=1\n");
    ::kill(service_->Pid(), SIGHUP);
    EXPECT_EQ(second->Wait(5s), 2) << second->Output();
    EXPECT_TRUE(second->Output().ends_with(
        "\nfeedrail-dnc: the monitor ended: DNC.ini changed: M1 is no longer served as it was\n"))
        << second->Output();
}

// What the service may grow by while a monitor that reads nothing sits
// through a punch of 4.5 MB: filing it costs about 3 MiB.
constexpr long GrowthBoundKib = 16 * 1024;

// A monitor that stops reading through a punch of megabytes holds neither
// the machine nor the socket: the status answers, the program is filed
// whole, the service's memory stays within bounds, and what the monitor
// then reads is the newest bytes, the others counted as lost to the byte.
TEST_F(DncServiceMonitorTest, AMonitorThatStopsReadingLosesTheOldestBytesCountedAndHoldsNothing) {
    WriteProfiles(1);
    const test::PseudoTerminal line;
    std::filesystem::create_symlink(line.SlavePath(), Profile("com1"));
    StartService();
    ASSERT_TRUE(WaitFor([&] { return Listening(1); }, 10s)) << Journal();
    SocketClient stalled(SocketPath(), "monitor-hex M1\n");
    ASSERT_EQ(stalled.FirstLine(5s), "watching M1 on COM1\n");
    const long before = test::ResidentKib(service_->Pid());

    const std::string program = Program("O7001", 200000);
    std::thread machine([&] { line.Write(program); });
    long most = before;
    bool answered = false;
    const std::string filed = Received(1) + "/O7001.nc";
    const bool done = WaitFor(
        [&] {
            most = std::max(most, test::ResidentKib(service_->Pid()));
            const auto status = Status();
            answered = answered || (status.contains("M1") &&
                                    status.at("M1").find("\treceiving O7001") != std::string::npos);
            return std::filesystem::exists(filed);
        },
        120s);
    machine.join();
    ASSERT_TRUE(done) << Journal();
    EXPECT_EQ(ReadFile(filed), program);
    EXPECT_TRUE(answered) << "the status did not answer during the punch";
    if (test::MeasuresServiceMemory) {
        EXPECT_LT(most - before, GrowthBoundKib) << "KiB grown, for " << program.size() << " bytes";
    }

    stalled.ReadUntilQuiet(2s);
    std::istringstream output(stalled.Text());
    std::uint64_t shown = 0;
    std::uint64_t lost = 0;
    const std::regex dropped(
        "^\\.\\.\\. (\\d+) bytes not shown: the monitor fell behind the line$");
    for (std::string text; std::getline(output, text);) {
        std::smatch match;
        if (std::regex_match(text, match, TrafficLinePattern) && match[1] == "\u2190") {
            shown += (match[2].length() + 1) / 3;
        } else if (std::regex_match(text, match, dropped)) {
            lost += std::stoull(match[1]);
        }
    }
    EXPECT_GT(lost, 0u);
    EXPECT_LT(shown, 2u * 1024 * 1024);
    EXPECT_EQ(shown + lost, program.size());
}

// What the socket cannot serve is answered in one line and closed, a
// client that says nothing is answered the status as before there were
// requests, one that stalls in the middle of its request is let go after
// two seconds, and the seventeenth monitor is refused; meanwhile the status
// answers.
TEST_F(DncServiceMonitorTest, TheSocketAnswersWhatItCannotServeAndLetsStalledClientsGo) {
    WriteProfiles(1, "[Spare]\nCommPort=9\n");
    {
        const auto monitor = StartMonitor("none.txt");
        EXPECT_EQ(monitor->Wait(5s), 2);
        EXPECT_TRUE(monitor->Output().starts_with("feedrail-dnc: no service answers: "))
            << monitor->Output();
    }
    const auto puncher = StartPuncher(1, Program("O6002", 2));
    StartService();
    ASSERT_TRUE(WaitFor([&] { return Listening(1); }, 10s)) << Journal();

    const struct {
        std::string request;
        std::string answer;
    } cases[] = {
        {"monitor M9\n", "no machine M9 in DNC.ini\n"},
        {"monitor Spare\n", "Spare is not served: its Auto Receive and Remote Request are off\n"},
        {"monitor\n", "unknown request: the service answers \"status\" and \"monitor NAME\"\n"},
        {"monitor " + std::string(300, 'M'), "request too long\n"},
        {"", "M1\tCOM1\tlistening\nSpare\tCOM9\tdisabled\n"},
        {"status\r\n", "M1\tCOM1\tlistening\nSpare\tCOM9\tdisabled\n"},
    };
    for (const auto& c : cases) {
        SocketClient client(SocketPath(), c.request);
        EXPECT_TRUE(client.Read(5s)) << c.request << " was not closed";
        EXPECT_EQ(client.Text(), c.answer) << c.request;
    }

    std::vector<std::unique_ptr<SocketClient>> monitors;
    for (std::size_t count = 0; count < StatusSocket::MaxWatchers; ++count) {
        monitors.push_back(std::make_unique<SocketClient>(SocketPath(), "monitor M1\n"));
        ASSERT_EQ(monitors.back()->FirstLine(5s), "watching M1 on COM1\n") << count;
    }
    SocketClient refused(SocketPath(), "monitor M1\n");
    EXPECT_TRUE(refused.Read(5s));
    EXPECT_EQ(refused.Text(), "too many monitors: 16 watch already; try again later\n");
    SocketClient stalling(SocketPath(), "monitor M");
    EXPECT_TRUE(Listening(1));
    EXPECT_FALSE(stalling.Read(1s)) << "let go before its time";
    EXPECT_TRUE(stalling.Read(3s)) << "still held";
    EXPECT_EQ(stalling.Text(), "");

    monitors.pop_back();
    SocketClient again(SocketPath(), "monitor M1\n");
    EXPECT_TRUE(WaitFor([&] { return again.FirstLine(200ms) == "watching M1 on COM1\n"; }, 5s))
        << again.Text();
}

} // namespace
} // namespace feedrail
