#include "machine/MachineLine.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/sockios.h>
#include <stdexcept>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace feedrail::machine {
namespace {

std::runtime_error Failure(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

void MakeRaw(int fd) {
    termios tty{};
    if (::tcgetattr(fd, &tty) == 0) {
        ::cfmakeraw(&tty);
        tty.c_cflag |= CLOCAL | CREAD;
        ::tcsetattr(fd, TCSANOW, &tty);
    }
}

} // namespace

MachineLine MachineLine::CreateLinked(const std::string& linkPath) {
    struct stat existing {};
    if (::lstat(linkPath.c_str(), &existing) == 0) {
        if (!S_ISLNK(existing.st_mode)) {
            throw std::runtime_error(linkPath + " exists and is not a link");
        }
        ::unlink(linkPath.c_str());
    }
    MachineLine line;
    line.fd_.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!line.fd_.Valid() || ::grantpt(line.fd_.Get()) != 0 || ::unlockpt(line.fd_.Get()) != 0) {
        throw Failure("cannot create a pseudo-terminal");
    }
    line.peerPath_ = ::ptsname(line.fd_.Get());
    line.slave_.Reset(::open(line.peerPath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!line.slave_.Valid()) {
        throw Failure("cannot open " + line.peerPath_);
    }
    MakeRaw(line.slave_.Get());
    if (::symlink(line.peerPath_.c_str(), linkPath.c_str()) != 0) {
        throw Failure("cannot link " + linkPath);
    }
    line.linkPath_ = linkPath;
    return line;
}

MachineLine MachineLine::OpenDevice(const std::string& path) {
    MachineLine line;
    line.fd_.Reset(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!line.fd_.Valid()) {
        throw Failure("cannot open " + path);
    }
    MakeRaw(line.fd_.Get());
    line.peerPath_ = path;
    return line;
}

MachineLine MachineLine::ListenTcp(int port) {
    MachineLine line;
    line.relay_ = std::make_unique<TcpRelay>(port);
    line.fd_ = line.relay_->TakeLineEnd();
    line.peerPath_ = "tcp://127.0.0.1:" + std::to_string(line.relay_->Port());
    return line;
}

std::size_t MachineLine::Unread() const {
    // What waits in the slave side's input, or on its way to the relay.
    const int fd = slave_.Valid() ? slave_.Get() : relay_ ? fd_.Get() : -1;
    const unsigned long request = slave_.Valid() ? FIONREAD : SIOCOUTQ;
    int count = 0;
    if (fd < 0 || ::ioctl(fd, request, &count) != 0) {
        return 0;
    }
    return static_cast<std::size_t>(count);
}

MachineLine::MachineLine(MachineLine&& other) noexcept
    : fd_(std::move(other.fd_)), slave_(std::move(other.slave_)),
      peerPath_(std::move(other.peerPath_)), linkPath_(std::exchange(other.linkPath_, {})),
      relay_(std::move(other.relay_)) {}

MachineLine::~MachineLine() {
    if (!linkPath_.empty()) {
        ::unlink(linkPath_.c_str());
    }
}

} // namespace feedrail::machine
