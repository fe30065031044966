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
// At slow rates more may be let ahead, so that the line thread wakes for
// several characters rather than each: as many as keep to the 10 controls
// allow after an XOFF, counting the XOFF's own frame, the 4 characters' time
// for which a UART's receive FIFO (a 16550's, trigger level 8) holds a lone
// character, and the time the XOFF then takes to reach the writer: a loaded
// computer's wake, or a busy network's way back.
constexpr std::size_t AllowedAfterXoff = 10;
constexpr std::size_t XoffFrameAndReceiveTimeout = 5;
constexpr auto LocalReaction = std::chrono::milliseconds(2);
constexpr auto DeviceServerReaction = std::chrono::milliseconds(5);

// One and a half stop bits count as two: the pacing may run slow, never fast.
WritePacing::Clock::duration CharacterTime(const SerialSettings& settings) {
    const unsigned bits = 1 + settings.ByteSize + (settings.Parity != NoParity ? 1 : 0) +
                          (settings.StopBits == OneStopBit ? 1 : 2);
    const auto rate = std::max<std::uint32_t>(settings.BaudRate, 1);
    return std::chrono::nanoseconds(1'000'000'000ULL * bits / rate);
}

std::size_t Covering(WritePacing::Clock::duration span, WritePacing::Clock::duration charTime) {
    return static_cast<std::size_t>((span + charTime - std::chrono::nanoseconds(1)) / charTime);
}

} // namespace

WritePacing::WritePacing(Reach reach, const SerialSettings& settings) : reach_(reach) {
    Configure(settings);
}

void WritePacing::Configure(const SerialSettings& settings) {
    charTime_ = CharacterTime(settings);
    const std::size_t wake = Covering(WakeAllowance, charTime_);
    const auto reaction = reach_ == Reach::Local ? LocalReaction : DeviceServerReaction;
    const std::size_t reacting = XoffFrameAndReceiveTimeout + Covering(reaction, charTime_);
    const std::size_t safe = reacting < AllowedAfterXoff ? AllowedAfterXoff - reacting : 0;
    backlogLimit_ = std::clamp(std::max(wake, safe), MinBacklog, MaxBacklog);
    lowWater_ = std::clamp<std::size_t>(wake, 1, std::max<std::size_t>(backlogLimit_ - 2, 1));
}

std::size_t WritePacing::OnWire(Clock::time_point now) const {
    const Clock::duration left = UntilWireFree(now);
    return static_cast<std::size_t>((left + charTime_ - Clock::duration(1)) / charTime_);
}

WritePacing::Clock::duration WritePacing::UntilWireFree(Clock::time_point now) const {
    return wireFreeAt_ > now ? wireFreeAt_ - now : Clock::duration(0);
}

WritePacing::Clock::duration WritePacing::UntilRoom(Clock::time_point now) const {
    const Clock::duration lowWater = charTime_ * static_cast<long>(lowWater_);
    const Clock::duration left = UntilWireFree(now);
    return left > lowWater ? left - lowWater : charTime_;
}

void WritePacing::Handed(Clock::time_point now, std::size_t count) {
    wireFreeAt_ = std::max(now, wireFreeAt_) + charTime_ * static_cast<long>(count);
}

} // namespace feedrail
