#pragma once

#include "machine/ControlReceiver.h"

#include <string>
#include <string_view>

namespace feedrail::machine {

struct PunchConfig {
    std::int32_t punchType = 3;
    std::int32_t eob = 2;
    // DC2 before the program and DC4 after it.
    bool dcCodes = true;
    std::size_t leader = 0;
    std::size_t trailer = 0;
    double charsPerSecond = 960;
};

// The tape punch of a control: the program in the control's tape code, put
// on the line at the control's pace, and stopped by XOFF until XON.
class ControlPuncher {
public:
    ControlPuncher(const PunchConfig& config, std::string_view program);

    // Everything the punch sends, in order.
    const std::string& Tape() const { return tape_; }
    // The bytes due at `now`; empty while held or when done.
    std::string Next(Clock::time_point now);
    // Flow control from the other side.
    void Receive(std::string_view bytes);
    bool Done() const { return sent_ == tape_.size(); }

private:
    std::string tape_;
    double charsPerSecond_;
    std::size_t sent_ = 0;
    bool held_ = false;
    bool started_ = false;
    double credit_ = 0;
    Clock::time_point last_{};
};

} // namespace feedrail::machine
