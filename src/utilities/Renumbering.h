#pragma once

#include "session/EditorLines.h"
#include "session/KeyPoll.h"
#include "session/RunState.h"

#include <chrono>
#include <string>
#include <vector>

namespace feedrail {

// Utilities > Renumber: gives the editor's program the block numbers 10, 20,
// 30 ... line by line; Esc stops it after the current line, and the lines
// looked at so far keep their new numbers. One undo takes a whole
// renumbering back.
class Renumbering {
public:
    Renumbering(RunState& state, EditorLines& editor, KeyPoll& keys)
        : state_(state), editor_(editor), keys_(keys) {}

    void Renumber();

    // How often at most the keys are looked at: polling the event loop for
    // every line would cost more than the renumbering itself, and a person
    // cannot tell a stop within this time from one "after the current line".
    static constexpr std::chrono::milliseconds KeyPollInterval{5};

private:
    void KeyCheck();
    void Flush();

    RunState& state_;
    EditorLines& editor_;
    KeyPoll& keys_;
    std::chrono::steady_clock::time_point lastPoll_{};
    // New lines not yet in the editor, from line firstPending_ on (0: none).
    std::vector<std::string> pending_;
    int firstPending_ = 0;
};

} // namespace feedrail
