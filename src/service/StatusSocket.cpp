#include "service/StatusSocket.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <system_error>
#include <unistd.h>

namespace feedrail {
namespace {

sockaddr_un Address(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        throw std::system_error(ENAMETOOLONG, std::generic_category(), path);
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

FileDescriptor Connected(const std::string& path) {
    const sockaddr_un address = Address(path);
    FileDescriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.Valid() ||
        ::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return FileDescriptor();
    }
    return socket;
}

void WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t count = ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return;
        }
        text.remove_prefix(static_cast<std::size_t>(count));
    }
}

} // namespace

std::string StatusSocketPath(const std::string& profileFolder) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string folder =
        runtime != nullptr && runtime[0] == '/' ? std::string(runtime) + "/" : profileFolder;
    return folder + "feedrail-dnc.sock";
}

StatusSocket::StatusSocket(std::string path, std::function<std::string()> status)
    : path_(std::move(path)), status_(std::move(status)) {
    if (Connected(path_).Valid()) {
        throw std::runtime_error("another feedrail-dnc already answers on " + path_);
    }
    // What is left of a service that ended without removing it.
    ::unlink(path_.c_str());
    const sockaddr_un address = Address(path_);
    listener_.Reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!listener_.Valid() ||
        ::bind(listener_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_.Get(), 16) != 0) {
        throw std::system_error(errno, std::generic_category(),
                                "cannot make the status socket " + path_);
    }
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe");
    }
    wake_[0].Reset(ends[0]);
    wake_[1].Reset(ends[1]);
    thread_ = std::thread([this] { Serve(); });
}

StatusSocket::~StatusSocket() {
    const char stop = 0;
    if (::write(wake_[1].Get(), &stop, 1) < 0) {
        // The thread is woken by the pipe's closing below either way.
    }
    wake_[1].Reset();
    thread_.join();
    ::unlink(path_.c_str());
}

void StatusSocket::Serve() {
    for (;;) {
        pollfd watched[2] = {{listener_.Get(), POLLIN, 0}, {wake_[0].Get(), POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (watched[1].revents != 0) {
            return;
        }
        FileDescriptor client(::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (client.Valid()) {
            WriteAll(client.Get(), status_());
        }
    }
}

std::string AskStatus(const std::string& path) {
    FileDescriptor socket = Connected(path);
    if (!socket.Valid()) {
        throw std::system_error(errno, std::generic_category(), path);
    }
    std::string text;
    char block[4096];
    for (;;) {
        const ssize_t count = ::read(socket.Get(), block, sizeof block);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return text;
        }
        text.append(block, static_cast<std::size_t>(count));
    }
}

} // namespace feedrail
