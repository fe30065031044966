#pragma once

#include <chrono>

namespace feedrail {

// How a loop that runs inside one handler keeps the window alive and hears
// the operator's Esc.
class KeyPoll {
public:
    virtual ~KeyPoll() = default;

    // Runs pending serial hand-overs and repaints, swallows every key and
    // click but Esc, and reports whether Esc was pressed.
    virtual bool EscapePressed() = 0;
    // Lets the window breathe for a while: hand-overs run, it repaints, Esc
    // is remembered for the next EscapePressed.
    virtual void Idle(std::chrono::milliseconds time) = 0;
    // Drops an Esc remembered by Idle and not yet taken.
    virtual void ForgetEscape() = 0;
};

} // namespace feedrail
