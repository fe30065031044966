#include "transfer/SendFrom.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

namespace feedrail {
namespace {

// The block's text as the log quotes it: blanks trimmed, a long one cut.
constexpr std::size_t MostQuoted = 40;

struct Word {
    char Letter;
    std::string Number;
};

bool Blank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// The block's address words; a comment in parentheses holds none.
std::vector<Word> Words(const std::string& line) {
    std::vector<Word> words;
    int depth = 0;
    for (std::size_t at = 0; at < line.size(); ++at) {
        const char c = line[at];
        if (c == '(') {
            ++depth;
        } else if (c == ')') {
            depth = std::max(depth - 1, 0);
        } else if (depth == 0 && std::isalpha(static_cast<unsigned char>(c))) {
            Word word{static_cast<char>(std::toupper(static_cast<unsigned char>(c))), {}};
            while (at + 1 < line.size() &&
                   (std::isdigit(static_cast<unsigned char>(line[at + 1])) || line[at + 1] == '.' ||
                    line[at + 1] == '-' || line[at + 1] == '+')) {
                word.Number += line[++at];
            }
            words.push_back(std::move(word));
        }
    }
    return words;
}

// A whole number's digits without their leading zeros; empty for anything else.
std::string Digits(const std::string& number) {
    if (number.empty() || !std::all_of(number.begin(), number.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c));
        })) {
        return {};
    }
    const std::size_t first = number.find_first_not_of('0');
    return first == std::string::npos ? "0" : number.substr(first);
}

bool Has(const std::vector<Word>& words, char letter) {
    return std::any_of(words.begin(), words.end(),
                       [letter](const Word& word) { return word.Letter == letter; });
}

bool HasM6(const std::vector<Word>& words) {
    return std::any_of(words.begin(), words.end(), [](const Word& word) {
        return word.Letter == 'M' && Digits(word.Number) == "6";
    });
}

// An axis word. A G0 to G3 without one only sets the motion to come, as in
// a safety block ("G0 G17 G40 G49 G80 G90"), which belongs to the head.
bool Moves(const std::vector<Word>& words) {
    return std::any_of(words.begin(), words.end(), [](const Word& word) {
        return word.Letter == 'X' || word.Letter == 'Y' || word.Letter == 'Z';
    });
}

// The block's sequence number without leading zeros; empty without one.
std::string SequenceNumber(const std::string& line) {
    std::size_t at = 0;
    while (at < line.size() && Blank(line[at])) {
        ++at;
    }
    if (at < line.size() && line[at] == '/') {
        ++at;
        while (at < line.size() && Blank(line[at])) {
            ++at;
        }
    }
    if (at >= line.size() || std::toupper(static_cast<unsigned char>(line[at])) != 'N') {
        return {};
    }
    const std::size_t end = line.find_first_not_of("0123456789", at + 1);
    return Digits(line.substr(at + 1, end == std::string::npos ? end : end - at - 1));
}

bool ProgramNumber(const std::string& line) {
    const std::size_t at = line.find_first_not_of(" \t");
    return at != std::string::npos && (line[at] == 'O' || line[at] == 'o' || line[at] == ':');
}

// The number of the program's first lines that make its head.
int HeadLines(const std::vector<std::string>& lines) {
    for (std::size_t at = 0; at < lines.size(); ++at) {
        const std::vector<Word> words = Words(lines[at]);
        if (Moves(words) || Has(words, 'T') || HasM6(words)) {
            return static_cast<int>(at);
        }
    }
    // Without a block that moves, the head is the "%" and the program number.
    const auto number = std::find_if(lines.begin(), lines.end(), ProgramNumber);
    return number == lines.end() ? 0 : static_cast<int>(number - lines.begin()) + 1;
}

// The line index of the `count`-th tool change, or -1.
int ToolChangeLine(const std::vector<std::string>& lines, long count, long& found) {
    found = 0;
    for (std::size_t at = 0; at < lines.size(); ++at) {
        const std::vector<Word> words = Words(lines[at]);
        if (!Has(words, 'T')) {
            continue;
        }
        bool change = HasM6(words);
        if (!change && at + 1 < lines.size()) {
            const std::vector<Word> next = Words(lines[at + 1]);
            change = HasM6(next) && !Has(next, 'T');
        }
        if (change && ++found == count) {
            return static_cast<int>(at);
        }
    }
    return -1;
}

int StartIndex(const std::vector<std::string>& lines, StartWay way, long value,
               std::string& error) {
    const long count = static_cast<long>(lines.size());
    switch (way) {
    case StartWay::Line:
        if (value < 1 || value > count) {
            error = "There is no line " + std::to_string(value) + ": the program has " +
                    std::to_string(count) + " lines.";
            return -1;
        }
        return static_cast<int>(value - 1);
    case StartWay::Sequence: {
        const std::string wanted = value < 0 ? "" : std::to_string(value);
        const auto line = std::find_if(lines.begin(), lines.end(), [&](const std::string& text) {
            return !wanted.empty() && SequenceNumber(text) == wanted;
        });
        if (line == lines.end()) {
            error = "No block has the sequence number N" + std::to_string(value) + ".";
            return -1;
        }
        return static_cast<int>(line - lines.begin());
    }
    case StartWay::ToolChange: {
        long found = 0;
        const int line = ToolChangeLine(lines, value, found);
        if (line < 0) {
            error = "The program has " + std::to_string(found) + " tool changes, not " +
                    std::to_string(value) + ".";
        }
        return line;
    }
    }
    return -1;
}

std::string Quoted(const std::string& line) {
    const std::size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    std::string text = line.substr(first, line.find_last_not_of(" \t\r") + 1 - first);
    if (text.size() > MostQuoted) {
        text = text.substr(0, MostQuoted) + "...";
    }
    return " (" + text + ")";
}

} // namespace

SendFromPlan PlanSendFrom(const std::vector<std::string>& lines, StartWay way, long value) {
    SendFromPlan plan;
    const int start = StartIndex(lines, way, value, plan.Error);
    if (start < 0) {
        return plan;
    }
    const int head = HeadLines(lines);
    if (start < head) {
        plan.Error = "Line " + std::to_string(start + 1) +
                     " is in the program's head (lines 1 to " + std::to_string(head) +
                     "), which is sent anyway: send the whole program.";
        return plan;
    }
    plan.StartLine = start + 1;
    plan.Head.assign(lines.begin(), lines.begin() + head);
    plan.FirstSkipped = head + 1;
    plan.SkippedCount = start - head;
    plan.From = "from line " + std::to_string(plan.StartLine) + Quoted(lines[start]);
    return plan;
}

} // namespace feedrail
