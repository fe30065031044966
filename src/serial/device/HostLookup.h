#pragma once

#include "common/FileDescriptor.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <sys/socket.h>
#include <vector>

namespace feedrail {

// One address a host name stands for, ready for socket(2) and connect(2).
struct HostAddress {
    int family = 0;
    int type = 0;
    int protocol = 0;
    sockaddr_storage address{};
    socklen_t size = 0;
};

// The addresses of a host name for a TCP connection, looked up off the
// caller's thread. getaddrinfo can neither be interrupted nor given a time
// limit, and a name server that never answers holds it for as long as the
// system's resolver settings say: the lookup runs on a detached thread that
// shares this object, so that whoever waits for it can give up at any time
// and leave the thread to end on its own. A numeric address needs no name
// server and is taken at once, without a thread.
class HostLookup {
public:
    // Throws std::system_error when no thread or no ready descriptor can be made.
    static std::shared_ptr<HostLookup> Start(const std::string& host, std::uint16_t port);
    HostLookup(const HostLookup&) = delete;
    HostLookup& operator=(const HostLookup&) = delete;

    // Readable once the lookup has ended.
    int ReadyDescriptor() const { return ready_.Get(); }
    bool Done() const;
    // Once Done: the addresses found, in the order to try them, or none and
    // why in the resolver's words ("Name or service not known").
    std::vector<HostAddress> Addresses() const;
    std::string Failure() const;

private:
    HostLookup();

    // getaddrinfo's answer; false when the name needs a name server.
    bool Look(const std::string& host, std::uint16_t port, bool numericOnly);

    FileDescriptor ready_;
    mutable std::mutex mutex_;
    bool done_ = false;
    std::vector<HostAddress> addresses_;
    std::string failure_;
};

} // namespace feedrail
