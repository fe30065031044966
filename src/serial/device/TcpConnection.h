#pragma once

#include "common/FileDescriptor.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

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

// Waits until `fd` (-1: none) has one of `events` or `limit` has passed,
// and gives the events `fd` has (0 when none); nothing once the connection
// is no longer wanted, and the attempt is then abandoned at once.
using ConnectWait = std::function<std::optional<short>(int fd, short events,
                                                       std::chrono::steady_clock::duration limit)>;

// Connects to `host`:`port`, trying each address the name resolves to, and
// waiting only through `wait`. The connection is non-blocking, sends small
// writes at once and ends itself after SilenceLimit of silence. An invalid
// descriptor and `failure` when it cannot ("cannot resolve host shop-ts1:
// Name or service not known", "no answer from shop-ts1 within 1 s",
// "Connection refused"); `failure` stays empty when the wait was abandoned.
FileDescriptor ConnectTcp(const std::string& host, std::uint16_t port, const ConnectLimits& limits,
                          const ConnectWait& wait, std::string& failure);

// "5 s", "300 ms".
std::string DurationText(std::chrono::milliseconds duration);

} // namespace feedrail
