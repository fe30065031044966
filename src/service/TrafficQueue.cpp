#include "service/TrafficQueue.h"

#include <algorithm>
#include <utility>

namespace feedrail {

void TrafficQueue::Push(const std::vector<TappedBytes>& pieces, std::uint64_t lost) {
    {
        const std::lock_guard lock(mutex_);
        if (ended_) {
            return;
        }
        lost_ += lost;
        for (const TappedBytes& piece : pieces) {
            cost_ += Cost(piece);
            pieces_.push_back(piece);
        }
        Trim();
    }
    changed_.notify_all();
}

// A trickle of single characters costs more in pieces than in bytes: each
// piece counts its own size too.
std::size_t TrafficQueue::Cost(const TappedBytes& piece) {
    return sizeof piece + piece.Bytes.size();
}

void TrafficQueue::Trim() {
    while (cost_ > limit_ && !pieces_.empty()) {
        std::string& oldest = pieces_.front().Bytes;
        const std::size_t over = cost_ - limit_;
        if (over < oldest.size()) {
            oldest.erase(0, over);
            cost_ -= over;
            lost_ += over;
            return;
        }
        cost_ -= Cost(pieces_.front());
        lost_ += oldest.size();
        pieces_.pop_front();
    }
}

std::vector<TappedBytes> TrafficQueue::Take(std::size_t most, std::uint64_t& lost) {
    const std::lock_guard lock(mutex_);
    lost = std::exchange(lost_, 0);
    std::vector<TappedBytes> taken;
    std::size_t bytes = 0;
    while (!pieces_.empty() && bytes < most) {
        TappedBytes& piece = pieces_.front();
        const std::size_t count = std::min(piece.Bytes.size(), most - bytes);
        if (count < piece.Bytes.size()) {
            taken.push_back({piece.At, piece.Sent, piece.Bytes.substr(0, count)});
            piece.Bytes.erase(0, count);
            cost_ -= count;
        } else {
            cost_ -= Cost(piece);
            taken.push_back(std::move(piece));
            pieces_.pop_front();
        }
        bytes += count;
    }
    return taken;
}

void TrafficQueue::End(const std::string& reason) {
    {
        const std::lock_guard lock(mutex_);
        if (!ended_) {
            ended_ = reason;
        }
    }
    changed_.notify_all();
}

void TrafficQueue::Wait(std::chrono::steady_clock::time_point until) const {
    std::unique_lock lock(mutex_);
    changed_.wait_until(lock, until,
                        [this] { return !pieces_.empty() || lost_ != 0 || ended_.has_value(); });
}

std::optional<std::string> TrafficQueue::Ended() const {
    const std::lock_guard lock(mutex_);
    if (!pieces_.empty() || lost_ != 0) {
        return std::nullopt;
    }
    return ended_;
}

} // namespace feedrail
