#pragma once

#include "common/FileDescriptor.h"
#include "machine/TcpRelay.h"

#include <memory>
#include <string>

namespace feedrail::machine {

// The control's end of the serial line: a new pseudo-terminal whose other
// side is linked where Feedrail looks for its port, a real device, or the
// serial side of a raw TCP device server. A link made here is removed with
// the line.
class MachineLine {
public:
    // Throws std::runtime_error with a message when it cannot.
    static MachineLine CreateLinked(const std::string& linkPath);
    static MachineLine OpenDevice(const std::string& path);
    // Listens on 127.0.0.1:`port` (0: a free port); the line reaches
    // whichever client is connected (TcpRelay). PeerPath names the address.
    static MachineLine ListenTcp(int port);

    MachineLine(MachineLine&& other) noexcept;
    MachineLine& operator=(MachineLine&&) = delete;
    ~MachineLine();

    int Fd() const { return fd_.Get(); }
    // Characters sent that the other side has not read yet, as far as this
    // side can tell: a pseudo-terminal loses them when its control side
    // closes, a connection when it ends in a reset, so the line is kept until
    // they are gone.
    std::size_t Unread() const;
    // What Feedrail opens: the pseudo-terminal's slave side, the device, or
    // the tcp:// address.
    const std::string& PeerPath() const { return peerPath_; }

private:
    MachineLine() = default;

    FileDescriptor fd_;
    // Keeps the slave side open, so Feedrail closing and reopening its port
    // between transfers does not hang up the line.
    FileDescriptor slave_;
    std::string peerPath_;
    std::string linkPath_;
    // Declared last: the relay stops before the control's end of it closes.
    std::unique_ptr<TcpRelay> relay_;
};

} // namespace feedrail::machine
