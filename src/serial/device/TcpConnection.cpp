#include "serial/device/TcpConnection.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

namespace feedrail {
namespace {

struct AddressListDeleter {
    void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};

void SetOption(int fd, int level, int name, int value) {
    ::setsockopt(fd, level, name, &value, sizeof value);
}

// A device server that loses power sends nothing, not even a reset: only
// these limits tell that it has gone.
void LimitSilence(int fd) {
    constexpr int limitMs = static_cast<int>(SilenceLimit.count() * 1000);
    constexpr int probeInterval = 5;
    constexpr int probes = 4;
    SetOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
    SetOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, limitMs);
    SetOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
    SetOption(fd, IPPROTO_TCP, TCP_KEEPIDLE,
              static_cast<int>(SilenceLimit.count()) - probeInterval * probes);
    SetOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, probeInterval);
    SetOption(fd, IPPROTO_TCP, TCP_KEEPCNT, probes);
}

// 0 when connected, the errno of the failure otherwise.
int ConnectOne(const addrinfo& address, std::chrono::milliseconds timeout, FileDescriptor& fd) {
    fd = FileDescriptor(::socket(address.ai_family,
                                 address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                 address.ai_protocol));
    if (!fd.Valid()) {
        return errno;
    }
    if (::connect(fd.Get(), address.ai_addr, address.ai_addrlen) == 0) {
        return 0;
    }
    if (errno != EINPROGRESS) {
        return errno;
    }
    pollfd wait{fd.Get(), POLLOUT, 0};
    const int ready = ::poll(&wait, 1, static_cast<int>(timeout.count()));
    if (ready == 0) {
        return ETIMEDOUT;
    }
    if (ready < 0) {
        return errno;
    }
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
        return errno;
    }
    return error;
}

} // namespace

FileDescriptor ConnectTcp(const std::string& host, std::uint16_t port,
                          std::chrono::milliseconds timeout, std::string& failure) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int error =
            ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found)) {
        failure = error == EAI_SYSTEM ? std::strerror(errno) : ::gai_strerror(error);
        return FileDescriptor();
    }
    const std::unique_ptr<addrinfo, AddressListDeleter> list(found);
    int error = EHOSTUNREACH;
    for (const addrinfo* address = list.get(); address != nullptr; address = address->ai_next) {
        FileDescriptor fd;
        error = ConnectOne(*address, timeout, fd);
        if (error == 0) {
            LimitSilence(fd.Get());
            return fd;
        }
    }
    failure = std::strerror(error);
    return FileDescriptor();
}

} // namespace feedrail
