#include "service/StatusSocket.h"

#include <algorithm>
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

constexpr std::string_view MonitorWord = "monitor ";
constexpr std::string_view HexMonitorWord = "monitor-hex ";

} // namespace

std::string StatusSocketPath(const std::string& profileFolder) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string folder =
        runtime != nullptr && runtime[0] == '/' ? std::string(runtime) + "/" : profileFolder;
    return folder + "feedrail-dnc.sock";
}

StatusSocket::StatusSocket(std::string path, ServiceAnswers answers)
    : path_(std::move(path)), answers_(std::move(answers)) {
    if (Connected(path_).Valid()) {
        throw std::runtime_error("another feedrail-dnc already answers on " + path_);
    }
    // What is left of a service that ended without removing it.
    ::unlink(path_.c_str());
    const sockaddr_un address = Address(path_);
    // Accepted until none waits, never waiting.
    listener_.Reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
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
        std::vector<pollfd> polled{
            {wake_[0].Get(), POLLIN, 0},
            {listener_.Get(), static_cast<short>(Count(false) < MaxWaiting ? POLLIN : 0), 0}};
        for (const ServiceClient& client : clients_) {
            polled.push_back({client.Fd(), client.Events(), 0});
        }
        const int timeout = PollTimeout(ServiceClient::Clock::now());
        if (::poll(polled.data(), polled.size(), timeout) < 0 && errno != EINTR) {
            return;
        }
        if (polled[0].revents != 0) {
            for (ServiceClient& client : clients_) {
                client.Farewell("the service stopped");
            }
            return;
        }
        Attend(polled);
        if ((polled[1].revents & POLLIN) != 0) {
            Accept();
        }
    }
}

// Every 100 ms while a monitor watches, so that its traffic flows; else
// when a client's time is up.
int StatusSocket::PollTimeout(ServiceClient::Clock::time_point now) const {
    auto due = ServiceClient::Clock::time_point::max();
    for (const ServiceClient& client : clients_) {
        due = std::min(due, client.Watching() ? now + WatchInterval : client.Due());
    }
    if (due == ServiceClient::Clock::time_point::max()) {
        return -1;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - now).count();
    return static_cast<int>(std::max<decltype(wait)>(wait, 0));
}

void StatusSocket::Attend(const std::vector<pollfd>& polled) {
    for (std::size_t at = 0; at < clients_.size(); ++at) {
        ServiceClient& client = clients_[at];
        const short events = polled[at + 2].revents;
        if ((events & POLLIN) != 0) {
            client.Readable();
        } else if ((events & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            client.Hungup();
        }
        if ((events & POLLOUT) != 0) {
            client.Writable();
        }
    }
    const auto now = ServiceClient::Clock::now();
    for (ServiceClient& client : clients_) {
        if (const std::optional<std::string> request = client.TakeRequest(now)) {
            Dispatch(client, *request, now);
        }
        client.Tick(now);
    }
    std::erase_if(clients_, [](const ServiceClient& client) { return client.Done(); });
}

// The others wait in the listener's backlog.
void StatusSocket::Accept() {
    const auto now = ServiceClient::Clock::now();
    while (Count(false) < MaxWaiting) {
        FileDescriptor client(
            ::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!client.Valid()) {
            return;
        }
        clients_.emplace_back(std::move(client), now);
    }
}

void StatusSocket::Dispatch(ServiceClient& client, const std::string& request,
                            ServiceClient::Clock::time_point now) {
    if (request == "status") {
        client.Answer(answers_.Status(), now);
        return;
    }
    const bool hex = request.starts_with(HexMonitorWord);
    if (!hex && !request.starts_with(MonitorWord)) {
        client.Answer("unknown request: the service answers \"status\" and \"monitor NAME\"\n",
                      now);
        return;
    }
    if (Count(true) >= MaxWatchers) {
        client.Answer("too many monitors: " + std::to_string(MaxWatchers) +
                          " watch already; try again later\n",
                      now);
        return;
    }
    const std::string machine = request.substr((hex ? HexMonitorWord : MonitorWord).size());
    LineWatch watch = answers_.Watch(machine);
    if (!watch.Queue) {
        client.Answer(watch.Refusal + "\n", now);
        return;
    }
    client.Watch(std::string(WatchingWord) + machine + " on " + watch.Port + "\n",
                 std::move(watch.Queue), hex ? TrafficView::Hex : TrafficView::Text);
}

std::size_t StatusSocket::Count(bool watching) const {
    return static_cast<std::size_t>(
        std::count_if(clients_.begin(), clients_.end(),
                      [&](const ServiceClient& client) { return client.Watching() == watching; }));
}

FileDescriptor ConnectToService(const std::string& path) {
    FileDescriptor socket = Connected(path);
    if (!socket.Valid()) {
        throw std::system_error(errno, std::generic_category(), path);
    }
    return socket;
}

std::string MonitorRequest(const std::string& machine, TrafficView view) {
    return std::string(view == TrafficView::Hex ? HexMonitorWord : MonitorWord) + machine + "\n";
}

std::string AskStatus(const std::string& path) {
    const FileDescriptor socket = ConnectToService(path);
    WriteAll(socket.Get(), "status\n");
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
