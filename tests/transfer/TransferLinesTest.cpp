#include "support/TransferFixture.h"

#include <cstdint>
#include <utility>

namespace feedrail {
namespace {

using ModemStatusBit::MS_CTS_ON;
using ModemStatusBit::MS_DSR_ON;

class TransferLinesTest : public test::TransferFixture {
protected:
    // Our DTR and RTS as the machine sees them: its DSR and its CTS.
    std::pair<bool, bool> MachineSees() const {
        std::uint32_t status = 0;
        EXPECT_EQ(comm_.Machine().GetModemStatus(status), 0);
        return {(status & MS_DSR_ON) != 0, (status & MS_CTS_ON) != 0};
    }
};

// A control that waits for DSR before it punches, or for CTS before it reads,
// needs the lines each start leaves; a settings write made by the start
// itself must not take back a line that the port set-up or the start raised.
TEST_F(TransferLinesTest, EachStartLeavesTheLinesItsHandshakeNeeds) {
    enum class Start { Send, Receive };
    const struct {
        const char* name;
        Start start;
        std::int32_t handshake;
        bool dtr;
        bool rts;
    } rows[] = {
        {"send, Xon/Xoff", Start::Send, 0, true, true},
        {"send, none", Start::Send, 1, true, true},
        {"send, driver Xon/Xoff", Start::Send, 2, true, true},
        {"send, DTR: enabling DTR keeps RTS raised", Start::Send, 3, true, true},
        {"send, RTS/CTS: RTS is the driver's, DTR stays low", Start::Send, 4, false, true},
        {"receive, Xon/Xoff", Start::Receive, 0, true, true},
        {"receive, none", Start::Receive, 1, true, true},
        {"receive, driver Xon/Xoff: only DTR is raised", Start::Receive, 2, true, false},
        {"receive, DTR", Start::Receive, 3, true, true},
        {"receive, RTS/CTS: handing RTS to the driver keeps DTR raised", Start::Receive, 4, true,
         true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        host_.Session.RequestStop();
        comm_.Close();
        comm_.Reconnect();
        comm_.SetFlowControl(fcNone);
        comm_.SetDTRControl(dtrDisable);
        comm_.SetRTSControl(rtsDisable);
        settings_.CommHandshake = row.handshake;
        // An empty editor: a send that starts at once also ends at once, and
        // leaves the lines as its start set them.
        host_.Lines.clear();
        if (row.start == Start::Send) {
            send_.SendButtonClick();
            OpenFor(row.handshake);
            host_.Session.PortOpened();
            send_.SendStart();
        } else {
            receive_.ReceiveButtonClick();
            OpenFor(row.handshake);
            host_.Session.PortOpened();
            receive_.ReceiveStart();
        }
        EXPECT_EQ(MachineSees(), std::make_pair(row.dtr, row.rts)) << "(DSR, CTS) at the machine";
    }
}

} // namespace
} // namespace feedrail
