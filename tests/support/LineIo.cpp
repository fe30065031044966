#include "support/LineIo.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

namespace feedrail::test {

void WriteToLine(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t count = ::write(fd, bytes.data(), bytes.size());
        if (count > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(count));
        } else if (errno == EAGAIN) {
            pollfd out{fd, POLLOUT, 0};
            ::poll(&out, 1, 100);
        } else if (errno != EINTR) {
            throw std::runtime_error("cannot write to the line");
        }
    }
}

std::string ReadFromLine(int fd, std::size_t count, std::chrono::milliseconds timeout) {
    std::string bytes;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (bytes.size() < count) {
        const auto left = std::max(std::chrono::duration_cast<std::chrono::milliseconds>(
                                       deadline - std::chrono::steady_clock::now()),
                                   std::chrono::milliseconds(0));
        pollfd in{fd, POLLIN, 0};
        const bool ready = ::poll(&in, 1, static_cast<int>(left.count())) > 0;
        char buffer[4096];
        const ssize_t got =
            ready ? ::read(fd, buffer, std::min(sizeof buffer, count - bytes.size())) : 0;
        if (got > 0) {
            bytes.append(buffer, static_cast<std::size_t>(got));
        } else if (left.count() == 0) {
            break;
        }
    }
    return bytes;
}

std::string ReadAllFromLine(int fd, std::chrono::milliseconds timeout) {
    return ReadFromLine(fd, static_cast<std::size_t>(-1) / 2, timeout);
}

} // namespace feedrail::test
