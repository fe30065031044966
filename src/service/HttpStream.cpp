#include "service/HttpStream.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace feedrail {

namespace {

void AddressOf(const sockaddr_storage& address, std::string& ip, int& port) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        ::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        port = ntohs(v4.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        ::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        port = ntohs(v6.sin6_port);
    }
    ip = text;
}

} // namespace

bool HttpStream::Wait(short events) const {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd polled{socket_, events, 0};
        const int ready = ::poll(&polled, 1, static_cast<int>(left.count()));
        if (ready > 0) {
            return true;
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
}

bool HttpStream::is_readable() const {
    return begin_ < end_ || Wait(POLLIN);
}

bool HttpStream::is_writable() const {
    return Wait(POLLOUT);
}

ssize_t HttpStream::read(char* ptr, std::size_t size) {
    if (begin_ == end_) {
        if (budget_ == 0 || !Wait(POLLIN)) {
            return -1;
        }
        const ssize_t got = ::recv(socket_, buffer_.data(), std::min(buffer_.size(), budget_), 0);
        if (got <= 0) {
            return got;
        }
        budget_ -= static_cast<std::size_t>(got);
        begin_ = 0;
        end_ = static_cast<std::size_t>(got);
    }
    const std::size_t taken = std::min(size, end_ - begin_);
    std::memcpy(ptr, buffer_.data() + begin_, taken);
    begin_ += taken;
    return static_cast<ssize_t>(taken);
}

ssize_t HttpStream::write(const char* ptr, std::size_t size) {
    if (!Wait(POLLOUT)) {
        return -1;
    }
    return ::send(socket_, ptr, size, MSG_NOSIGNAL);
}

void HttpStream::get_remote_ip_and_port(std::string& ip, int& port) const {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getpeername(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        AddressOf(address, ip, port);
    }
}

void HttpStream::get_local_ip_and_port(std::string& ip, int& port) const {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        AddressOf(address, ip, port);
    }
}

} // namespace feedrail
