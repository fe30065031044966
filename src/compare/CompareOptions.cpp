#include "compare/CompareOptions.h"

namespace feedrail {
namespace {

bool Blank(char c) {
    return c == ' ' || c == '\t';
}

bool Digit(char c) {
    return c >= '0' && c <= '9';
}

// Where the sequence number of a block starting at `line` ends, with the
// blanks after it; 0 when the block has none.
std::size_t SequenceNumberEnd(std::string_view line, std::size_t& wordStart) {
    std::size_t at = 0;
    while (at < line.size() && (Blank(line[at]) || line[at] == '/')) {
        ++at;
    }
    if (at + 1 >= line.size() || (line[at] != 'N' && line[at] != 'n') || !Digit(line[at + 1])) {
        return 0;
    }
    wordStart = at;
    ++at;
    while (at < line.size() && Digit(line[at])) {
        ++at;
    }
    while (at < line.size() && Blank(line[at])) {
        ++at;
    }
    return at;
}

std::string WithoutComments(std::string_view line) {
    std::string kept;
    kept.reserve(line.size());
    bool inParentheses = false;
    for (const char c : line) {
        if (inParentheses) {
            inParentheses = c != ')';
        } else if (c == '(') {
            inParentheses = true;
        } else if (c == ';') {
            break;
        } else {
            kept += c;
        }
    }
    // "G2 (OPEN)" is "G2" without its comment.
    while (!kept.empty() && Blank(kept.back())) {
        kept.pop_back();
    }
    return kept;
}

} // namespace

void AppendComparedPart(std::string_view line, const CompareOptions& options, std::string& out) {
    std::string uncommented;
    if (options.IgnoreComments) {
        uncommented = WithoutComments(line);
        line = uncommented;
    }
    std::size_t wordStart = 0;
    const std::size_t numberEnd =
        options.IgnoreSequenceNumbers ? SequenceNumberEnd(line, wordStart) : 0;
    const auto append = [&](std::string_view part) {
        if (!options.IgnoreWhiteSpace) {
            out.append(part);
            return;
        }
        for (const char c : part) {
            if (!Blank(c)) {
                out += c;
            }
        }
    };
    if (numberEnd == 0) {
        append(line);
        return;
    }
    append(line.substr(0, wordStart));
    append(line.substr(numberEnd));
}

} // namespace feedrail
