#pragma once

#include <string>
#include <vector>

namespace feedrail {

// How the operator names the block a send starts from.
enum class StartWay {
    // The editor's line number, from 1.
    Line,
    // The first block whose sequence number (N57, N0057) is the value.
    Sequence,
    // The value-th tool change: a block with a T word and M6 (or M06), or a
    // block with a T word alone followed at once by a block with M6, the two
    // counting as one change that starts at the T block, so that the tool is
    // selected before it is changed.
    ToolChange,
};

// Where a send from a chosen block starts and what it leaves out. Lines are
// numbered from 1 as in the editor.
struct SendFromPlan {
    // Empty when the start was found; otherwise why not, for the operator.
    std::string Error;
    int StartLine = 0;
    // The program's head: its first lines up to the first block that moves or
    // changes a tool (the "%", the program number and the safety blocks),
    // sent before the start so that the control knows the program and its
    // modes.
    std::vector<std::string> Head;
    // The lines left out: after the head, before the start.
    int FirstSkipped = 0;
    int SkippedCount = 0;
    // "from line 57 (T3 M6)": where the send started, for the transfer log.
    std::string From;
};

// The plan for a send of `lines` from the block chosen by `way` and `value`.
// A start inside the head is refused: the head goes out anyway.
SendFromPlan PlanSendFrom(const std::vector<std::string>& lines, StartWay way, long value);

} // namespace feedrail
