#include "support/PseudoTerminal.h"

#include "support/LineIo.h"

#include <fcntl.h>
#include <stdexcept>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace feedrail::test {

PseudoTerminal::PseudoTerminal()
    : master_(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
    if (!master_.Valid() || ::grantpt(master_.Get()) != 0 || ::unlockpt(master_.Get()) != 0) {
        throw std::runtime_error("cannot create a pseudo-terminal");
    }
    slavePath_ = ::ptsname(master_.Get());
    slave_.Reset(::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!slave_.Valid()) {
        throw std::runtime_error("cannot open " + slavePath_);
    }
    // Until the port sets its own, the slave would echo what the test sends.
    termios tty{};
    ::tcgetattr(slave_.Get(), &tty);
    ::cfmakeraw(&tty);
    ::tcsetattr(slave_.Get(), TCSANOW, &tty);
}

void PseudoTerminal::Write(std::string_view bytes) const {
    WriteToLine(master_.Get(), bytes);
}

std::string PseudoTerminal::Read(std::size_t count, std::chrono::milliseconds timeout) const {
    return ReadFromLine(master_.Get(), count, timeout);
}

std::string PseudoTerminal::ReadAll(std::chrono::milliseconds timeout) const {
    return ReadAllFromLine(master_.Get(), timeout);
}

} // namespace feedrail::test
