#include "service/HttpServer.h"

#include "service/HttpStream.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <memory>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>

namespace feedrail {

namespace {

std::system_error SystemError(const std::string& what) {
    return std::system_error(errno, std::generic_category(), what);
}

} // namespace

std::optional<HttpAddress> ParseHttpAddress(const std::string& text) {
    HttpAddress address{"127.0.0.1", 0};
    std::string port = text;
    if (const auto colon = text.rfind(':'); colon != std::string::npos) {
        address.Host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (address.Host.size() >= 2 && address.Host.front() == '[' && address.Host.back() == ']') {
            address.Host = address.Host.substr(1, address.Host.size() - 2);
        }
    }
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), address.Port);
    if (address.Host.empty() || port.empty() || error != std::errc{} ||
        end != port.data() + port.size() || address.Port < 0 || address.Port > 65535) {
        return std::nullopt;
    }
    return address;
}

HttpServer::HttpServer(const HttpAddress& address,
                       const std::function<void(httplib::Server&)>& route) {
    set_payload_max_length(MaxRequest);
    set_pre_routing_handler([](const httplib::Request& request, httplib::Response& response) {
        if (request.method != "GET" && request.method != "HEAD") {
            response.status = 405;
            response.set_header("Allow", "GET, HEAD");
            return HandlerResponse::Handled;
        }
        // A question has no body: one sent is refused, not left unread.
        const std::string length = request.get_header_value("Content-Length");
        if (request.has_header("Transfer-Encoding") || (!length.empty() && length != "0")) {
            response.status = 413;
            return HandlerResponse::Handled;
        }
        return HandlerResponse::Unhandled;
    });
    set_exception_handler([](const httplib::Request&, httplib::Response& response,
                             std::exception_ptr) { response.status = 500; });
    route(*this);
    Listen(address);
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        throw SystemError("pipe");
    }
    wake_[0].Reset(ends[0]);
    wake_[1].Reset(ends[1]);
    StartThreads();
}

HttpServer::~HttpServer() {
    StopThreads();
}

// A thread the system refuses ends those already started, rather than
// leaving them running (and the process ended) as the object goes.
void HttpServer::StartThreads() {
    try {
        gate_ = std::thread([this] { Gate(); });
        for (std::size_t worker = 0; worker < Workers; ++worker) {
            workers_.emplace_back([this] { Work(); });
        }
    } catch (const std::system_error&) {
        StopThreads();
        throw;
    }
}

void HttpServer::StopThreads() {
    ready_.Close();
    wake_[1].Reset();
    if (gate_.joinable()) {
        gate_.join();
    }
    for (std::thread& worker : workers_) {
        worker.join();
    }
    workers_.clear();
}

void HttpServer::Listen(const HttpAddress& address) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(address.Port);
    if (const int error = ::getaddrinfo(address.Host.c_str(), port.c_str(), &hints, &found);
        error != 0) {
        throw std::system_error(EINVAL, std::generic_category(),
                                address.Host + ": " + ::gai_strerror(error));
    }
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owned(found, ::freeaddrinfo);
    listener_.Reset(::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!listener_.Valid()) {
        throw SystemError("socket");
    }
    const int yes = 1;
    ::setsockopt(listener_.Get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (::bind(listener_.Get(), found->ai_addr, found->ai_addrlen) != 0) {
        throw SystemError("listening at " + address.Host + ":" + port);
    }
    if (::listen(listener_.Get(), 64) != 0) {
        throw SystemError("listen");
    }
    std::string host;
    HttpStream(listener_.Get(), {}, 0).get_local_ip_and_port(host, port_);
}

void HttpServer::Gate() {
    std::vector<Waiting> waiting;
    Clock::time_point resting;
    for (;;) {
        const auto before = Clock::now();
        const bool rests = resting > before;
        // A negative descriptor is left out of the poll.
        std::vector<pollfd> polled{{wake_[0].Get(), POLLIN, 0},
                                   {rests ? -1 : listener_.Get(), POLLIN, 0}};
        for (const Waiting& connection : waiting) {
            polled.push_back({connection.Socket.Get(), POLLIN, 0});
        }
        const auto rest = std::chrono::ceil<std::chrono::milliseconds>(resting - before).count();
        if (::poll(polled.data(), polled.size(), rests ? static_cast<int>(rest) : 250) < 0 &&
            errno != EINTR) {
            return;
        }
        if (polled[0].revents != 0) {
            return;
        }
        const auto now = Clock::now();
        std::vector<Waiting> still;
        for (std::size_t i = 0; i < waiting.size(); ++i) {
            if (polled[i + 2].revents != 0) {
                HandOver(std::move(waiting[i].Socket));
            } else if (waiting[i].Until > now) {
                still.push_back(std::move(waiting[i]));
            }
        }
        waiting = std::move(still);
        if (polled[1].revents != 0) {
            resting = Accept(waiting);
        }
    }
}

HttpServer::Clock::time_point HttpServer::Accept(std::vector<Waiting>& waiting) {
    for (;;) {
        FileDescriptor socket(
            ::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!socket.Valid()) {
            const bool exhausted =
                errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM;
            return exhausted ? Clock::now() + AcceptRest : Clock::now();
        }
        if (waiting.size() >= MaxWaiting) {
            waiting.erase(waiting.begin());
        }
        waiting.push_back({std::move(socket), Clock::now() + FirstBytesWait});
    }
}

// A connection beyond the ready queue's room is closed unanswered.
void HttpServer::HandOver(FileDescriptor socket) {
    ready_.Push(std::move(socket));
}

void HttpServer::Work() {
    while (const std::optional<FileDescriptor> socket = ready_.Pop()) {
        Answer(socket->Get());
    }
}

void HttpServer::Answer(int socket) {
    HttpStream stream(socket, std::chrono::steady_clock::now() + RequestTime, MaxRequest);
    bool closed = false;
    process_request(stream, true, closed, [](httplib::Request&) {});
    ::shutdown(socket, SHUT_WR);
}

} // namespace feedrail
