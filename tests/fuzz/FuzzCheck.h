#pragma once

#include <cstdio>
#include <cstdlib>

namespace feedrail::fuzz {

// A broken property ends the run as a crash does, so libFuzzer keeps the
// input that broke it; the message says which property it was.
inline void Require(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

} // namespace feedrail::fuzz
