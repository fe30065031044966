#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace feedrail {

// Which lines of two sequences the shortest edit leaves unmatched, found by
// Myers' O(ND) search in linear space. Lines are numbers (equal lines, equal
// numbers). A line that never occurs on the other side is unmatched before
// the search starts, and a search that grows past a bound splits at its
// furthest point instead of finding the very shortest edit there, so that
// programs that differ throughout still compare in about linear time.
class LineDiff {
public:
    LineDiff(std::span<const std::uint32_t> left, std::span<const std::uint32_t> right);

    // Per line of each side: whether it is unmatched.
    const std::vector<bool>& LeftChanged() const { return leftChanged_; }
    const std::vector<bool>& RightChanged() const { return rightChanged_; }

private:
    struct Box {
        std::int64_t LeftBegin, LeftEnd, RightBegin, RightEnd;
    };
    struct Point {
        std::int64_t Left, Right;
    };

    void Search();
    // Trims the box's common head and tail; whether lines remain on both sides.
    bool Shrink(Box& box);
    Point MiddleSnake(const Box& box);
    Point CheapestSplit(const Box& box, std::int64_t forwardLow, std::int64_t forwardHigh,
                        std::int64_t backwardLow, std::int64_t backwardHigh) const;
    void MarkChanged(const Box& box);

    // The lines that occur on both sides, and where each stands.
    std::vector<std::uint32_t> left_, right_;
    std::vector<std::int64_t> leftAt_, rightAt_;
    // The furthest left index reached on each diagonal, forward and backward.
    std::vector<std::int64_t> forward_, backward_;
    std::int64_t diagonalOffset_ = 0;
    std::vector<bool> leftChanged_, rightChanged_;
};

} // namespace feedrail
