#include "serial/TVaPersistent.h"

namespace feedrail {

void TVaPersistent::EndUpdate() {
    if (updateCount_ > 0) {
        --updateCount_;
    }
    Changed();
}

void TVaPersistent::Changed() {
    if (updateCount_ == 0 && onChange_) {
        onChange_(*this);
    }
}

} // namespace feedrail
