#include "compare/ProgramComparison.h"

#include "compare/LineDiff.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <string_view>

namespace feedrail {
namespace {

// What each line of a program is compared by: the line itself, or its part
// the options leave, kept in one block.
class ComparedLines {
public:
    ComparedLines(const ProgramText& text, const CompareOptions& options) {
        lines_.reserve(text.LineCount());
        if (!options.Any()) {
            for (std::size_t i = 0; i < text.LineCount(); ++i) {
                lines_.push_back(text.Line(i));
            }
            return;
        }
        std::vector<std::size_t> ends;
        ends.reserve(text.LineCount());
        parts_.reserve(text.ByteCount());
        for (std::size_t i = 0; i < text.LineCount(); ++i) {
            AppendComparedPart(text.Line(i), options, parts_);
            ends.push_back(parts_.size());
        }
        std::size_t begin = 0;
        for (const std::size_t end : ends) {
            lines_.push_back(std::string_view(parts_).substr(begin, end - begin));
            begin = end;
        }
    }

    const std::vector<std::string_view>& Lines() const { return lines_; }

private:
    std::string parts_;
    std::vector<std::string_view> lines_;
};

// Equal lines get equal numbers, so that the search compares numbers. An
// open table of hashes: a node per line would cost more than the search.
class LineNumbering {
public:
    explicit LineNumbering(std::size_t lines) {
        std::size_t size = 16;
        while (size < 2 * lines) {
            size *= 2;
        }
        slots_.resize(size);
        texts_.reserve(lines);
    }

    std::vector<std::uint32_t> Number(const std::vector<std::string_view>& lines) {
        std::vector<std::uint32_t> numbered;
        numbered.reserve(lines.size());
        for (const std::string_view line : lines) {
            numbered.push_back(NumberOf(line));
        }
        return numbered;
    }

private:
    struct Slot {
        std::uint32_t Hash = 0;
        std::uint32_t Number = Empty;
    };
    static constexpr std::uint32_t Empty = std::numeric_limits<std::uint32_t>::max();

    std::uint32_t NumberOf(std::string_view line) {
        const auto hash = static_cast<std::uint32_t>(std::hash<std::string_view>{}(line));
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
            Slot& slot = slots_[at];
            if (slot.Number == Empty) {
                slot = {hash, static_cast<std::uint32_t>(texts_.size())};
                texts_.push_back(line);
                return slot.Number;
            }
            if (slot.Hash == hash && texts_[slot.Number] == line) {
                return slot.Number;
            }
        }
    }

    std::vector<Slot> slots_;
    std::vector<std::string_view> texts_;
};

void AddStretch(Comparison& result, std::size_t& left, std::size_t leftEnd, std::size_t& right,
                std::size_t rightEnd) {
    if (left == leftEnd && right == rightEnd) {
        return;
    }
    result.Differences.push_back(result.Rows.size());
    for (; left < leftEnd && right < rightEnd; ++left, ++right) {
        result.Rows.push_back({left, right, CompareRow::Changed});
    }
    for (; left < leftEnd; ++left) {
        result.Rows.push_back({left, CompareRow::NoLine, CompareRow::Removed});
    }
    for (; right < rightEnd; ++right) {
        result.Rows.push_back({CompareRow::NoLine, right, CompareRow::Added});
    }
}

} // namespace

Comparison ComparePrograms(const ProgramText& left, const ProgramText& right,
                           const CompareOptions& options) {
    std::vector<std::uint32_t> leftNumbers, rightNumbers;
    {
        const ComparedLines leftLines(left, options);
        const ComparedLines rightLines(right, options);
        LineNumbering numbering(left.LineCount() + right.LineCount());
        leftNumbers = numbering.Number(leftLines.Lines());
        rightNumbers = numbering.Number(rightLines.Lines());
    }
    const LineDiff diff(leftNumbers, rightNumbers);
    const std::vector<bool>& leftChanged = diff.LeftChanged();
    const std::vector<bool>& rightChanged = diff.RightChanged();
    Comparison result;
    result.Rows.reserve(left.LineCount() + right.LineCount());
    std::size_t l = 0, r = 0, same = 0;
    while (l < leftChanged.size() || r < rightChanged.size()) {
        std::size_t leftEnd = l, rightEnd = r;
        while (leftEnd < leftChanged.size() && leftChanged[leftEnd]) {
            ++leftEnd;
        }
        while (rightEnd < rightChanged.size() && rightChanged[rightEnd]) {
            ++rightEnd;
        }
        AddStretch(result, l, leftEnd, r, rightEnd);
        // Unchanged lines pair up one for one, in order.
        for (; l < leftChanged.size() && r < rightChanged.size() && !leftChanged[l] &&
               !rightChanged[r];
             ++l, ++r) {
            result.Rows.push_back({l, r, CompareRow::Same});
            ++same;
        }
    }
    result.Differing = result.Rows.size() - same;
    return result;
}

} // namespace feedrail
