#pragma once

#include "common/FileDescriptor.h"

#include <string>

namespace feedrail::machine {

// The control's end of the serial line: a new pseudo-terminal whose other
// side is linked where Feedrail looks for its port, or a real device. A link
// made here is removed with the line.
class MachineLine {
public:
    // Throws std::runtime_error with a message when it cannot.
    static MachineLine CreateLinked(const std::string& linkPath);
    static MachineLine OpenDevice(const std::string& path);

    MachineLine(MachineLine&& other) noexcept;
    MachineLine& operator=(MachineLine&&) = delete;
    ~MachineLine();

    int Fd() const { return fd_.Get(); }
    // Characters sent that the other side has not read yet, as far as this
    // side can tell: a pseudo-terminal loses them when its control side
    // closes, so the line is kept until they are gone.
    std::size_t Unread() const;
    // What Feedrail opens: the pseudo-terminal's slave side, or the device.
    const std::string& PeerPath() const { return peerPath_; }

private:
    MachineLine() = default;

    FileDescriptor fd_;
    // Keeps the slave side open, so Feedrail closing and reopening its port
    // between transfers does not hang up the line.
    FileDescriptor slave_;
    std::string peerPath_;
    std::string linkPath_;
};

} // namespace feedrail::machine
