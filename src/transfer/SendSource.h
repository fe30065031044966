#pragma once

#include "profiles/ActiveSettings.h"
#include "session/ProgramLines.h"

#include <cstdint>
#include <optional>
#include <string>

namespace feedrail {

// What a send reads: the editor's program, or one put together from it for a
// send from a chosen block, with where that starts for the transfer log.
class SendSource {
public:
    explicit SendSource(ProgramLines& editor) : editor_(editor), program_(&editor) {}

    // The next send reads `program`; `from` names where it starts.
    void Read(ProgramLines& program, std::string from);
    // Back to the editor's own program, from its start.
    void Reset();
    ProgramLines& Program() const { return *program_; }
    const std::string& From() const { return from_; }

    // Why `program` cannot go out in `punchType`, or nothing when it can.
    static std::optional<std::string> WhyNotEncodable(const ProgramLines& program,
                                                      std::int32_t punchType);
    // The bytes the program's `lines` take on the line, reckoned before the
    // send.
    std::uint64_t TapeBytes(int lines, const ActiveSettings& settings, bool leader) const;

private:
    ProgramLines& editor_;
    ProgramLines* program_;
    std::string from_;
};

} // namespace feedrail
