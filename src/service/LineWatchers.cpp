#include "service/LineWatchers.h"

#include <algorithm>

namespace feedrail {

std::shared_ptr<TrafficQueue> LineWatchers::Add(std::size_t limit) {
    auto queue = std::make_shared<TrafficQueue>(limit);
    const std::lock_guard lock(mutex_);
    if (ended_) {
        queue->End(*ended_);
    } else {
        queues_.push_back(queue);
    }
    return queue;
}

bool LineWatchers::Hand(const std::vector<TappedBytes>& pieces, std::uint64_t lost) {
    const std::lock_guard lock(mutex_);
    std::erase_if(queues_,
                  [](const std::weak_ptr<TrafficQueue>& queue) { return queue.expired(); });
    for (const auto& watcher : queues_) {
        if (const auto queue = watcher.lock()) {
            queue->Push(pieces, lost);
        }
    }
    return !queues_.empty();
}

void LineWatchers::End(const std::string& reason) {
    const std::lock_guard lock(mutex_);
    ended_ = reason;
    for (const auto& watcher : queues_) {
        if (const auto queue = watcher.lock()) {
            queue->End(reason);
        }
    }
    queues_.clear();
}

} // namespace feedrail
