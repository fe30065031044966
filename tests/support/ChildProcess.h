#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace feedrail::test {

// Another program a test runs beside it (a device server, the line between
// two pseudo-terminals), its output collected in a file. It is stopped when
// the object goes, and killed by the system when the thread that started it
// ends first: a test that aborts, or dies under a sanitizer, leaves nothing
// running.
class ChildProcess {
public:
    // Starts `program` (a full path) with `args`. Throws std::runtime_error
    // when it cannot.
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 std::string outputPath);
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    pid_t Pid() const { return pid_; }
    bool Running();
    // Asks it to end (SIGTERM), and kills it when it still runs after `grace`.
    void Stop(std::chrono::milliseconds grace);
    // Ends it at once (SIGKILL).
    void Kill();
    // Its exit status (128 + the signal that ended it), or nothing when it
    // still runs after `timeout`.
    std::optional<int> Wait(std::chrono::milliseconds timeout);
    std::string Output() const;

private:
    bool Reaped(std::chrono::milliseconds timeout);

    pid_t pid_ = -1;
    bool reaped_ = false;
    int status_ = 0;
    std::string outputPath_;
};

// The full path of `name` on PATH, or in the system folders where Debian
// puts daemons; empty when there is none.
std::string FindProgram(const std::string& name);

} // namespace feedrail::test
