#include "utilities/DetachedProcess.h"

#include "common/FileDescriptor.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace feedrail {
namespace {

// Between fork and exec only async-signal-safe calls are allowed: the
// window's other threads may hold locks the child would never see released.
[[noreturn]] void Report(int pipe, int error) {
    [[maybe_unused]] const ssize_t written = ::write(pipe, &error, sizeof error);
    ::_exit(127);
}

[[noreturn]] void RunProgram(const char* folder, char* const* argv, int pipe) {
    ::setsid();
    if (*folder != '\0' && ::chdir(folder) != 0) {
        Report(pipe, errno);
    }
    ::execv(argv[0], argv);
    Report(pipe, errno);
}

// The middle child ends at once, so the program is adopted by init.
[[noreturn]] void ForkProgram(const char* folder, char* const* argv, int pipe) {
    const pid_t program = ::fork();
    if (program == 0) {
        RunProgram(folder, argv, pipe);
    }
    if (program < 0) {
        Report(pipe, errno);
    }
    ::_exit(0);
}

} // namespace

int StartDetached(const std::string& program, const std::vector<std::string>& arguments,
                  const std::string& folder) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return errno;
    }
    FileDescriptor readEnd(ends[0]);
    FileDescriptor writeEnd(ends[1]);
    const pid_t middle = ::fork();
    if (middle == 0) {
        ForkProgram(folder.c_str(), argv.data(), writeEnd.Get());
    }
    if (middle < 0) {
        return errno;
    }
    writeEnd.Reset();
    while (::waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
    }
    // The pipe closes without a word when exec succeeds.
    int error = 0;
    ssize_t got = 0;
    do {
        got = ::read(readEnd.Get(), &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    return got == static_cast<ssize_t>(sizeof error) ? error : 0;
}

} // namespace feedrail
