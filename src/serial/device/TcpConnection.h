#pragma once

#include "common/FileDescriptor.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace feedrail {

// How long a device server that stops answering is waited for: sent bytes
// left unacknowledged this long, or an idle connection whose keep-alive
// probes go unanswered this long, end the connection.
inline constexpr std::chrono::seconds SilenceLimit{30};

// Connects to `host`:`port` within `timeout`, trying each address the name
// resolves to. The connection is non-blocking, sends small writes at once
// and ends itself after SilenceLimit of silence. An invalid descriptor and
// `failure` (the reason, as the system words it) when it cannot.
FileDescriptor ConnectTcp(const std::string& host, std::uint16_t port,
                          std::chrono::milliseconds timeout, std::string& failure);

} // namespace feedrail
