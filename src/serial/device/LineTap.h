#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace feedrail {

// Bytes that crossed the line one way, as they came or went, and when.
struct TappedBytes {
    std::chrono::system_clock::time_point At;
    bool Sent = false;
    std::string Bytes;
};

// What crossed a line each way, raw (blank tape, XON and XOFF, parity bits
// and all), kept for whoever watches the line until they take it. Bounded:
// past its limit the oldest bytes go, and are counted, so that a watcher
// that falls behind costs memory no more than the limit.
class LineTap {
public:
    // At most `limit` bytes in at most `pieces` pieces: a trickle of single
    // characters costs more in pieces than in bytes.
    explicit LineTap(std::size_t limit = DefaultLimit, std::size_t pieces = DefaultPieces)
        : limit_(limit), pieceLimit_(pieces) {}

    // Bytes one way make one piece until the other way has some, or for
    // PieceSpan from the piece's first: a monitor shows a piece, not a byte,
    // at a time.
    void Record(bool sent, const char* data, std::size_t count,
                std::chrono::system_clock::time_point at);
    // Moves out what was recorded, oldest first; `dropped` is told the bytes
    // the limit let go since the last take.
    std::vector<TappedBytes> Take(std::uint64_t& dropped);
    void Clear();
    // Bytes let go elsewhere, to be told with the next take.
    void Lost(std::uint64_t bytes) { dropped_ += bytes; }

    static constexpr std::chrono::milliseconds PieceSpan{50};
    // A second of a fast line, many times over.
    static constexpr std::size_t DefaultLimit = 256 * 1024;
    static constexpr std::size_t DefaultPieces = 4096;

private:
    std::deque<TappedBytes> pieces_;
    std::size_t bytes_ = 0;
    std::size_t limit_;
    std::size_t pieceLimit_;
    std::uint64_t dropped_ = 0;
};

} // namespace feedrail
