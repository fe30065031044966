#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace feedrail {

// How far a transfer has come, in counts: the window, the journal and the
// service's status each put it in words of their own, from the same figures.
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
    // A send: the bytes the program takes on the line, reckoned at its start
    // from its text, one line end a line and the trailer; a receive: 0.
    std::uint64_t TotalBytes = 0;
    // Since the first byte went or came.
    std::chrono::milliseconds Elapsed{0};

    // Percent of the bytes, so that one long line shows the truth; empty
    // without a known end.
    std::optional<int> Percent() const;
    // Bytes a second so far; 0 until a tenth of a second has passed.
    std::uint64_t BytesPerSecond() const;
    // At the rate so far; empty without a known end or a rate.
    std::optional<std::chrono::seconds> TimeLeft() const;

    bool operator==(const TransferProgress&) const = default;
};

} // namespace feedrail
