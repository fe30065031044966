#include "DncServiceFixture.h"
#include "common/FileDescriptor.h"
#include "common/LocalTime.h"
#include "service/StatusSocket.h"

#include <arpa/inet.h>
#include <chrono>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <vector>

namespace feedrail {
namespace {

using namespace std::chrono_literals;
using test::Program;
using test::WaitFor;

// A port nobody listens on now.
int FreePort() {
    const FileDescriptor socket(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(socket.Get(), reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(socket.Get(), reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

FileDescriptor Connect(int port) {
    FileDescriptor socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    EXPECT_EQ(::connect(socket.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return socket;
}

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

class DncServiceHttpTest : public test::DncServiceFixture {
protected:
    void StartServing() {
        port_ = FreePort();
        StartService({"--http", std::to_string(port_)});
        ASSERT_TRUE(WaitFor([&] { return Get("/api/machines").first == 200; }, 10s)) << Journal();
    }

    std::pair<int, std::string> Get(const std::string& path) const {
        httplib::Client client("127.0.0.1", port_);
        client.set_connection_timeout(2);
        client.set_read_timeout(2);
        const auto result = client.Get(path.c_str());
        return result ? std::pair{result->status, result->body} : std::pair{0, std::string()};
    }

    // The machine's object of /api/machines: one a line.
    std::string MachineJson(const std::string& machine) const {
        std::istringstream lines(Get("/api/machines").second);
        for (std::string line; std::getline(lines, line);) {
            if (line.find("{\"name\":\"" + machine + "\"") != std::string::npos) {
                return line;
            }
        }
        return {};
    }

    int port_ = 0;
};

TEST_F(DncServiceHttpTest, SaysWhatEachMachineDoes) {
    WriteProfiles(3, "[Mill \"<b>\"]\nCommPort=9\n");
    const std::string today = LocalTimeText(std::chrono::system_clock::now(), "%Y-%m-%d");
    test::WriteFile(
        Profile("feedrail-transfers.log"),
        "2000-01-01 07:00:00\tM1\tsend\t/nc/O0001.nc\t3 lines\t30 bytes\tcompleted\n" + today +
            " 07:00:00\tM1\tsend\t/nc/O1111.nc\t12 lines\t345 bytes\tcompleted\n" + today +
            " 07:01:00\tM3\treceive\t/r/O3333.nc\t2 lines\t20 bytes\tcancelled\n");
    const auto listener = StartMachine(1, {});
    const auto puncher = StartPuncher(2, Program("O4321", 400));
    StartServing();
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
        {"M2", {"\"code\":\"receiving\"", "\"program\":\"O4321\"", "\"state\":\"receiving O4321 "}},
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
        {"/api/nothing", 404, ""},
    };
    for (const auto& page : pages) {
        EXPECT_EQ(Get(page.path), std::pair(page.status, page.body)) << page.path;
    }
    for (const std::string path : {"/", "/machine/M1"}) {
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

} // namespace
} // namespace feedrail
