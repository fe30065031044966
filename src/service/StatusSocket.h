#pragma once

#include "common/FileDescriptor.h"

#include <functional>
#include <string>
#include <thread>

namespace feedrail {

// Where the service answers `feedrail-dnc status`: feedrail-dnc.sock in
// $XDG_RUNTIME_DIR, or in the folder of the profiles when that is not set.
std::string StatusSocketPath(const std::string& profileFolder);

// A Unix socket that answers every connection with the status text and
// closes it, on a thread of its own.
class StatusSocket {
public:
    // Raises std::system_error when the socket cannot be made, and
    // std::runtime_error when another service already answers on it.
    StatusSocket(std::string path, std::function<std::string()> status);
    ~StatusSocket();
    StatusSocket(const StatusSocket&) = delete;
    StatusSocket& operator=(const StatusSocket&) = delete;

private:
    void Serve();

    std::string path_;
    std::function<std::string()> status_;
    FileDescriptor listener_;
    FileDescriptor wake_[2];
    std::thread thread_;
};

// Asks the service at `path`; the status text, or raises std::system_error
// naming what failed.
std::string AskStatus(const std::string& path);

} // namespace feedrail
