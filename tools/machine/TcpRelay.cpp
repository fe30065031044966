#include "machine/TcpRelay.h"

#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace feedrail::machine {
namespace {

std::runtime_error Failure(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

// Loopback only: the control takes whatever arrives and writes it into its
// --out folder, which is nothing to offer the network around a test.
FileDescriptor ListenOnLoopback(int port) {
    FileDescriptor listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const int on = 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    // Another run just before may have left its connection in TIME_WAIT.
    if (!listener.Valid() ||
        ::setsockopt(listener.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        ::bind(listener.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener.Get(), 1) != 0) {
        throw Failure("cannot listen on tcp:" + std::to_string(port));
    }
    return listener;
}

int BoundPort(int fd) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

} // namespace

TcpRelay::TcpRelay(int port)
    : listener_(ListenOnLoopback(port)), stop_(::eventfd(0, EFD_CLOEXEC)),
      port_(BoundPort(listener_.Get())) {
    std::array<int, 2> ends{};
    if (!stop_.Valid() || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends.data()) != 0) {
        throw Failure("cannot make the line");
    }
    controlEnd_.Reset(ends[0]);
    relayEnd_.Reset(ends[1]);
    ::fcntl(controlEnd_.Get(), F_SETFL, O_NONBLOCK);
    thread_ = std::thread([this] { Run(); });
}

TcpRelay::~TcpRelay() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(stop_.Get(), &one, sizeof one);
    thread_.join();
}

void TcpRelay::Run() {
    while (true) {
        const int waiting = client_.Valid() ? client_.Get() : listener_.Get();
        std::array<pollfd, 3> fds{
            {{stop_.Get(), POLLIN, 0}, {waiting, POLLIN, 0}, {relayEnd_.Get(), POLLIN, 0}}};
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) {
            return;
        }
        if (fds[0].revents != 0) {
            return;
        }
        if (fds[1].revents != 0 && !client_.Valid()) {
            TakeClient();
        } else if (fds[1].revents != 0 && !Pass(client_.Get(), relayEnd_.Get())) {
            client_.Reset();
        }
        if (fds[2].revents != 0 && !Pass(relayEnd_.Get(), client_.Get())) {
            client_.Reset();
        }
    }
}

void TcpRelay::TakeClient() {
    client_.Reset(::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC));
    // A control answers with single XON and XOFF characters, which must not
    // wait for the acknowledgement of what went before.
    const int on = 1;
    ::setsockopt(client_.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

bool TcpRelay::Pass(int from, int to) {
    std::array<char, 4096> buffer{};
    const ssize_t count = ::read(from, buffer.data(), buffer.size());
    if (count <= 0) {
        return from != client_.Get();
    }
    if (to < 0) {
        return true;
    }
    for (ssize_t sent = 0; sent < count;) {
        const ssize_t part =
            ::send(to, buffer.data() + sent, static_cast<std::size_t>(count - sent), MSG_NOSIGNAL);
        if (part <= 0) {
            return to != client_.Get();
        }
        sent += part;
    }
    return true;
}

} // namespace feedrail::machine
