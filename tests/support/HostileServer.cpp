#include "support/HostileServer.h"

#include "support/LineIo.h"

#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <string_view>
#include <sys/socket.h>

namespace feedrail::test {

using namespace std::chrono_literals;

FileDescriptor ListenOnLoopback(int& port) {
    FileDescriptor listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener.Get(), 1) != 0) {
        return FileDescriptor();
    }
    socklen_t size = sizeof address;
    ::getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    return listener;
}

HostileServer::HostileServer(std::string first, std::string repeated,
                             std::chrono::milliseconds pace) {
    listener_ = ListenOnLoopback(port_);
    thread_ = std::thread([this, first = std::move(first), repeated = std::move(repeated), pace] {
        Serve(first, repeated, pace);
    });
}

std::string HostileServer::Received() {
    Stop();
    return connection_.Valid() ? ReadAllFromLine(connection_.Get(), 300ms) : "";
}

void HostileServer::Stop() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
}

void HostileServer::Serve(const std::string& first, const std::string& repeated,
                          std::chrono::milliseconds pace) {
    pollfd waiting{listener_.Get(), POLLIN, 0};
    while (!stop_ && ::poll(&waiting, 1, 10) == 0) {
    }
    if (stop_) {
        return;
    }
    FileDescriptor connection(
        ::accept4(listener_.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    // Whole repetitions only, so that every block continues the last.
    std::string block = repeated;
    while (pace.count() == 0 && block.size() < 8192) {
        block += repeated;
    }
    std::string_view unsent = first;
    while (!stop_) {
        if (unsent.empty()) {
            std::this_thread::sleep_for(pace);
            unsent = block;
        }
        const ssize_t sent =
            ::send(connection.Get(), unsent.data(), unsent.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent < 0 && errno != EAGAIN) {
            break; // the client has gone
        }
        if (sent < 0) {
            pollfd room{connection.Get(), POLLOUT, 0};
            ::poll(&room, 1, 10);
            continue;
        }
        unsent.remove_prefix(static_cast<std::size_t>(sent));
    }
    connection_ = std::move(connection);
}

} // namespace feedrail::test
