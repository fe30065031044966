#pragma once

#include "common/FileDescriptor.h"

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace feedrail::test {

// feedrail-machine running as a child process, its output collected in a
// file and its standard input a pipe from the test. The process is killed if it still runs when the
// object goes.
class MachineProcess {
public:
    // Starts it with `args`; when `linkPath` is given, returns once the
    // simulated control has linked its line there.
    MachineProcess(const std::vector<std::string>& args, std::string outputPath,
                   const std::string& linkPath = {});
    MachineProcess(const MachineProcess&) = delete;
    MachineProcess& operator=(const MachineProcess&) = delete;
    ~MachineProcess();

    // The exit status, or nothing when it still runs after `timeout`.
    std::optional<int> Wait(std::chrono::milliseconds timeout);
    // Asks it to end as Ctrl+C does and returns its exit status.
    std::optional<int> Interrupt();
    void Signal(int signal) const;
    std::string Output() const;
    // Types `text` on its standard input.
    void Type(const std::string& text) const;

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
    std::string outputPath_;
    FileDescriptor input_;
};

} // namespace feedrail::test
