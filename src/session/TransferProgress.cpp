#include "session/TransferProgress.h"

#include <algorithm>

namespace feedrail {

using namespace std::chrono_literals;

std::optional<int> TransferProgress::Percent() const {
    if (TotalBytes == 0) {
        return std::nullopt;
    }
    // A reckoning a little short never shows more than all.
    return static_cast<int>(std::min<std::uint64_t>(Bytes, TotalBytes) * 100 / TotalBytes);
}

std::uint64_t TransferProgress::BytesPerSecond() const {
    if (Elapsed < 100ms) {
        return 0;
    }
    return Bytes * 1000 / static_cast<std::uint64_t>(Elapsed.count());
}

std::optional<std::chrono::seconds> TransferProgress::TimeLeft() const {
    const std::uint64_t rate = BytesPerSecond();
    if (TotalBytes == 0 || rate == 0) {
        return std::nullopt;
    }
    const std::uint64_t left = TotalBytes - std::min(Bytes, TotalBytes);
    return std::chrono::seconds((left + rate - 1) / rate);
}

} // namespace feedrail
