#pragma once

#include <string>
#include <vector>

namespace feedrail {

// The run-time state the main window shares with the transfers. The request
// flags, WaitingForRemoteStart, Receiving and Closing change only through
// TransferSession, in step with its phase.
struct RunState {
    std::string ProgramDir;
    std::vector<std::string> DirPaths;
    std::string CurrentFile;
    // A renumbering or a printout is to stop at its next step.
    bool CancelRequested = false;
    bool WaitingForRemoteStart = false;
    int ReceivedLines = 0;
    bool SendPending = false;
    bool StopPending = false;
    bool ReceivePending = false;
    bool Closing = false;
    // Received lines are in the editor that no Save, Clear or Get has dealt with.
    bool ReceivedUnsaved = false;
    // A receive has started and not ended: only then do arriving bytes count
    // as received in the progress text.
    bool Receiving = false;
};

} // namespace feedrail
