#pragma once

#include <cstdint>
#include <memory>

namespace feedrail {

class LinePoller;

// A device's place on a shared line thread, which the thread outlives. Given
// up (destroyed or assigned over), it returns only once no pass of the device
// runs and none will start: its descriptors may then be closed.
class LineLease {
public:
    LineLease() = default;
    LineLease(std::shared_ptr<LinePoller> poller, std::uint64_t id);
    LineLease(LineLease&& other) noexcept;
    LineLease& operator=(LineLease&& other) noexcept;
    LineLease(const LineLease&) = delete;
    LineLease& operator=(const LineLease&) = delete;
    ~LineLease();

    explicit operator bool() const { return poller_ != nullptr; }
    // The niceness the device asks for the thread it runs on.
    void SetNiceness(int niceness) const;

private:
    void Release() noexcept;

    std::shared_ptr<LinePoller> poller_;
    std::uint64_t id_ = 0;
};

} // namespace feedrail
