#include "support/ChildProcess.h"

#include "common/FileDescriptor.h"
#include "support/TempFolder.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace feedrail::test {
namespace {

using namespace std::chrono_literals;

// Between fork and exec only async-signal-safe calls: the words, the output
// file and the input are all made before.
[[noreturn]] void RunChild(const char* program, char* const* argv, int input, int output,
                           pid_t parent) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have gone before the line above took effect.
    if (::getppid() != parent) {
        ::_exit(127);
    }
    ::dup2(input, STDIN_FILENO);
    ::dup2(output, STDOUT_FILENO);
    ::dup2(output, STDERR_FILENO);
    ::execv(program, argv);
    ::_exit(127);
}

} // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           std::string outputPath)
    : outputPath_(std::move(outputPath)) {
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const FileDescriptor input(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    const FileDescriptor output(
        ::open(outputPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!input.Valid() || !output.Valid()) {
        throw std::runtime_error("cannot write " + outputPath_);
    }
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) {
        RunChild(program.c_str(), argv.data(), input.Get(), output.Get(), parent);
    }
    if (pid_ < 0) {
        throw std::runtime_error("cannot start " + program);
    }
}

ChildProcess::~ChildProcess() {
    Stop(1s);
}

bool ChildProcess::Running() {
    return !Reaped(0ms);
}

void ChildProcess::Stop(std::chrono::milliseconds grace) {
    if (Running()) {
        ::kill(pid_, SIGTERM);
        if (!Reaped(grace)) {
            Kill();
        }
    }
}

void ChildProcess::Kill() {
    if (Running()) {
        ::kill(pid_, SIGKILL);
        Reaped(5s);
    }
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
    if (!Reaped(timeout)) {
        return std::nullopt;
    }
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
}

std::string ChildProcess::Output() const {
    return ReadFile(outputPath_);
}

bool ChildProcess::Reaped(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!reaped_) {
        if (::waitpid(pid_, &status_, WNOHANG) == pid_) {
            reaped_ = true;
        } else if (std::chrono::steady_clock::now() >= deadline) {
            break;
        } else {
            std::this_thread::sleep_for(2ms);
        }
    }
    return reaped_;
}

std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(std::string(path ? path : "") + ":/usr/sbin:/sbin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::string candidate = folder + "/" + name;
        if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

} // namespace feedrail::test
