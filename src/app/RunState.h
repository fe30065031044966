#pragma once

#include <string>
#include <vector>

namespace feedrail {

// The run-time state the main window shares with the transfers.
struct RunState {
    std::string ProgramDir;
    std::vector<std::string> DirPaths;
    std::string CurrentFile;
    bool CancelRequested = false;
    bool ReceiveOff = false;
    bool TxEnabled = false;
    std::string ReceiveLine;
    int ReceivedLines = 0;
    bool StopPending = false;
    bool Closing = false;
};

} // namespace feedrail
