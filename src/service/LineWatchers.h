#pragma once

#include "service/TrafficQueue.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace feedrail {

// A watch of a machine's line, or why there is none.
struct LineWatch {
    std::shared_ptr<TrafficQueue> Queue;
    // The machine's port, as the status names it.
    std::string Port;
    std::string Refusal;
};

// Whoever watches one machine's line (a `feedrail-dnc monitor`, a web
// page), each with a queue of its own. A watcher is known only by a weak
// reference: it stops watching by letting its queue go, and the machine
// may go before or after it.
class LineWatchers {
public:
    // Any thread. A new watcher's queue, keeping at most `limit`; one ended
    // at once when the watchers have been ended.
    std::shared_ptr<TrafficQueue> Add(std::size_t limit = TrafficQueue::DefaultLimit);
    // Hands every watcher what was taken from the line, with the bytes the
    // line's tap lost; whether any watcher is left.
    bool Hand(const std::vector<TappedBytes>& pieces, std::uint64_t lost);
    // Ends every watch, and every one added later, with `reason`.
    void End(const std::string& reason);

private:
    std::mutex mutex_;
    std::vector<std::weak_ptr<TrafficQueue>> queues_;
    std::optional<std::string> ended_;
};

} // namespace feedrail
