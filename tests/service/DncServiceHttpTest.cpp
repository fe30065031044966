#include "DncServiceHttpFixture.h"
#include "common/FileDescriptor.h"
#include "common/LocalTime.h"
#include "service/StatusSocket.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <regex>
#include <string>
#include <sys/socket.h>
#include <vector>

namespace feedrail {
namespace {

using namespace std::chrono_literals;
using test::Connect;
using test::Program;
using test::WaitFor;

// What the server says to `request` (sent as far as it takes it within 5 s),
// until it closes; empty when it closes without a word.
std::string Exchange(int port, const std::string& request) {
    const FileDescriptor socket = Connect(port);
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    for (std::size_t sent = 0; sent < request.size();) {
        pollfd polled{socket.Get(), POLLOUT, 0};
        if (::poll(&polled, 1, 100) < 0 || std::chrono::steady_clock::now() > deadline) {
            break;
        }
        const ssize_t count = ::send(socket.Get(), request.data() + sent,
                                     std::min<std::size_t>(request.size() - sent, 65536),
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
        if (count < 0 && errno != EAGAIN) {
            break;
        }
        sent += count > 0 ? static_cast<std::size_t>(count) : 0;
    }
    std::string answer;
    for (;;) {
        pollfd polled{socket.Get(), POLLIN, 0};
        char block[4096];
        if (::poll(&polled, 1, 5000) <= 0) {
            ADD_FAILURE() << "the server neither answered nor closed";
            return answer;
        }
        const ssize_t count = ::recv(socket.Get(), block, sizeof block, 0);
        if (count <= 0) {
            return answer;
        }
        answer.append(block, static_cast<std::size_t>(count));
    }
}

// The start of a TLS greeting, then text: what a browser sends to a plain
// HTTP port when told "https".
constexpr char TlsLikeGarbage[] = "\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03 garbage\r\n\r\n";

using DncServiceHttpTest = test::DncServiceHttpFixture;

TEST_F(DncServiceHttpTest, SaysWhatEachMachineDoes) {
    WriteProfiles(3, "[Mill \"<b>\"]\nCommPort=9\n[Lathe 2/B]\nCommPort=8\n");
    const std::string today = LocalTimeText(std::chrono::system_clock::now(), "%Y-%m-%d");
    test::WriteFile(
        Profile("feedrail-transfers.log"),
        "2000-01-01 07:00:00\tM1\tsend\t/nc/O0001.nc\t3 lines\t30 bytes\tcompleted\n" + today +
            " 07:00:00\tM1\tsend\t/nc/O1111.nc\t12 lines\t345 bytes\tcompleted\n" + today +
            " 07:01:00\tM3\treceive\t/r/O3333.nc\t2 lines\t20 bytes\tcancelled\n" + today +
            " 07:02:00\tLathe 2/B\tsend\t/nc/O2.nc\t1 lines\t9 bytes\tcompleted\n");
    const auto listener = StartMachine(1, {});
    const auto puncher = StartPuncher(2, Program("O4321", 400));
    StartServing(true);
    ASSERT_TRUE(WaitFor([&] { return Listening(2); }, 10s)) << Journal();
    puncher->Type("\n");
    ASSERT_TRUE(WaitFor(
        [&] { return MachineJson("M2").find("\"code\":\"receiving\"") != std::string::npos; }, 10s))
        << Get("/api/machines").second;

    const struct {
        std::string machine;
        std::vector<std::string> fields;
    } machines[] = {
        {"M1", {"\"port\":\"COM1\"", "\"code\":\"listening\"", "\"percent\":null"}},
        {"M2",
         {"\"code\":\"receiving\"", "\"program\":\"O4321\"", "\"state\":\"receiving O4321 ",
          "\"percent\":null"}},
        {"M3", {"\"code\":\"port-gone\"", "\"state\":\"port gone and retrying"}},
        {"Mill \\u0022\\u003cb\\u003e\\u0022", {"\"code\":\"disabled\""}},
    };
    for (const auto& machine : machines) {
        const std::string json = MachineJson(machine.machine);
        for (const std::string& field : machine.fields) {
            EXPECT_NE(json.find(field), std::string::npos) << machine.machine << ": " << json;
        }
    }
    EXPECT_EQ(MachineJson("M2").find("\"bytes\":0,"), std::string::npos) << MachineJson("M2");
    EXPECT_EQ(Get("/api/machines").second.find("<b>"), std::string::npos);

    const struct {
        std::string path;
        int status;
        std::string body;
    } pages[] = {
        {"/api/machines/M1/transfers", 200,
         "[{\"time\":\"07:00:00\",\"direction\":\"send\",\"file\":\"O1111.nc\",\"lines\":12,"
         "\"bytes\":345,\"result\":\"completed\"}]\n"},
        {"/api/machines/M2/transfers", 200, "[]\n"},
        {"/api/machines/M9/transfers", 404, "{\"error\":\"no machine M9\"}\n"},
        {"/machine/M9", 404, "{\"error\":\"no machine M9\"}\n"},
        {"/api/machines/Lathe%202%2FB/transfers", 200,
         "[{\"time\":\"07:02:00\",\"direction\":\"send\",\"file\":\"O2.nc\",\"lines\":1,"
         "\"bytes\":9,\"result\":\"completed\"}]\n"},
        {"/api/machines/Lathe%202/transfers", 404, "{\"error\":\"no machine Lathe 2\"}\n"},
        {"/api/nothing", 404, ""},
    };
    for (const auto& page : pages) {
        EXPECT_EQ(Get(page.path), std::pair(page.status, page.body)) << page.path;
    }
    for (const std::string path : {"/", "/machine/M1", "/machine/Lathe%202%2FB"}) {
        const auto [status, html] = Get(path);
        EXPECT_EQ(status, 200) << path;
        EXPECT_NE(html.find("<script>"), std::string::npos) << path;
        EXPECT_EQ(html.find("src="), std::string::npos) << path << ": loads from elsewhere";
    }
}

TEST_F(DncServiceHttpTest, NoClientHoldsTheServer) {
    WriteProfiles(1);
    const auto listener = StartMachine(1, {});
    StartServing();
    const long before = test::ResidentKib(service_->Pid());

    std::vector<FileDescriptor> idle;
    for (int connection = 0; connection < 100; ++connection) {
        idle.push_back(Connect(port_));
    }
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(Get("/api/machines").first, 200);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 1s);
    EXPECT_NE(AskStatus(StatusSocketPath(folder_.Path() + "/")).find("M1\t"), std::string::npos);

    const struct {
        std::string name;
        std::string request;
    } hostile[] = {
        {"a 10 MB body",
         "POST /api/machines HTTP/1.1\r\nHost: x\r\nContent-Length: 10485760\r\n\r\n" +
             std::string(10 * 1024 * 1024, 'x')},
        {"a 10 MB GET body",
         "GET /api/machines HTTP/1.1\r\nHost: x\r\nContent-Length: 10485760\r\n\r\n" +
             std::string(10 * 1024 * 1024, 'x')},
        {"endless headers", "GET / HTTP/1.1\r\n" +
                                [] {
                                    std::string headers;
                                    for (int header = 0; header < 100000; ++header) {
                                        headers += "X-" + std::to_string(header) + ": y\r\n";
                                    }
                                    return headers;
                                }()},
        {"garbage", std::string(TlsLikeGarbage, sizeof TlsLikeGarbage - 1)},
        {"a PUT", "PUT /api/machines HTTP/1.1\r\nHost: x\r\n\r\n"},
    };
    for (const auto& request : hostile) {
        const std::string answer = Exchange(port_, request.request);
        EXPECT_TRUE(answer.empty() || answer.starts_with("HTTP/1.1 4"))
            << request.name << ": " << answer.substr(0, 200);
        EXPECT_EQ(answer.find("\"name\""), std::string::npos) << request.name;
    }
    if (test::MeasuresServiceMemory) {
        EXPECT_LT(test::ResidentKib(service_->Pid()) - before, 4096);
    }
    EXPECT_EQ(Get("/api/machines").first, 200);
}

// A port taken by another listener, held while it lives.
struct TakenPort {
    TakenPort() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(Socket.Get(), reinterpret_cast<sockaddr*>(&address), length);
        ::listen(Socket.Get(), 1);
        ::getsockname(Socket.Get(), reinterpret_cast<sockaddr*>(&address), &length);
        Port = ntohs(address.sin_port);
    }
    FileDescriptor Socket{::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    int Port = 0;
};

TEST_F(DncServiceHttpTest, ServesThePagesWhereAskedOrSaysWhyNot) {
    WriteProfiles(1);
    const auto listener = StartMachine(1, {});
    const TakenPort taken;
    const std::string takenAddress = "127.0.0.1:" + std::to_string(taken.Port);
    const int free = test::FreePort();
    const struct {
        std::string name;
        std::string settings;
        std::vector<std::string> args;
        std::string journal;
        bool pages;
        bool machines;
    } cases[] = {
        {"a port in use",
         "",
         {"--http", takenAddress},
         "<3>the web pages are not served at http://" + takenAddress + "/: listening at " +
             takenAddress + ": Address already in use",
         false,
         true},
        {"the command line over the file",
         "Http=" + takenAddress + "\n",
         {"--http", std::to_string(free)},
         "web pages at http://127.0.0.1:" + std::to_string(free),
         true,
         true},
        {"off in the file", "Http=off\n", {}, "serving the machines", false, true},
        {"a setting it cannot read",
         "Http=eighty\n",
         {},
         "<3>" + Profile("feedrail-dnc.conf") + " line 1: Http is [ADDRESS:]PORT, not \"eighty\"",
         false,
         false},
    };
    port_ = free;
    for (const auto& row : cases) {
        test::WriteFile(Profile("feedrail-dnc.conf"), row.settings);
        StartService(row.args);
        EXPECT_TRUE(WaitFor([&] { return Journal().find(row.journal) != std::string::npos; }, 10s))
            << row.name << ": " << Journal();
        if (row.machines) {
            EXPECT_TRUE(WaitFor([&] { return Listening(1); }, 5s)) << row.name;
        } else {
            EXPECT_EQ(service_->Wait(5s), 2) << row.name;
        }
        EXPECT_EQ(Get("/api/machines").first, row.pages ? 200 : 0) << row.name;
        service_->Stop(10s);
        service_.reset();
    }
}

// A reload reads feedrail-dnc.conf again: the pages come, move and go as it
// says, and a line it cannot read leaves them where they are.
TEST_F(DncServiceHttpTest, AReloadServesThePagesWhereTheSettingsNowSay) {
    WriteProfiles(1);
    const auto listener = StartMachine(1, {});
    test::WriteFile(Profile("feedrail-dnc.conf"), "Http=off\n");
    StartService();
    ASSERT_TRUE(WaitFor([&] { return Listening(1); }, 10s)) << Journal();
    const std::string first = std::to_string(test::FreePort());
    const std::string second = std::to_string(test::FreePort());
    const struct {
        std::string settings;
        std::string journal;
        std::string serving;
        std::string notServing;
    } steps[] = {
        {"Http=127.0.0.1:" + first, "<5>web pages at http://127.0.0.1:" + first + "/", first, ""},
        {"Http=" + second, "<5>web pages at http://127.0.0.1:" + second + "/", second, first},
        {"Http=eighty",
         "<3>" + Profile("feedrail-dnc.conf") +
             " line 1: Http is [ADDRESS:]PORT, not \"eighty\"; the web pages stay as they were",
         second, ""},
        {"Http=off", "<5>the web pages are no longer served", "", second},
    };
    for (const auto& step : steps) {
        test::WriteFile(Profile("feedrail-dnc.conf"), step.settings + "\n");
        ::kill(service_->Pid(), SIGHUP);
        EXPECT_TRUE(WaitFor([&] { return Journal().find(step.journal) != std::string::npos; }, 10s))
            << step.settings << Journal();
        for (const auto& [port, status] : {std::pair{step.serving, 200}, {step.notServing, 0}}) {
            if (!port.empty()) {
                port_ = std::stoi(port);
                EXPECT_EQ(Get("/api/machines").first, status) << step.settings << " " << port;
            }
        }
    }
    EXPECT_TRUE(Listening(1));
}

TEST_F(DncServiceHttpTest, WatchesALineOnlyForPagesThatLook) {
    WriteProfiles(1, "[Mill <4>]\nCommPort=9\n");
    const auto puncher = StartPuncher(1, Program("O1234", 400));
    StartServing();
    ASSERT_TRUE(WaitFor([&] { return Listening(1); }, 10s)) << Journal();

    auto [status, json] = Get("/api/machines/M1/line");
    ASSERT_EQ(status, 200) << json;
    EXPECT_NE(json.find("\"text\":\"watching M1 on COM1\""), std::string::npos) << json;
    const auto start = json.find("\"watch\":\"") + 9;
    const std::string watch = json.substr(start, json.find('"', start) - start);
    puncher->Type("\n");
    // The received bytes in words, a piece at a time, however the pieces fell,
    // without the XONs the simulated control sends as it punches.
    const std::regex received("\"way\":\"received\",\"text\":\"[^\"]*\u2190 ([^\"]*)\"");
    std::string answers;
    std::string words;
    EXPECT_TRUE(WaitFor(
        [&] {
            const std::string answer = Get("/api/machines/M1/line?watch=" + watch).second;
            answers += answer;
            for (std::sregex_iterator it(answer.begin(), answer.end(), received), end; it != end;
                 ++it) {
                words += (*it)[1];
            }
            words = std::regex_replace(words, std::regex("\\\\u003cXON\\\\u003e"), "");
            return words.find("N2 G1 X2 F200\\u003cLF\\u003eN3 ") != std::string::npos;
        },
        10s))
        << answers;
    EXPECT_NE(words.find("\\u003cDC2\\u003e%\\u003cLF\\u003eO1234"), std::string::npos) << words;
    EXPECT_EQ(answers.find("<"), std::string::npos) << "line bytes unescaped: " << answers;

    const struct {
        std::string path;
        int status;
        std::string said;
    } polls[] = {
        {"/api/machines/M1/line", 200, "\"ended\":null"},
        {"/api/machines/M1/line", 200, "\"ended\":null"},
        {"/api/machines/M1/line", 200, "\"ended\":null"},
        {"/api/machines/M1/line", 503, "4 pages already watch M1's line"},
        {"/api/machines/M9/line", 404, "no machine M9"},
        {"/api/machines/Mill%20%3C4%3E/line", 200,
         "\"ended\":\"Mill \\u003c4\\u003e is not served: its Auto Receive and Remote Request "
         "are off\""},
    };
    for (const auto& poll : polls) {
        const auto [polled, answer] = Get(poll.path);
        EXPECT_EQ(polled, poll.status) << poll.path << ": " << answer;
        EXPECT_NE(answer.find(poll.said), std::string::npos) << poll.path << ": " << answer;
    }
}

} // namespace
} // namespace feedrail
