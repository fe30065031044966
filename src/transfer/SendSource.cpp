#include "transfer/SendSource.h"

#include "profiles/ProfileValues.h"
#include "transfer/TapeCode.h"
#include "transfer/TapeLine.h"

#include <exception>
#include <utility>

namespace feedrail {

void SendSource::Read(ProgramLines& program, std::string from) {
    program_ = &program;
    from_ = std::move(from);
}

void SendSource::Reset() {
    program_ = &editor_;
    from_.clear();
}

// In EIA a character without a code would go out as a blank, changing the
// program unseen: the operator is told where it is instead.
std::optional<std::string> SendSource::WhyNotEncodable(const ProgramLines& program,
                                                       std::int32_t punchType) {
    if (punchType != PunchEia) {
        return std::nullopt;
    }
    try {
        const int lines = program.EditorLineCount();
        for (int line = 1; line <= lines; ++line) {
            const std::string text = program.GetEditorLine(line);
            for (std::size_t at = 0; at < text.size(); ++at) {
                if (!HasTapeCode(text[at], PunchEia)) {
                    return "line " + std::to_string(line) + ", column " + std::to_string(at + 1) +
                           " holds \"" + text.substr(at, 1) + "\", which has no EIA code";
                }
            }
        }
    } catch (const std::exception& error) {
        // A program read from its file may change or fail under the look.
        return error.what();
    }
    return std::nullopt;
}

// Each character of a line takes one byte in every tape code; a "$ ... %"
// line's leader is left out, so the reckoning may fall a little short.
std::uint64_t SendSource::TapeBytes(int lines, const ActiveSettings& settings, bool leader) const {
    const std::uint64_t lineEnd = EndOfLineBytes(settings.EOB, settings.PunchType).size();
    return program_->EditorTextBytes() + static_cast<std::uint64_t>(lines) * lineEnd +
           (leader ? TapeTrailer().size() : 0);
}

} // namespace feedrail
