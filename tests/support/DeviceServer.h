#pragma once

#include "common/FileDescriptor.h"
#include "support/ChildProcess.h"

#include <memory>
#include <string>
#include <termios.h>

namespace feedrail::test {

// A real serial device server on the loopback: ser2net, its serial port one
// end of a pair of pseudo-terminals joined by socat, the other end where a
// simulated control opens its line. It answers RFC 2217 (Telnet COM-PORT-
// OPTION) on one port and passes raw bytes on another, and answers RFC 2217
// on a third as a server set up for Xon/Xoff done by its client: what the
// line receives goes on at once. All reach the same serial line, so a test
// uses one at a time.
class DeviceServer {
public:
    // Starts both in `folder` (their settings, links and output go there) and
    // returns once both ports take connections. Throws std::runtime_error
    // with their own output when it cannot.
    explicit DeviceServer(const std::string& folder);
    DeviceServer(const DeviceServer&) = delete;
    DeviceServer& operator=(const DeviceServer&) = delete;
    // Stops both and removes what it put in the folder.
    ~DeviceServer();

    // ser2net and socat are installed.
    static bool Available();

    std::string Rfc2217Address() const;
    std::string Rfc2217AtOnceAddress() const;
    std::string TcpAddress() const;
    // The end of the line the control opens (feedrail-machine --device).
    std::string ControlPath() const;
    // The terminal settings ser2net has put on its end of the line now. A
    // pseudo-terminal keeps the speed, CSTOPB and PARODD; it always shows CS8
    // and no PARENB, whatever was asked.
    termios ServerLine() const;
    // Ends ser2net at once, as a device server losing its power.
    void KillServer();

private:
    void StartLine();
    // False when another program took one of its ports first.
    bool StartServer();
    std::string File(const std::string& name) const;

    std::string folder_;
    std::unique_ptr<ChildProcess> line_;
    std::unique_ptr<ChildProcess> server_;
    // Kept open to read ser2net's settings from, and so the line stays up
    // while ser2net has it closed between connections.
    FileDescriptor serverEnd_;
    std::string serverEndPath_;
    int rfc2217Port_ = 0;
    int tcpPort_ = 0;
    int atOncePort_ = 0;
};

} // namespace feedrail::test
