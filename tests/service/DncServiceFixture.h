#pragma once

#include "service/StatusSocket.h"
#include "support/ChildProcess.h"
#include "support/MachineProcess.h"
#include "support/TempFolder.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace feedrail::test {

// A process's resident memory, in KiB.
inline long ResidentKib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:")) {
            return std::stol(line.substr(6));
        }
    }
    return 0;
}

// Under a sanitizer the service's memory is mostly the sanitizer's own (its
// shadow, and freed blocks held back to catch their use): only a plain build
// measures the service's.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool MeasuresServiceMemory = false;
#else
inline constexpr bool MeasuresServiceMemory = true;
#endif

using namespace std::chrono_literals;

inline bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// A program of `lines` numbered blocks.
inline std::string Program(const std::string& number, int lines) {
    std::string text = "%\n" + number + "\n";
    for (int line = 1; line <= lines; ++line) {
        text += "N" + std::to_string(line) + " G1 X" + std::to_string(line) + " F200\n";
    }
    return text + "M30\n%\n";
}

// feedrail-dnc serving machines M1.. on com1.. of a profile folder, each the
// simulated control on a pseudo-terminal.
class DncServiceFixture : public ::testing::Test {
protected:
    DncServiceFixture() {
        // The status socket of this test's service, apart from any other.
        ::setenv("XDG_RUNTIME_DIR", folder_.Path().c_str(), 1);
        std::filesystem::create_directories(programs_);
    }

    std::string Profile(const std::string& name) const { return profiles_ + "/" + name; }

    // A sanitizer's report in the service fails the test that ran it.
    void TearDown() override {
        if (service_) {
            service_->Stop(10s);
            EXPECT_EQ(Journal().find("Sanitizer"), std::string::npos) << Journal();
        }
    }

    static std::string Machine(int number) { return "M" + std::to_string(number); }

    std::string Received(int number) const { return folder_.File("received/" + Machine(number)); }

    std::string MachineFolder(int number) const {
        const std::string folder = machines_.File(Machine(number));
        std::filesystem::create_directories(folder);
        return folder;
    }

    void WriteProfiles(int count, const std::string& extra = {}) {
        std::string profiles;
        for (int number = 1; number <= count; ++number) {
            std::filesystem::create_directories(Received(number));
            profiles +=
                "[" + Machine(number) + "]\nCommPort=" + std::to_string(number) +
                "\nCommBaudRate=9600\nCommHandshake=0\nPunchType=1\nDefaultDir=" + programs_ +
                "/\nAutoReceive=1\nReceiveDir=" + Received(number) +
                "/\nRemoteRequest=1\nTransferLog=1\n";
        }
        WriteFile(Profile("DNC.ini"), profiles + extra);
    }

    std::unique_ptr<MachineProcess> StartMachine(int number, std::vector<std::string> args) {
        const std::string folder = MachineFolder(number);
        args.insert(args.end(), {"--link", Profile("com" + std::to_string(number)), "--out", folder,
                                 "--code", "ascii", "--cps", "960"});
        return std::make_unique<MachineProcess>(args, folder + "/machine.log",
                                                Profile("com" + std::to_string(number)));
    }

    // A control whose operator presses Punch with `program` loaded.
    std::unique_ptr<MachineProcess> StartPuncher(int number, const std::string& program,
                                                 std::vector<std::string> args = {}) {
        const std::string file = MachineFolder(number) + "/punch.nc";
        WriteFile(file, program);
        args.insert(args.begin(), {"--punch-on-enter", file});
        return StartMachine(number, args);
    }

    void StartService(std::vector<std::string> extra = {}) {
        extra.insert(extra.begin(), {"--profiles", profiles_ + "/"});
        service_ =
            std::make_unique<ChildProcess>(FEEDRAIL_DNC_TOOL, extra, folder_.File("service.log"));
    }

    // Each machine's status line, by machine.
    std::map<std::string, std::string> Status() const {
        std::map<std::string, std::string> lines;
        try {
            std::istringstream text(AskStatus(StatusSocketPath(folder_.Path() + "/")));
            for (std::string line; std::getline(text, line);) {
                lines[line.substr(0, line.find('\t'))] = line;
            }
        } catch (const std::exception&) {
            // Not answering yet.
        }
        return lines;
    }

    bool Listening(int count) const {
        const auto status = Status();
        for (int number = 1; number <= count; ++number) {
            const auto line = status.find(Machine(number));
            if (line == status.end() || line->second.find("\tlistening") == std::string::npos) {
                return false;
            }
        }
        return true;
    }

    std::string Journal() const { return service_ ? service_->Output() : std::string(); }

    std::string Log() const { return ReadFile(Profile("feedrail-transfers.log")); }

    TempFolder folder_;
    TempFolder machines_;
    std::string programs_ = folder_.File("programs");
    std::string profiles_ = folder_.Path();
    std::unique_ptr<ChildProcess> service_;
};

} // namespace feedrail::test
