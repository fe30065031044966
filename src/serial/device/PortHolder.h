#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

namespace feedrail {

// The process that holds the lock on a device, as the kernel lists it in
// /proc/locks, with the name it runs under ("feedrail-dnc").
struct PortHolder {
    pid_t Process = 0;
    std::string Program;
};

// Who holds the lock on the device at `path` (a link is followed); nothing
// when no other process holds one or the kernel does not say.
std::optional<PortHolder> FindPortHolder(const std::string& path);

} // namespace feedrail
