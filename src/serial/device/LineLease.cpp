#include "serial/device/LineLease.h"

#include "serial/device/LinePoller.h"

#include <utility>

namespace feedrail {

LineLease::LineLease(std::shared_ptr<LinePoller> poller, std::uint64_t id)
    : poller_(std::move(poller)), id_(id) {}

LineLease::LineLease(LineLease&& other) noexcept
    : poller_(std::move(other.poller_)), id_(std::exchange(other.id_, 0)) {}

LineLease& LineLease::operator=(LineLease&& other) noexcept {
    if (this != &other) {
        Release();
        poller_ = std::move(other.poller_);
        id_ = std::exchange(other.id_, 0);
    }
    return *this;
}

LineLease::~LineLease() {
    Release();
}

void LineLease::SetNiceness(int niceness) const {
    if (poller_) {
        poller_->SetNiceness(id_, niceness);
    }
}

void LineLease::Release() noexcept {
    if (poller_) {
        poller_->Remove(id_);
        poller_.reset();
    }
}

} // namespace feedrail
