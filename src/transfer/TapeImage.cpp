#include "transfer/TapeImage.h"

#include "common/ControlChars.h"
#include "transfer/TapeCode.h"
#include "transfer/TapeLine.h"

#include <vector>

namespace feedrail {
namespace {

// The lines of a text as an editor holds them: split at line feeds (with or
// without a carriage return before them); a line break at the very end does
// not start another line.
std::vector<std::string_view> EditorLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        if (newline == std::string_view::npos) {
            lines.push_back(text);
            break;
        }
        std::string_view line = text.substr(0, newline);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        text.remove_prefix(newline + 1);
    }
    return lines;
}

bool IsControlCharacter(char c) {
    using namespace ControlChar;
    return c == Nul || c == Xon || c == Dc2 || c == Xoff || c == Dc4;
}

} // namespace

std::string EncodeProgramText(std::string_view text, std::int32_t punchType, std::int32_t eob,
                              bool leader) {
    std::string tape;
    bool percentLineSent = false;
    for (const std::string_view line : EditorLines(text)) {
        const std::string bytes = TapeLineBytes(line, punchType, eob, leader);
        if (line == "%" && percentLineSent) {
            tape += bytes.front();
            break;
        }
        tape += bytes;
        percentLineSent = percentLineSent || line.find('%') != std::string_view::npos;
    }
    if (leader) {
        tape += TapeTrailer();
    }
    return tape;
}

std::string DecodeTapeImage(std::string_view tape, std::int32_t punchType) {
    std::string text;
    std::size_t lineStart = 0;
    for (const char byte : tape) {
        const auto character = DecodeTapeByte(static_cast<unsigned char>(byte), punchType);
        if (!character || IsControlCharacter(*character)) {
            continue;
        }
        text += *character == '\r' ? '\n' : *character;
        if (text.back() == '\n') {
            lineStart = text.size();
        }
    }
    if (text.size() > lineStart) {
        text += '\n';
    }
    return text;
}

} // namespace feedrail
