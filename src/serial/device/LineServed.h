#pragma once

#include <chrono>

namespace feedrail {

// What a device's pass asks of the shared line thread before its next one.
struct LineWait {
    // The descriptor of the line, -1 for none. It may change from pass to
    // pass (a network device's lookup, then its socket); one no longer given
    // stays open until the next pass, for while the pass runs it is still
    // watched, and a descriptor closed then may come back as another's.
    int Line = -1;
    // The line's input is watched (and with it its hang-up): only while
    // there is room for it, and never once the line has gone, as a hung-up
    // terminal is ready for ever.
    bool Input = false;
    // The line is watched for room for output: while bytes wait for it, or
    // while a connection is being made on it.
    bool Output = false;
    // The next pass comes by then at the latest.
    std::chrono::steady_clock::time_point Due = std::chrono::steady_clock::time_point::max();
};

// A device whose line is served by a shared line thread (LinePoller): one
// pass at a time, never two at once, each bounded so that the thread's other
// devices are not held up.
class LineServed {
public:
    // Moves bytes each way, looks at the lines and tells waiters, under the
    // device's own lock; `lineGone` when the line reported a hang-up or an
    // error since the last pass.
    virtual LineWait LinePass(bool lineGone) = 0;

protected:
    ~LineServed() = default;
};

} // namespace feedrail
