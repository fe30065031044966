#pragma once

#include <string>
#include <string_view>

namespace feedrail {

// The text of a failed file operation, naming the item and the system's
// reason: "Cannot <action> <item>: <strerror>".
std::string OperationError(std::string_view action, std::string_view item, int error);

} // namespace feedrail
