#include "line/MachineLine.h"

#include "serial/EVaCommError.h"
#include "transfer/PortSetup.h"

namespace feedrail {

MachineLine::MachineLine(MachineLineHosts hosts)
    : hosts_(std::move(hosts)), port_(hosts_.Events, hosts_.ProgramDir),
      send_(hosts_.State, hosts_.Settings, port_,
            {.Status = hosts_.Status,
             .Editor = hosts_.Editor,
             .Ui = hosts_.Ui,
             .Session = hosts_.Session,
             .Leader = hosts_.Leader}),
      receive_(hosts_.State, hosts_.Settings, port_,
               {.Status = hosts_.Status,
                .Editor = hosts_.Editor,
                .Ui = hosts_.Ui,
                .Session = hosts_.Session},
               send_),
      automation_(hosts_.State, hosts_.Settings, port_, send_,
                  {.Status = hosts_.Status,
                   .Ui = hosts_.Ui,
                   .Session = hosts_.Session,
                   .Editor = hosts_.Editor,
                   .ShowFiledProgram = hosts_.ShowFiledProgram,
                   .LoadFile = hosts_.LoadFile,
                   .ShowError = hosts_.ShowError}),
      lineLoss_(port_, send_, receive_, automation_,
                {.Status = hosts_.LossStatus,
                 .Ui = hosts_.Ui,
                 .Session = hosts_.Session,
                 .ReopenPort = hosts_.ReopenPort}) {
    // The handshake's lines and flow control are set at each opening.
    port_.SetMonitorEvents(AllCommEvents);
    port_.SetFlowControl(fcNone);
    port_.SetDTRControl(dtrDisable);
    port_.SetRTSControl(rtsDisable);
    BindPortEvents();
}

void MachineLine::ApplyProfile() {
    ApplyProfileToPort(hosts_.Settings, port_);
}

void MachineLine::OpenPort() {
    ApplyProfile();
    port_.Open();
    try {
        SetHandshakeLines(hosts_.Settings.CommHandshake, port_);
    } catch (const EVaCommError&) {
        port_.Close();
        throw;
    }
}

void MachineLine::BindPortEvents() {
    port_.OnRxChar = [this](TVaCustomComm&, int count) {
        automation_.Reading() ? automation_.Comm1RxChar(count) : receive_.Comm1RxChar(count);
    };
    send_.OnEnded([this](TransferRecord record) { automation_.Log(std::move(record)); });
    receive_.OnEnded([this](TransferRecord record) { automation_.Log(std::move(record)); });
    port_.OnError = [this](TVaCustomComm&, int errors) { lineLoss_.Comm1Error(errors); };
    port_.OnReached = [this](TVaCustomComm&) {
        if (hosts_.Reached) {
            hosts_.Reached();
        }
        lineLoss_.Comm1Reached();
    };
}

} // namespace feedrail
