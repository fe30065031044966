#include "support/NullModemPair.h"

namespace feedrail::test {

NullModemPair::NullModemPair() : ends_(NullModemEnd::Cable()) {}

} // namespace feedrail::test
