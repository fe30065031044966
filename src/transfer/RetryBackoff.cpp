#include "transfer/RetryBackoff.h"

#include <algorithm>

namespace feedrail {

std::chrono::seconds RetryBackoff::Failed() {
    if (up_ && now_() - upSince_ >= Longest) {
        next_ = First;
    }
    up_ = false;
    const std::chrono::seconds wait = next_;
    next_ = std::min(next_ * 2, Longest);
    return wait;
}

void RetryBackoff::Up() {
    up_ = true;
    upSince_ = now_();
}

} // namespace feedrail
