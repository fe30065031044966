#pragma once

#include "session/TransferProgress.h"

#include <string>

namespace feedrail {

// The window's status label and the progress text beside it.
class StatusLine {
public:
    virtual ~StatusLine() = default;

    // Replaces the status and repaints it at once.
    virtual void ShowStatus(const std::string& text) = 0;
    // Transfer progress, shown beside the status; the caller limits how often.
    virtual void ShowProgress(const TransferProgress& progress) = 0;
};

} // namespace feedrail
