#pragma once

#include "common/FileDescriptor.h"

#include <chrono>
#include <string>
#include <string_view>

namespace feedrail::test {

// A pseudo-terminal whose master side the test drives as the machine at the
// other end of the line. The slave stays open through a descriptor of our
// own, so its settings can be read back and it survives the port's closing.
class PseudoTerminal {
public:
    PseudoTerminal();

    const std::string& SlavePath() const { return slavePath_; }
    int Master() const { return master_.Get(); }
    int Slave() const { return slave_.Get(); }

    void Write(std::string_view bytes) const;
    // Reads until `count` bytes have come or `timeout` has passed.
    std::string Read(std::size_t count, std::chrono::milliseconds timeout) const;
    // Everything that arrives within `timeout`.
    std::string ReadAll(std::chrono::milliseconds timeout) const;
    // Closes the master side: the machine at the other end is gone.
    void HangUp() { master_.Reset(); }

private:
    FileDescriptor master_;
    FileDescriptor slave_;
    std::string slavePath_;
};

} // namespace feedrail::test
