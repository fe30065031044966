#pragma once

#include "common/FileDescriptor.h"
#include "line/TrafficText.h"
#include "service/LineWatchers.h"
#include "service/ServiceClient.h"

#include <chrono>
#include <functional>
#include <poll.h>
#include <string>
#include <thread>
#include <vector>

namespace feedrail {

// Where the service answers `feedrail-dnc status`: feedrail-dnc.sock in
// $XDG_RUNTIME_DIR, or in the folder of the profiles when that is not set.
std::string StatusSocketPath(const std::string& profileFolder);

// What the socket answers from.
struct ServiceAnswers {
    std::function<std::string()> Status;
    // A watch of the line of the machine named.
    std::function<LineWatch(const std::string& machine)> Watch;
};

// A Unix socket, served by a thread of its own that never waits for a
// client. A client sends a request line: "status" is answered with the
// status text, "monitor NAME" (or "monitor-hex NAME") with a line that
// begins "watching " and then the machine's traffic as it passes, until the
// client goes or the watch ends ("end: " and why); anything else with one
// line saying why not. A client that says nothing is answered the status.
class StatusSocket {
public:
    // Raises std::system_error when the socket cannot be made, and
    // std::runtime_error when another service already answers on it.
    StatusSocket(std::string path, ServiceAnswers answers);
    ~StatusSocket();
    StatusSocket(const StatusSocket&) = delete;
    StatusSocket& operator=(const StatusSocket&) = delete;

    static constexpr std::size_t MaxWatchers = 16;
    // Clients being read or answered at once; more wait to be accepted.
    static constexpr std::size_t MaxWaiting = 16;
    static constexpr std::string_view WatchingWord = "watching ";
    // How often the monitors' traffic is taken into words.
    static constexpr std::chrono::milliseconds WatchInterval{100};

private:
    void Serve();
    int PollTimeout(ServiceClient::Clock::time_point now) const;
    void Accept();
    void Attend(const std::vector<pollfd>& polled);
    void Dispatch(ServiceClient& client, const std::string& request,
                  ServiceClient::Clock::time_point now);
    std::size_t Count(bool watching) const;

    std::string path_;
    ServiceAnswers answers_;
    FileDescriptor listener_;
    FileDescriptor wake_[2];
    std::vector<ServiceClient> clients_;
    std::thread thread_;
};

// The service at `path`, connected; raises std::system_error naming what
// failed.
FileDescriptor ConnectToService(const std::string& path);

// The request line for a monitor of `machine`.
std::string MonitorRequest(const std::string& machine, TrafficView view);

// Asks the service at `path`; the status text, or raises std::system_error
// naming what failed.
std::string AskStatus(const std::string& path);

} // namespace feedrail
