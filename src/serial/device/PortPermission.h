#pragma once

#include <string>

namespace feedrail {

// What to tell an operator who may not open the port `path` (the open failed
// with EACCES or EPERM): which group the port belongs to and how to join it,
// or that only its owner may use it.
std::string PortPermissionAdvice(const std::string& path);

} // namespace feedrail
