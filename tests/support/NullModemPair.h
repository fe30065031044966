#pragma once

#include "support/NullModemEnd.h"

#include <array>
#include <memory>

namespace feedrail::test {

// Two serial devices joined by an in-memory null-modem cable. Each end keeps
// the cable alive, so either may outlive the pair.
class NullModemPair {
public:
    NullModemPair();

    std::shared_ptr<NullModemEnd> A() const { return ends_[0]; }
    std::shared_ptr<NullModemEnd> B() const { return ends_[1]; }

private:
    std::array<std::shared_ptr<NullModemEnd>, 2> ends_;
};

} // namespace feedrail::test
