#pragma once

#include "common/FileDescriptor.h"
#include "serial/device/HostLookup.h"

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace feedrail {

// How long a device server that stops answering is waited for: sent bytes
// left unacknowledged this long, or an idle connection whose keep-alive
// probes go unanswered this long, end the connection.
inline constexpr std::chrono::seconds SilenceLimit{30};

// How long reaching a device server may take: finding its address (a name
// server that never answers would otherwise be waited for as long as the
// system's resolver settings say), and connecting to each address found.
// Short, because a machine's port is opened again every two seconds while
// it is gone.
struct ConnectLimits {
    std::chrono::milliseconds resolve{5000};
    std::chrono::milliseconds connect{1000};
};

// A TCP connection to `host`:`port` being made in steps that never wait, for
// a line thread that serves many: the host is looked up (HostLookup), then
// each address it stands for is tried in turn, each within its limit. The
// connection made is non-blocking, sends small writes at once and ends
// itself after SilenceLimit of silence. One that cannot be made has a
// Failure ("cannot resolve host shop-ts1: Name or service not known", "no
// answer from shop-ts1 within 1 s", "Connection refused").
//
// Whoever takes the steps watches Descriptor() for the events it asks for
// and takes the next step once it is ready or Due() has come. A descriptor
// the steps replace stays open until the next step, so that its watcher can
// stop watching it first.
class TcpConnection {
public:
    using Clock = std::chrono::steady_clock;
    enum class State { Looking, Connecting, Connected, Failed };

    TcpConnection(std::string host, std::uint16_t port, const ConnectLimits& limits);

    // Takes every step that is ready at `now`: the first starts the lookup.
    void Step(Clock::time_point now);
    State Current() const { return state_; }
    // What to watch: the lookup's ready descriptor (for input) while
    // Looking, the socket (for output) while Connecting; -1 otherwise.
    int Descriptor() const;
    bool WantsOutput() const { return state_ == State::Connecting; }
    // When the step under way has run out of time.
    Clock::time_point Due() const;
    // The connection, once Connected; taken once.
    FileDescriptor TakeSocket();
    const std::string& Failure() const { return failure_; }

private:
    void Look(Clock::time_point now);
    void Connect(Clock::time_point now);
    // Starts connecting to the next address, or fails when none is left.
    void StartNext(Clock::time_point now);
    // 0 once connected, EINPROGRESS while under way, or the errno of the
    // failure (ETIMEDOUT once the limit has passed).
    int Outcome(Clock::time_point now) const;
    void RetireSocket();
    void Fail(std::string failure);

    const std::string host_;
    const std::uint16_t port_;
    const ConnectLimits limits_;
    State state_ = State::Looking;
    std::shared_ptr<HostLookup> lookup_;
    std::vector<HostAddress> addresses_;
    std::size_t next_ = 0;
    int lastError_ = EHOSTUNREACH;
    Clock::time_point end_{};
    FileDescriptor socket_;
    // What the last step gave to watch and this one replaced.
    std::shared_ptr<HostLookup> retiredLookup_;
    FileDescriptor retiredSocket_;
    std::string failure_;
};

// "5 s", "300 ms".
std::string DurationText(std::chrono::milliseconds duration);

} // namespace feedrail
