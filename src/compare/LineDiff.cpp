#include "compare/LineDiff.h"

#include <algorithm>
#include <limits>

namespace feedrail {
namespace {

// Past this cost either way a search splits where it got furthest: between
// scattered differences that point lies on a shortest path all the same, and
// two programs that differ throughout, lines repeating on both sides, would
// cost the square of their length without it.
constexpr std::int64_t CostBound = 256;

constexpr std::int64_t Unreached = std::numeric_limits<std::int64_t>::max();

// One more cost step reaches one diagonal further each way, within the box;
// the diagonal just beyond gets `beyond` so that no path comes from there.
template <typename Reach>
void Widen(std::int64_t& low, std::int64_t& high, std::int64_t lowest, std::int64_t highest,
           const Reach& reach, std::int64_t beyond) {
    if (low > lowest) {
        --low;
        reach(low - 1) = beyond;
    } else {
        ++low;
    }
    if (high < highest) {
        ++high;
        reach(high + 1) = beyond;
    } else {
        --high;
    }
}

} // namespace

LineDiff::LineDiff(std::span<const std::uint32_t> left, std::span<const std::uint32_t> right)
    : leftChanged_(left.size()), rightChanged_(right.size()) {
    std::uint32_t most = 0;
    for (const std::uint32_t line : left) {
        most = std::max(most, line);
    }
    for (const std::uint32_t line : right) {
        most = std::max(most, line);
    }
    std::vector<bool> inLeft(std::size_t{most} + 1), inRight(std::size_t{most} + 1);
    for (const std::uint32_t line : left) {
        inLeft[line] = true;
    }
    for (const std::uint32_t line : right) {
        inRight[line] = true;
    }
    const auto keep = [](std::span<const std::uint32_t> lines, const std::vector<bool>& other,
                         std::vector<std::uint32_t>& kept, std::vector<std::int64_t>& at,
                         std::vector<bool>& changed) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (other[lines[i]]) {
                kept.push_back(lines[i]);
                at.push_back(static_cast<std::int64_t>(i));
            } else {
                changed[i] = true;
            }
        }
    };
    keep(left, inRight, left_, leftAt_, leftChanged_);
    keep(right, inLeft, right_, rightAt_, rightChanged_);
    const auto n = static_cast<std::int64_t>(left_.size());
    const auto m = static_cast<std::int64_t>(right_.size());
    forward_.resize(static_cast<std::size_t>(n + m + 3));
    backward_.resize(forward_.size());
    diagonalOffset_ = m + 1;
    Search();
}

void LineDiff::Search() {
    // A stack rather than recursion: splits far off the middle would nest
    // deeply.
    std::vector<Box> boxes{
        {0, static_cast<std::int64_t>(left_.size()), 0, static_cast<std::int64_t>(right_.size())}};
    while (!boxes.empty()) {
        Box box = boxes.back();
        boxes.pop_back();
        if (!Shrink(box)) {
            continue;
        }
        const Point split = MiddleSnake(box);
        const bool atStart = split.Left == box.LeftBegin && split.Right == box.RightBegin;
        const bool atEnd = split.Left == box.LeftEnd && split.Right == box.RightEnd;
        if (atStart || atEnd) {
            MarkChanged(box);
            continue;
        }
        boxes.push_back({split.Left, box.LeftEnd, split.Right, box.RightEnd});
        boxes.push_back({box.LeftBegin, split.Left, box.RightBegin, split.Right});
    }
}

bool LineDiff::Shrink(Box& box) {
    while (box.LeftBegin < box.LeftEnd && box.RightBegin < box.RightEnd &&
           left_[box.LeftBegin] == right_[box.RightBegin]) {
        ++box.LeftBegin;
        ++box.RightBegin;
    }
    while (box.LeftBegin < box.LeftEnd && box.RightBegin < box.RightEnd &&
           left_[box.LeftEnd - 1] == right_[box.RightEnd - 1]) {
        --box.LeftEnd;
        --box.RightEnd;
    }
    if (box.LeftBegin == box.LeftEnd || box.RightBegin == box.RightEnd) {
        MarkChanged(box);
        return false;
    }
    return true;
}

// Runs the search from both corners at once, one cost step each way, until
// the paths meet on a diagonal: the point where they meet lies on a shortest
// edit path.
LineDiff::Point LineDiff::MiddleSnake(const Box& box) {
    const auto f = [this](std::int64_t d) -> std::int64_t& {
        return forward_[static_cast<std::size_t>(d + diagonalOffset_)];
    };
    const auto b = [this](std::int64_t d) -> std::int64_t& {
        return backward_[static_cast<std::size_t>(d + diagonalOffset_)];
    };
    const std::int64_t lowest = box.LeftBegin - box.RightEnd;
    const std::int64_t highest = box.LeftEnd - box.RightBegin;
    const std::int64_t forwardMid = box.LeftBegin - box.RightBegin;
    const std::int64_t backwardMid = box.LeftEnd - box.RightEnd;
    const bool odd = ((forwardMid - backwardMid) & 1) != 0;
    f(forwardMid) = box.LeftBegin;
    b(backwardMid) = box.LeftEnd;
    std::int64_t fLow = forwardMid, fHigh = forwardMid, bLow = backwardMid, bHigh = backwardMid;
    for (std::int64_t cost = 1;; ++cost) {
        Widen(fLow, fHigh, lowest, highest, f, -1);
        for (std::int64_t d = fHigh; d >= fLow; d -= 2) {
            std::int64_t x = f(d - 1) >= f(d + 1) ? f(d - 1) + 1 : f(d + 1);
            std::int64_t y = x - d;
            while (x < box.LeftEnd && y < box.RightEnd && left_[x] == right_[y]) {
                ++x;
                ++y;
            }
            f(d) = x;
            if (odd && bLow <= d && d <= bHigh && b(d) <= x) {
                return {x, y};
            }
        }
        Widen(bLow, bHigh, lowest, highest, b, Unreached);
        for (std::int64_t d = bHigh; d >= bLow; d -= 2) {
            std::int64_t x = b(d - 1) < b(d + 1) ? b(d - 1) : b(d + 1) - 1;
            std::int64_t y = x - d;
            while (x > box.LeftBegin && y > box.RightBegin && left_[x - 1] == right_[y - 1]) {
                --x;
                --y;
            }
            b(d) = x;
            if (!odd && fLow <= d && d <= fHigh && x <= f(d)) {
                return {x, y};
            }
        }
        if (cost >= CostBound) {
            return CheapestSplit(box, fLow, fHigh, bLow, bHigh);
        }
    }
}

// The search grew too costly: the point either way that got furthest from
// its corner splits the box.
LineDiff::Point LineDiff::CheapestSplit(const Box& box, std::int64_t forwardLow,
                                        std::int64_t forwardHigh, std::int64_t backwardLow,
                                        std::int64_t backwardHigh) const {
    Point forward{box.LeftBegin, box.RightBegin};
    for (std::int64_t d = forwardHigh; d >= forwardLow; d -= 2) {
        std::int64_t x =
            std::min(forward_[static_cast<std::size_t>(d + diagonalOffset_)], box.LeftEnd);
        std::int64_t y = x - d;
        if (y > box.RightEnd) {
            x = box.RightEnd + d;
            y = box.RightEnd;
        }
        if (x + y > forward.Left + forward.Right) {
            forward = {x, y};
        }
    }
    Point backward{box.LeftEnd, box.RightEnd};
    for (std::int64_t d = backwardHigh; d >= backwardLow; d -= 2) {
        std::int64_t x =
            std::max(backward_[static_cast<std::size_t>(d + diagonalOffset_)], box.LeftBegin);
        std::int64_t y = x - d;
        if (y < box.RightBegin) {
            x = box.RightBegin + d;
            y = box.RightBegin;
        }
        if (x + y < backward.Left + backward.Right) {
            backward = {x, y};
        }
    }
    const std::int64_t forwardGain =
        forward.Left + forward.Right - (box.LeftBegin + box.RightBegin);
    const std::int64_t backwardGain = box.LeftEnd + box.RightEnd - (backward.Left + backward.Right);
    return forwardGain >= backwardGain ? forward : backward;
}

void LineDiff::MarkChanged(const Box& box) {
    for (std::int64_t i = box.LeftBegin; i < box.LeftEnd; ++i) {
        leftChanged_[static_cast<std::size_t>(leftAt_[static_cast<std::size_t>(i)])] = true;
    }
    for (std::int64_t i = box.RightBegin; i < box.RightEnd; ++i) {
        rightChanged_[static_cast<std::size_t>(rightAt_[static_cast<std::size_t>(i)])] = true;
    }
}

} // namespace feedrail
