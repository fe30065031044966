#pragma once

#include <string>
#include <string_view>

namespace feedrail {

// The file a port name opens. "com<N>" (in any letter case) is the file
// com<N> in the program's folder when one is there, a link to the real device
// or to a simulated machine; otherwise the N-th serial port, /dev/ttyS<N-1>.
// Any other name is a path and is used unchanged.
std::string ResolveDevicePath(std::string_view name, std::string_view programDir);
// The link a name "com<N>" looks for in `programDir`; empty for other names.
std::string ComLinkPath(std::string_view name, std::string_view programDir);

// How messages name a port: "COM2" for a name "com<N>", any other name as
// it is ("/dev/ttyUSB0", "rfc2217://10.0.4.21:4001").
std::string PortTitle(std::string_view name);

// What the link at `path` points to; `path` itself when it is no link.
std::string LinkTarget(const std::string& path);
// Whether `path` is a link to nothing.
bool DanglingLink(const std::string& path);

} // namespace feedrail
