#pragma once

#include "machine/ControlPuncher.h"
#include "machine/ControlReceiver.h"

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace feedrail::machine {

// What feedrail-machine is asked to do.
struct MachineOptions {
    bool punch = false;
    std::string punchFile;
    // "O1234" for `request O1234`: a request punched first, then the answer
    // received.
    std::string requestNumber;
    // While receiving, each line typed on standard input punches this file,
    // as the operator's Punch key on the control would.
    std::string punchOnEnter;
    std::string linkPath;
    std::string devicePath;
    // `--listen tcp:PORT`: the line is the one connection taken on PORT, 0
    // for a free one.
    std::optional<int> listenPort;
    std::string outFolder = ".";
    std::string rawFile;
    std::optional<int> programs;
    // How long a punch waits before its first character, as an operator
    // would before pressing Punch.
    std::chrono::milliseconds startAfter{0};
    // Its XON, repeated while it waits, starts a send that began waiting after
    // the first one: "fanuc" says it once, at the start, and a send pressed
    // later would wait for ever.
    std::string preset = "haas";
    ReceiverConfig receiver;
    PunchConfig puncher;
};

class OptionError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Throws OptionError for anything it cannot use.
MachineOptions ParseMachineOptions(const std::vector<std::string>& args);

// One line describing the settings, as the program prints it.
std::string DescribeOptions(const MachineOptions& options);

} // namespace feedrail::machine
