#pragma once

#include <cstdint>

namespace feedrail {

// Handshakes, as a profile's CommHandshake names them.
enum HandshakeValue : std::int32_t {
    // XON/XOFF done by the program itself.
    HandshakeXonXoff = 0,
    HandshakeNone = 1,
    // XON/XOFF done by the port; the settings dialog does not offer it.
    HandshakeDriverXonXoff = 2,
    HandshakeDtr = 3,
    HandshakeRtsCts = 4,
};

// Tape codes, as a profile's PunchType names them.
enum PunchTypeValue : std::int32_t {
    PunchAscii = 1,
    PunchEia = 2,
    PunchIso = 3,
};

// End-of-line conventions, as a profile's EOB names them.
enum EobValue : std::int32_t {
    EobCrLf = 0,
    EobLfCrCr = 1,
    EobLf = 2,
};

} // namespace feedrail
