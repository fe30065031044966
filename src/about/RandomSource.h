#pragma once

namespace feedrail {

// Whole random numbers for the animations; tests put a seeded one in.
class RandomSource {
public:
    virtual ~RandomSource() = default;

    // 0 to `range` - 1; 0 when `range` is 0 or less.
    virtual int Random(int range) = 0;
};

} // namespace feedrail
