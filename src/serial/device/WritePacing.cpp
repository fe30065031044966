#include "serial/device/WritePacing.h"

#include <algorithm>
#include <cstdint>

namespace feedrail {
namespace {

// Enough characters ahead to cover the line thread's wake-up latency at high
// rates, and few enough that, with the character on the wire while an XOFF
// arrives and the one sent while it is noticed, fewer than the 10 that
// controls allow follow the XOFF.
constexpr std::size_t MinBacklog = 2;
constexpr auto WakeAllowance = std::chrono::microseconds(500);

// One and a half stop bits count as two: the pacing may run slow, never fast.
WritePacing::Clock::duration CharacterTime(const SerialSettings& settings) {
    const unsigned bits = 1 + settings.ByteSize + (settings.Parity != NoParity ? 1 : 0) +
                          (settings.StopBits == OneStopBit ? 1 : 2);
    const auto rate = std::max<std::uint32_t>(settings.BaudRate, 1);
    return std::chrono::nanoseconds(1'000'000'000ULL * bits / rate);
}

std::size_t BacklogLimitFor(WritePacing::Clock::duration charTime) {
    const auto covering = (WakeAllowance + charTime - std::chrono::nanoseconds(1)) / charTime;
    return std::clamp<std::size_t>(static_cast<std::size_t>(covering), MinBacklog,
                                   WritePacing::MaxBacklog);
}

} // namespace

WritePacing::WritePacing(const SerialSettings& settings) {
    Configure(settings);
}

void WritePacing::Configure(const SerialSettings& settings) {
    charTime_ = CharacterTime(settings);
    backlogLimit_ = BacklogLimitFor(charTime_);
}

std::size_t WritePacing::OnWire(Clock::time_point now) const {
    const Clock::duration left = UntilWireFree(now);
    return static_cast<std::size_t>((left + charTime_ - Clock::duration(1)) / charTime_);
}

WritePacing::Clock::duration WritePacing::UntilWireFree(Clock::time_point now) const {
    return wireFreeAt_ > now ? wireFreeAt_ - now : Clock::duration(0);
}

WritePacing::Clock::duration WritePacing::UntilRoom(Clock::time_point now) const {
    const Clock::duration lowWater =
        charTime_ * static_cast<long>(std::max<std::size_t>(backlogLimit_ - 2, 1));
    const Clock::duration left = UntilWireFree(now);
    return left > lowWater ? left - lowWater : charTime_;
}

void WritePacing::Handed(Clock::time_point now, std::size_t count) {
    wireFreeAt_ = std::max(now, wireFreeAt_) + charTime_ * static_cast<long>(count);
}

} // namespace feedrail
