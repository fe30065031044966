#include "serial/device/TcpConnection.h"

#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <utility>

namespace feedrail {
namespace {

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

} // namespace

TcpConnection::TcpConnection(std::string host, std::uint16_t port, const ConnectLimits& limits)
    : host_(std::move(host)), port_(port), limits_(limits) {}

void TcpConnection::Step(Clock::time_point now) {
    retiredLookup_.reset();
    retiredSocket_.Reset();
    if (state_ == State::Looking) {
        Look(now);
    }
    if (state_ == State::Connecting) {
        Connect(now);
    }
}

int TcpConnection::Descriptor() const {
    if (state_ == State::Looking && lookup_) {
        return lookup_->ReadyDescriptor();
    }
    return state_ == State::Connecting ? socket_.Get() : -1;
}

TcpConnection::Clock::time_point TcpConnection::Due() const {
    return state_ == State::Looking || state_ == State::Connecting ? end_
                                                                   : Clock::time_point::max();
}

FileDescriptor TcpConnection::TakeSocket() {
    return state_ == State::Connected ? std::move(socket_) : FileDescriptor();
}

void TcpConnection::Look(Clock::time_point now) {
    const std::string cannot = "cannot resolve host " + host_ + ": ";
    if (!lookup_) {
        try {
            lookup_ = HostLookup::Start(host_, port_);
        } catch (const std::system_error& error) {
            Fail(cannot + error.code().message());
            return;
        }
        end_ = now + limits_.resolve;
    }
    if (!lookup_->Done()) {
        if (now >= end_) {
            Fail(cannot + "no answer within " + DurationText(limits_.resolve));
        }
        return;
    }
    addresses_ = lookup_->Addresses();
    if (addresses_.empty()) {
        Fail(cannot + lookup_->Failure());
        return;
    }
    // Its thread may still hold it: the descriptor stays open until both let go.
    retiredLookup_ = std::move(lookup_);
    state_ = State::Connecting;
    StartNext(now);
}

void TcpConnection::Connect(Clock::time_point now) {
    while (state_ == State::Connecting) {
        const int error = Outcome(now);
        if (error == EINPROGRESS) {
            return;
        }
        if (error == 0) {
            LimitSilence(socket_.Get());
            state_ = State::Connected;
            return;
        }
        lastError_ = error;
        RetireSocket();
        StartNext(now);
    }
}

void TcpConnection::StartNext(Clock::time_point now) {
    for (; next_ < addresses_.size(); ++next_) {
        const HostAddress& address = addresses_[next_];
        FileDescriptor fd(::socket(address.family, address.type | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                   address.protocol));
        if (fd.Valid() && (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address.address),
                                     address.size) == 0 ||
                           errno == EINPROGRESS)) {
            socket_ = std::move(fd);
            end_ = now + limits_.connect;
            ++next_;
            return;
        }
        lastError_ = errno;
    }
    Fail(lastError_ == ETIMEDOUT
             ? "no answer from " + host_ + " within " + DurationText(limits_.connect)
             : std::strerror(lastError_));
}

int TcpConnection::Outcome(Clock::time_point now) const {
    pollfd connected{socket_.Get(), POLLOUT, 0};
    if (::poll(&connected, 1, 0) == 0) {
        return now >= end_ ? ETIMEDOUT : EINPROGRESS;
    }
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(socket_.Get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
        return errno;
    }
    return error;
}

// Only the first replaced in a step was given to watch; the others were never seen.
void TcpConnection::RetireSocket() {
    if (!retiredSocket_.Valid()) {
        retiredSocket_ = std::move(socket_);
    }
    socket_.Reset();
}

void TcpConnection::Fail(std::string failure) {
    state_ = State::Failed;
    failure_ = std::move(failure);
}

std::string DurationText(std::chrono::milliseconds duration) {
    if (duration.count() % 1000 == 0) {
        return std::to_string(duration.count() / 1000) + " s";
    }
    return std::to_string(duration.count()) + " ms";
}

} // namespace feedrail
