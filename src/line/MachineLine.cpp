#include "line/MachineLine.h"

#include "serial/EVaCommError.h"
#include "transfer/PortSetup.h"

namespace feedrail {

MachineLine::MachineLine(MachineLineHosts hosts)
    : hosts_(std::move(hosts)), relay_(hosts_.Status, told_), lossRelay_(hosts_.LossStatus, told_),
      port_(hosts_.Events, hosts_.ProgramDir), send_(hosts_.State, hosts_.Settings, port_,
                                                     {.Status = relay_,
                                                      .Program = hosts_.Program,
                                                      .Ui = hosts_.Ui,
                                                      .Session = hosts_.Session,
                                                      .Leader = hosts_.Leader}),
      receive_(
          hosts_.State, hosts_.Settings, port_,
          {.Status = relay_, .Editor = hosts_.Received, .Ui = hosts_.Ui, .Session = hosts_.Session},
          send_),
      automation_(hosts_.State, hosts_.Settings, port_, send_,
                  {.Status = relay_,
                   .Ui = hosts_.Ui,
                   .Session = hosts_.Session,
                   .Editor = hosts_.Received,
                   .ShowFiledProgram = hosts_.ShowFiledProgram,
                   .LoadFile = hosts_.LoadFile,
                   .ShowError = hosts_.ShowError,
                   .FindProgram = hosts_.FindProgram}),
      lineLoss_(port_, send_, receive_, automation_,
                {.Status = lossRelay_,
                 .Ui = hosts_.Ui,
                 .Session = hosts_.Session,
                 .ReopenPort = hosts_.ReopenPort}) {
    // The handshake's lines and flow control are set at each opening.
    port_.SetMonitorEvents(AllCommEvents);
    port_.SetFlowControl(fcNone);
    port_.SetDTRControl(dtrDisable);
    port_.SetRTSControl(rtsDisable);
    BindPortEvents();
    automation_.OnRecord([this](const TransferRecord& record) { Recorded(record); });
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

LineSnapshot MachineLine::Snapshot() const {
    const TransferSession& session = hosts_.Session;
    return {.Phase = session.Phase(),
            .Sending = session.Sending(),
            .PortOpen = port_.Active(),
            .Reaching = port_.Active() && port_.Connecting(),
            .Listening = automation_.Listening(),
            .Collecting = automation_.Collecting(),
            .AwaitingXon = automation_.AwaitingXon(),
            .PausedByMachine = send_.PausedByMachine(),
            .Status = told_.Status,
            .Progress = told_.Progress,
            .LastTransfer = lastRecord_,
            .LastTransferAt = lastRecordAt_};
}

void MachineLine::OnRecord(std::function<void(const TransferRecord&)> recorded) {
    recorded_.push_back(std::move(recorded));
}

void MachineLine::Recorded(const TransferRecord& record) {
    lastRecord_ = record;
    lastRecordAt_ = std::chrono::system_clock::now();
    // By index: a listener may add another.
    for (std::size_t i = 0; i < recorded_.size(); ++i) {
        recorded_[i](record);
    }
}

void MachineLine::Relay::ShowStatus(const LineStatus& status) {
    told_.Status = status;
    host_.ShowStatus(status);
}

void MachineLine::Relay::ShowProgress(const TransferProgress& progress) {
    told_.Progress = progress;
    host_.ShowProgress(progress);
}

} // namespace feedrail
