// feedrail-machine's command line of arbitrary words (the input split at its
// NUL bytes): it is refused with an OptionError or gives settings the
// simulated control can run with, and their description.

#include "FuzzCheck.h"
#include "machine/MachineOptions.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace feedrail::machine;
using feedrail::fuzz::Require;

std::vector<std::string> Words(std::string_view input) {
    std::vector<std::string> words;
    if (input.empty()) {
        return words;
    }
    for (std::size_t nul = input.find('\0'); nul != std::string_view::npos;
         nul = input.find('\0')) {
        words.emplace_back(input.substr(0, nul));
        input.remove_prefix(nul + 1);
    }
    words.emplace_back(input);
    return words;
}

void CheckUsable(const MachineOptions& options) {
    const ReceiverConfig& receiver = options.receiver;
    Require(int{!options.linkPath.empty()} + int{!options.devicePath.empty()} +
                    int{options.listenPort.has_value()} ==
                1,
            "one line to open");
    Require(receiver.punchType >= 1 && receiver.punchType <= 3, "a known tape code");
    Require(options.puncher.eob >= 0 && options.puncher.eob <= 2, "a known end of line");
    Require(receiver.bufferSize > 0 && receiver.lowMark <= receiver.highMark &&
                receiver.highMark <= receiver.bufferSize,
            "marks within the buffer");
    Require(receiver.drainPerSecond > 0 && options.puncher.charsPerSecond > 0, "a pace above 0");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    try {
        const MachineOptions options = ParseMachineOptions(Words(input));
        CheckUsable(options);
        Require(!DescribeOptions(options).empty(), "settings are described");
    } catch (const OptionError&) {
        // Refused with a reason, as the program's usage message shows it.
    }
    return 0;
}
