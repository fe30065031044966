#include "serial/device/LineThreads.h"

#include "serial/device/LinePoller.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace feedrail {

std::size_t LineThreads::Limit() {
    return std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
}

LineThreads& LineThreads::Process() {
    static LineThreads threads(Limit());
    return threads;
}

LineThreads::LineThreads(std::size_t limit) : limit_(limit) {}

LineLease LineThreads::Serve(LineServed& served, int wakeFd) {
    const std::lock_guard lock(mutex_);
    std::erase_if(pollers_, [](const auto& poller) { return poller.expired(); });
    std::shared_ptr<LinePoller> fewest;
    for (const auto& weak : pollers_) {
        const std::shared_ptr<LinePoller> poller = weak.lock();
        if (poller && (!fewest || poller->Served() < fewest->Served())) {
            fewest = poller;
        }
    }
    if (!fewest || (fewest->Served() > 0 && pollers_.size() < limit_)) {
        fewest = std::make_shared<LinePoller>();
        pollers_.push_back(fewest);
    }
    return LineLease(fewest, fewest->Add(served, wakeFd));
}

} // namespace feedrail
