#pragma once

#include "common/FileDescriptor.h"

#include <thread>

namespace feedrail::machine {

// The serial side of a raw TCP device server, as the control sees it: a
// line whose other end is whichever client is connected. One client at a
// time; when it goes, the next is taken, as a device server does, so a
// program that reopens its port for every transfer finds the line again.
// What the control sends while nobody is connected is dropped, as a server
// drops what its serial port receives then.
class TcpRelay {
public:
    // Listens on 127.0.0.1:`port` (0: a free port). Throws std::runtime_error
    // when it cannot.
    explicit TcpRelay(int port);
    TcpRelay(const TcpRelay&) = delete;
    TcpRelay& operator=(const TcpRelay&) = delete;
    ~TcpRelay();

    int Port() const { return port_; }
    // The control's end of the line, non-blocking.
    FileDescriptor TakeLineEnd() { return std::move(controlEnd_); }

private:
    void Run();
    void TakeClient();
    // False when the client has gone.
    bool Pass(int from, int to);

    FileDescriptor listener_;
    FileDescriptor controlEnd_;
    FileDescriptor relayEnd_;
    FileDescriptor client_;
    FileDescriptor stop_;
    int port_ = 0;
    std::thread thread_;
};

} // namespace feedrail::machine
