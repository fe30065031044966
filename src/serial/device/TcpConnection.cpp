#include "serial/device/TcpConnection.h"

#include "serial/device/HostLookup.h"

#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>

namespace feedrail {
namespace {

using Clock = std::chrono::steady_clock;

// ConnectOne's answer when the wait was abandoned.
constexpr int Abandoned = -1;

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

// Waits through `wait` until `fd` has `events` or `end` has come: false when
// the wait was abandoned.
bool WaitUntil(const ConnectWait& wait, int fd, short events, Clock::time_point end) {
    for (Clock::time_point now = Clock::now(); now < end; now = Clock::now()) {
        const std::optional<short> happened = wait(fd, events, end - now);
        if (!happened) {
            return false;
        }
        if (*happened != 0) {
            return true;
        }
    }
    return true;
}

// 0 when connected, the errno of the failure, or Abandoned.
int ConnectOne(const HostAddress& address, std::chrono::milliseconds limit, const ConnectWait& wait,
               FileDescriptor& fd) {
    fd = FileDescriptor(
        ::socket(address.family, address.type | SOCK_NONBLOCK | SOCK_CLOEXEC, address.protocol));
    if (!fd.Valid()) {
        return errno;
    }
    if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address.address), address.size) ==
        0) {
        return 0;
    }
    if (errno != EINPROGRESS) {
        return errno;
    }
    if (!WaitUntil(wait, fd.Get(), POLLOUT, Clock::now() + limit)) {
        return Abandoned;
    }
    pollfd connected{fd.Get(), POLLOUT, 0};
    if (::poll(&connected, 1, 0) == 0) {
        return ETIMEDOUT;
    }
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
        return errno;
    }
    return error;
}

// The addresses of `host`, waited for at most `limit`; none, and `failure`
// unless abandoned, when there are none.
std::vector<HostAddress> Resolve(const std::string& host, std::uint16_t port,
                                 std::chrono::milliseconds limit, const ConnectWait& wait,
                                 std::string& failure) {
    const std::string cannot = "cannot resolve host " + host + ": ";
    std::shared_ptr<HostLookup> lookup;
    try {
        lookup = HostLookup::Start(host, port);
    } catch (const std::system_error& error) {
        failure = cannot + error.code().message();
        return {};
    }
    if (!WaitUntil(wait, lookup->ReadyDescriptor(), POLLIN, Clock::now() + limit)) {
        return {};
    }
    if (!lookup->Done()) {
        failure = cannot + "no answer within " + DurationText(limit);
        return {};
    }
    std::vector<HostAddress> addresses = lookup->Addresses();
    if (addresses.empty()) {
        failure = cannot + lookup->Failure();
    }
    return addresses;
}

} // namespace

FileDescriptor ConnectTcp(const std::string& host, std::uint16_t port, const ConnectLimits& limits,
                          const ConnectWait& wait, std::string& failure) {
    const std::vector<HostAddress> addresses = Resolve(host, port, limits.resolve, wait, failure);
    if (addresses.empty()) {
        return FileDescriptor();
    }
    int error = EHOSTUNREACH;
    for (const HostAddress& address : addresses) {
        FileDescriptor fd;
        error = ConnectOne(address, limits.connect, wait, fd);
        if (error == 0) {
            LimitSilence(fd.Get());
            return fd;
        }
        if (error == Abandoned) {
            return FileDescriptor();
        }
    }
    failure = error == ETIMEDOUT
                  ? "no answer from " + host + " within " + DurationText(limits.connect)
                  : std::strerror(error);
    return FileDescriptor();
}

std::string DurationText(std::chrono::milliseconds duration) {
    if (duration.count() % 1000 == 0) {
        return std::to_string(duration.count() / 1000) + " s";
    }
    return std::to_string(duration.count()) + " ms";
}

} // namespace feedrail
