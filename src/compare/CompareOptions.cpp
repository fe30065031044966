#include "compare/CompareOptions.h"

#include <algorithm>

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

// Appends `line` without its comments.
void AppendUncommented(std::string_view line, std::string& out) {
    bool inParentheses = false;
    for (const char c : line) {
        if (inParentheses) {
            inParentheses = c != ')';
        } else if (c == '(') {
            inParentheses = true;
        } else if (c == ';') {
            break;
        } else {
            out += c;
        }
    }
}

} // namespace

// Works on the part appended, in place: a program of a million lines takes
// no allocation per line.
void AppendComparedPart(std::string_view line, const CompareOptions& options, std::string& out) {
    const std::size_t start = out.size();
    if (options.IgnoreComments) {
        AppendUncommented(line, out);
        // "G2 (OPEN)" is "G2".
        while (out.size() > start && Blank(out.back())) {
            out.pop_back();
        }
    } else {
        out.append(line);
    }
    if (options.IgnoreSequenceNumbers) {
        std::size_t wordStart = 0;
        const std::string_view part = std::string_view(out).substr(start);
        if (const std::size_t numberEnd = SequenceNumberEnd(part, wordStart); numberEnd != 0) {
            out.erase(start + wordStart, numberEnd - wordStart);
        }
    }
    if (options.IgnoreWhiteSpace) {
        out.erase(
            std::remove_if(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(), Blank),
            out.end());
    }
}

} // namespace feedrail
