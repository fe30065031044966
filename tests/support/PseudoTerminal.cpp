#include "support/PseudoTerminal.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace feedrail::test {

PseudoTerminal::PseudoTerminal()
    : master_(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
    if (!master_.Valid() || ::grantpt(master_.Get()) != 0 || ::unlockpt(master_.Get()) != 0) {
        throw std::runtime_error("cannot create a pseudo-terminal");
    }
    slavePath_ = ::ptsname(master_.Get());
    slave_.Reset(::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!slave_.Valid()) {
        throw std::runtime_error("cannot open " + slavePath_);
    }
    // Until the port sets its own, the slave would echo what the test sends.
    termios tty{};
    ::tcgetattr(slave_.Get(), &tty);
    ::cfmakeraw(&tty);
    ::tcsetattr(slave_.Get(), TCSANOW, &tty);
}

void PseudoTerminal::Write(std::string_view bytes) const {
    while (!bytes.empty()) {
        const ssize_t count = ::write(master_.Get(), bytes.data(), bytes.size());
        if (count > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(count));
        } else if (errno == EAGAIN) {
            pollfd fd{master_.Get(), POLLOUT, 0};
            ::poll(&fd, 1, 100);
        } else if (errno != EINTR) {
            throw std::runtime_error("cannot write to the pseudo-terminal");
        }
    }
}

std::string PseudoTerminal::Read(std::size_t count, std::chrono::milliseconds timeout) const {
    std::string bytes;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (bytes.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd fd{master_.Get(), POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t got =
            ::read(master_.Get(), buffer, std::min(sizeof buffer, count - bytes.size()));
        if (got > 0) {
            bytes.append(buffer, static_cast<std::size_t>(got));
        }
    }
    return bytes;
}

std::string PseudoTerminal::ReadAll(std::chrono::milliseconds timeout) const {
    return Read(static_cast<std::size_t>(-1) / 2, timeout);
}

} // namespace feedrail::test
