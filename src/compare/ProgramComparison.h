#pragma once

#include "compare/CompareOptions.h"
#include "compare/ProgramText.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace feedrail {

// One row of two programs side by side.
struct CompareRow {
    enum Kind : std::uint8_t { Same, Changed, Added, Removed };
    static constexpr std::size_t NoLine = std::numeric_limits<std::size_t>::max();

    // Line indexes on the left and right; NoLine where that side has none
    // (an added row has no left line, a removed one no right line).
    std::size_t Left = NoLine;
    std::size_t Right = NoLine;
    Kind What = Same;

    bool operator==(const CompareRow&) const = default;
};

// Two programs compared line by line: every line of each in its order, a
// differing stretch pairing its left and right lines as changed rows while
// both have lines, then its extra lines as removed or added.
struct Comparison {
    std::vector<CompareRow> Rows;
    // Rows that are not the same.
    std::size_t Differing = 0;
    // The first row of each stretch of differing rows, in order.
    std::vector<std::size_t> Differences;
};

Comparison ComparePrograms(const ProgramText& left, const ProgramText& right,
                           const CompareOptions& options);

} // namespace feedrail
