#pragma once

#include "about/RandomSource.h"

#include <cstdint>
#include <random>

namespace feedrail {

// Random numbers from a Mersenne Twister, seeded anew for each run unless a
// seed is given.
class EngineRandom : public RandomSource {
public:
    EngineRandom();
    explicit EngineRandom(std::uint32_t seed);

    int Random(int range) override;

private:
    std::mt19937 engine_;
};

} // namespace feedrail
