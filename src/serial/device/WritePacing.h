#pragma once

#include "serial/device/SerialSettings.h"

#include <chrono>
#include <cstddef>

namespace feedrail {

// The pacing that keeps output only a few characters ahead of the line, so
// that a control that sends XOFF sees at most a few more characters, whatever
// the driver does with the bytes it holds. Time is handed in, never read here.
class WritePacing {
public:
    using Clock = std::chrono::steady_clock;

    // Where the line is, which sets how long an XOFF takes to stop the
    // writer: a wake of the line thread for a port of this computer, the
    // round trip to the server for a port on a device server.
    enum class Reach { Local, DeviceServer };

    // The most characters ever let ahead of the line, at any rate.
    static constexpr std::size_t MaxBacklog = 4;

    explicit WritePacing(Reach reach, const SerialSettings& settings = {});

    // A new rate or framing; what is on the wire stays there.
    void Configure(const SerialSettings& settings);

    Clock::duration CharTime() const { return charTime_; }
    std::size_t BacklogLimit() const { return backlogLimit_; }

    // Characters handed on and not yet sent by `now`, a started one included.
    std::size_t OnWire(Clock::time_point now) const;
    Clock::duration UntilWireFree(Clock::time_point now) const;
    // How long the writer may wait before handing on more: until the
    // characters that cover its own wake are left on the wire, or a
    // character time when that moment has passed.
    Clock::duration UntilRoom(Clock::time_point now) const;

    // `count` bytes were handed on at `now`; they follow what is on the wire.
    void Handed(Clock::time_point now, std::size_t count);
    // What was handed on has been thrown away.
    void Clear(Clock::time_point now) { wireFreeAt_ = now; }
    Clock::time_point WireFreeAt() const { return wireFreeAt_; }

private:
    Reach reach_;
    Clock::duration charTime_{};
    std::size_t backlogLimit_ = 2;
    std::size_t lowWater_ = 1;
    Clock::time_point wireFreeAt_{};
};

} // namespace feedrail
