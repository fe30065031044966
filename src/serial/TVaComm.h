#pragma once

#include "serial/TVaCustomComm.h"

namespace feedrail {

// The serial port the program owns. Subclasses of TVaCustomComm may choose a
// different device; this one opens the device its DeviceName names.
class TVaComm : public TVaCustomComm {
public:
    using TVaCustomComm::TVaCustomComm;
};

} // namespace feedrail
