#include "about/EngineRandom.h"

namespace feedrail {

EngineRandom::EngineRandom() : engine_(std::random_device{}()) {}

EngineRandom::EngineRandom(std::uint32_t seed) : engine_(seed) {}

int EngineRandom::Random(int range) {
    if (range <= 0) {
        return 0;
    }
    return std::uniform_int_distribution<int>(0, range - 1)(engine_);
}

} // namespace feedrail
