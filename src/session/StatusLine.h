#pragma once

#include "session/LineStatus.h"
#include "session/TransferProgress.h"

namespace feedrail {

// Where a machine's line tells its status and the progress beside it: the
// window's status label, the service's journal.
class StatusLine {
public:
    virtual ~StatusLine() = default;

    // Replaces the status and shows it at once.
    virtual void ShowStatus(const LineStatus& status) = 0;
    // Transfer progress, shown beside the status; the caller limits how often.
    virtual void ShowProgress(const TransferProgress& progress) = 0;
};

} // namespace feedrail
