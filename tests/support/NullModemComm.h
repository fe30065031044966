#pragma once

#include "serial/TVaCustomComm.h"
#include "support/NullModemEnd.h"

#include <memory>

namespace feedrail::test {

// A port component wired to one end of a null-modem cable; the test plays
// the machine on the other end.
class NullModemComm : public TVaCustomComm {
public:
    explicit NullModemComm(EventHandOver& handOver);

    // The end the port opens, and the machine's end.
    NullModemEnd& Device() const { return *device_; }
    NullModemEnd& Machine() const { return *machine_; }
    // A new cable for the next Open: a closed end stays closed.
    void Reconnect();

protected:
    std::shared_ptr<SerialDevice> OpenDevice() override { return device_; }

private:
    std::shared_ptr<NullModemEnd> device_;
    std::shared_ptr<NullModemEnd> machine_;
};

} // namespace feedrail::test
