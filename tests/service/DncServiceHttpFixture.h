#pragma once

#include "DncServiceFixture.h"
#include "common/FileDescriptor.h"

#include <arpa/inet.h>
#include <chrono>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <utility>

namespace feedrail::test {

// A port nobody listens on now.
inline int FreePort() {
    const FileDescriptor socket(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(socket.Get(), reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(socket.Get(), reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

inline FileDescriptor Connect(int port) {
    FileDescriptor socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    EXPECT_EQ(::connect(socket.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return socket;
}

// feedrail-dnc serving its web pages, and a client of them.
class DncServiceHttpFixture : public DncServiceFixture {
protected:
    // On a free port: given by --http, or by feedrail-dnc.conf.
    void StartServing(bool bySettings = false) {
        port_ = FreePort();
        if (bySettings) {
            WriteFile(Profile("feedrail-dnc.conf"),
                      "# the shop floor's pages\nHttp=127.0.0.1:" + std::to_string(port_) + "\n");
            StartService();
        } else {
            StartService({"--http", std::to_string(port_)});
        }
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

} // namespace feedrail::test
