#include "support/MachineProcess.h"

#include "support/TempFolder.h"

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace feedrail::test {
namespace {

using namespace std::chrono_literals;

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

} // namespace

MachineProcess::MachineProcess(const std::vector<std::string>& args, std::string outputPath,
                               const std::string& linkPath)
    : outputPath_(std::move(outputPath)) {
    std::vector<std::string> words{FEEDRAIL_MACHINE_TOOL};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    int pipeEnds[2] = {-1, -1};
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        throw std::runtime_error("cannot make a pipe for feedrail-machine");
    }
    const FileDescriptor childInput(pipeEnds[0]);
    input_.Reset(pipeEnds[1]);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, childInput.Get(), STDIN_FILENO);
    ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath_.c_str(),
                                       O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    const int failed = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        throw std::runtime_error("cannot start feedrail-machine");
    }
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!linkPath.empty() && !Exists(linkPath) && !Wait(0ms) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(2ms);
    }
}

MachineProcess::~MachineProcess() {
    if (!status_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

std::optional<int> MachineProcess::Wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!status_) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        } else if (std::chrono::steady_clock::now() >= deadline) {
            break;
        } else {
            std::this_thread::sleep_for(2ms);
        }
    }
    return status_;
}

std::optional<int> MachineProcess::Interrupt() {
    Signal(SIGINT);
    return Wait(5s);
}

void MachineProcess::Signal(int signal) const {
    if (!status_) {
        ::kill(pid_, signal);
    }
}

void MachineProcess::Type(const std::string& text) const {
    [[maybe_unused]] const ssize_t written = ::write(input_.Get(), text.data(), text.size());
}

std::string MachineProcess::Output() const {
    return ReadFile(outputPath_);
}

} // namespace feedrail::test
