#pragma once

#include <chrono>

namespace feedrail::test {

// How long `work` took.
template <typename Work> std::chrono::steady_clock::duration TimeOf(Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::steady_clock::now() - start;
}

} // namespace feedrail::test
