#pragma once

#include "session/LineStatus.h"

#include <string>

namespace feedrail {

// Who reads a status: the operator at the window, who has Esc, or the
// service's journal and its status.
enum class StatusAudience { Window, Service };

// The words of a line's status: the window's tell of Esc where it cancels
// ("Sending Data - press esc to cancel"), the service's leave that out.
std::string StatusText(const LineStatus& status, StatusAudience audience);

} // namespace feedrail
