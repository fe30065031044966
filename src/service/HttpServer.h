#pragma once

#include "common/BlockingQueue.h"
#include "common/FileDescriptor.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <httplib.h>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace feedrail {

// Where to listen: "8080" is 127.0.0.1:8080, "0.0.0.0:8080" and
// "[::1]:8080" name the address; empty for text that is neither.
struct HttpAddress {
    std::string Host;
    int Port = 0;

    bool operator==(const HttpAddress&) const = default;
};
std::optional<HttpAddress> ParseHttpAddress(const std::string& text);

// An HTTP server of GET requests that no client can hold: one thread waits
// for every connection's first bytes at once, and only a connection that
// has sent some goes to one of the few workers, which answers its one
// request within RequestTime, reading at most MaxRequest bytes, and closes
// it. Connections beyond MaxWaiting push out the oldest waiting.
class HttpServer : httplib::Server {
public:
    // `route` adds the handlers. Raises std::system_error when it cannot
    // listen at `address` or start its threads.
    HttpServer(const HttpAddress& address, const std::function<void(httplib::Server&)>& route);
    ~HttpServer() override;
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // The port listened on (the one asked for, or the one given for 0).
    int Port() const { return port_; }

    static constexpr std::size_t Workers = 4;
    static constexpr std::size_t MaxWaiting = 64;
    static constexpr std::size_t MaxReady = 16;
    static constexpr std::size_t MaxRequest = 64 * 1024;
    static constexpr std::chrono::seconds FirstBytesWait{2};
    static constexpr std::chrono::seconds RequestTime{3};
    // How long the listener rests when no descriptor is left for a new
    // connection: it stays readable, and would otherwise be polled in a spin.
    static constexpr std::chrono::milliseconds AcceptRest{100};

private:
    struct Waiting {
        FileDescriptor Socket;
        std::chrono::steady_clock::time_point Until;
    };

    using Clock = std::chrono::steady_clock;

    void Listen(const HttpAddress& address);
    void StartThreads();
    void StopThreads();
    void Gate();
    // Until when the listener rests; now when it need not.
    Clock::time_point Accept(std::vector<Waiting>& waiting);
    void HandOver(FileDescriptor socket);
    void Work();
    void Answer(int socket);

    FileDescriptor listener_;
    FileDescriptor wake_[2];
    int port_ = 0;
    BlockingQueue<FileDescriptor> ready_{MaxReady};
    std::thread gate_;
    std::vector<std::thread> workers_;
};

} // namespace feedrail
