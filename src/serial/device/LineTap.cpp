#include "serial/device/LineTap.h"

#include <algorithm>
#include <utility>

namespace feedrail {

void LineTap::Record(bool sent, const char* data, std::size_t count,
                     std::chrono::system_clock::time_point at) {
    if (count == 0) {
        return;
    }
    if (count > limit_) {
        dropped_ += count - limit_;
        data += count - limit_;
        count = limit_;
    }
    if (!pieces_.empty() && pieces_.back().Sent == sent && at - pieces_.back().At < PieceSpan) {
        pieces_.back().Bytes.append(data, count);
    } else {
        pieces_.push_back({at, sent, std::string(data, count)});
    }
    bytes_ += count;
    while (pieces_.size() > pieceLimit_) {
        bytes_ -= pieces_.front().Bytes.size();
        dropped_ += pieces_.front().Bytes.size();
        pieces_.pop_front();
    }
    while (bytes_ > limit_) {
        std::string& oldest = pieces_.front().Bytes;
        const std::size_t cut = std::min(oldest.size(), bytes_ - limit_);
        oldest.erase(0, cut);
        bytes_ -= cut;
        dropped_ += cut;
        if (oldest.empty()) {
            pieces_.pop_front();
        }
    }
}

std::vector<TappedBytes> LineTap::Take(std::uint64_t& dropped) {
    dropped = dropped_;
    std::vector<TappedBytes> taken(std::make_move_iterator(pieces_.begin()),
                                   std::make_move_iterator(pieces_.end()));
    Clear();
    return taken;
}

void LineTap::Clear() {
    pieces_.clear();
    bytes_ = 0;
    dropped_ = 0;
}

} // namespace feedrail
