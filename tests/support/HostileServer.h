#pragma once

#include "common/FileDescriptor.h"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace feedrail::test {

// A listening socket on a free loopback port; `port` is set to its number.
FileDescriptor ListenOnLoopback(int& port);

// A device server written to break the protocol: once a client connects it
// sends `first`, then `repeated` over and over, as fast as the connection
// takes it or once every `pace`, and reads nothing until Received.
class HostileServer {
public:
    HostileServer(std::string first, std::string repeated,
                  std::chrono::milliseconds pace = std::chrono::milliseconds(0));
    HostileServer(const HostileServer&) = delete;
    HostileServer& operator=(const HostileServer&) = delete;
    ~HostileServer() { Stop(); }

    std::string Address(const std::string& scheme) const {
        return scheme + "://127.0.0.1:" + std::to_string(port_);
    }

    // Stops sending, and reads what the client sent until it has closed
    // (or for 300 ms).
    std::string Received();

private:
    void Stop();
    void Serve(const std::string& first, const std::string& repeated,
               std::chrono::milliseconds pace);

    FileDescriptor listener_;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    // The server's end, once its thread has stopped.
    FileDescriptor connection_;
};

} // namespace feedrail::test
