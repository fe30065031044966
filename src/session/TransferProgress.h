#pragma once

#include <cstdint>

namespace feedrail {

// How far a transfer has come, in counts: the window, the journal and the
// service's status each put it in words of their own.
struct TransferProgress {
    enum class Way { Send, Receive };
    Way Direction = Way::Send;
    // A send: the line now going out (the last one once it has ended); a
    // receive: the lines received.
    int Lines = 0;
    // A send: the program's lines; a receive: 0, as a punch has no known end.
    int TotalLines = 0;
    // A send: the bytes that have left the port; a receive: the bytes taken.
    std::uint64_t Bytes = 0;

    bool operator==(const TransferProgress&) const = default;
};

} // namespace feedrail
