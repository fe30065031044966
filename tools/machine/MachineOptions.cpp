#include "machine/MachineOptions.h"

#include "profiles/WholeNumber.h"

#include <algorithm>
#include <limits>
#include <map>

namespace feedrail::machine {
namespace {

using namespace std::chrono_literals;

void ApplyPreset(const std::string& preset, MachineOptions& options) {
    ReceiverConfig& receiver = options.receiver;
    if (preset == "fanuc") {
        receiver.xonXoff = true;
        receiver.xonAtStart = true;
        receiver.overrunLimit = 10;
    } else if (preset == "haas") {
        receiver.xonXoff = true;
        receiver.xonAtStart = true;
        receiver.xonRepeat = 5s;
        receiver.overrunLimit = 10;
    } else if (preset == "plain") {
        receiver.xonXoff = false;
        receiver.xonAtStart = false;
        receiver.overrunLimit = std::numeric_limits<std::size_t>::max();
        options.puncher.dcCodes = false;
    } else {
        throw OptionError("unknown preset '" + preset + "'");
    }
}

std::int32_t Choice(const std::map<std::string, std::int32_t>& choices, const std::string& option,
                    const std::string& value) {
    const auto found = choices.find(value);
    if (found == choices.end()) {
        throw OptionError("unknown value '" + value + "' for " + option);
    }
    return found->second;
}

std::size_t Count(const std::string& option, const std::string& value) {
    const auto number = ParseWholeNumber(value);
    if (!number || *number <= 0) {
        throw OptionError(option + " needs a whole number above 0, not '" + value + "'");
    }
    return static_cast<std::size_t>(*number);
}

// Blank tape is made in memory before the punch starts; 10000 characters are
// some 25 metres of tape, more than any reader needs to thread it.
constexpr std::size_t MostBlankTape = 10000;

std::size_t BlankTape(const std::string& option, const std::string& value) {
    const std::size_t count = Count(option, value);
    if (count > MostBlankTape) {
        throw OptionError(option + " is at most " + std::to_string(MostBlankTape) + ", not '" +
                          value + "'");
    }
    return count;
}

int ListenPort(const std::string& value) {
    const std::string digits = value.starts_with("tcp:") ? value.substr(4) : "";
    const bool number =
        !digits.empty() && digits.size() <= 5 &&
        std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!number || std::stoi(digits) > 65535) {
        throw OptionError("--listen needs tcp:PORT, PORT from 0 to 65535, not '" + value + "'");
    }
    return std::stoi(digits);
}

const std::map<std::string, std::int32_t> Codes{{"ascii", 1}, {"eia", 2}, {"iso", 3}};
const std::map<std::string, std::int32_t> LineEnds{{"crlf", 0}, {"lfcrcr", 1}, {"lf", 2}};

void ApplyOption(const std::string& option, const std::string& value, MachineOptions& options) {
    ReceiverConfig& receiver = options.receiver;
    if (option == "--link") {
        options.linkPath = value;
    } else if (option == "--device") {
        options.devicePath = value;
    } else if (option == "--listen") {
        options.listenPort = ListenPort(value);
    } else if (option == "--code") {
        receiver.punchType = options.puncher.punchType = Choice(Codes, option, value);
    } else if (option == "--eob") {
        options.puncher.eob = Choice(LineEnds, option, value);
    } else if (option == "--handshake") {
        receiver.xonXoff = Choice({{"xonxoff", 1}, {"none", 0}}, option, value) == 1;
        receiver.xonAtStart = receiver.xonAtStart && receiver.xonXoff;
    } else if (option == "--buffer") {
        receiver.bufferSize = Count(option, value);
        receiver.highMark = receiver.bufferSize * 3 / 4;
        receiver.lowMark = receiver.bufferSize / 4;
    } else if (option == "--drain") {
        receiver.drainPerSecond = static_cast<double>(Count(option, value));
    } else if (option == "--xon-repeat") {
        receiver.xonRepeat = std::chrono::milliseconds(Count(option, value));
    } else if (option == "--overrun-limit") {
        receiver.overrunLimit = Count(option, value);
    } else if (option == "--out") {
        options.outFolder = value;
    } else if (option == "--programs") {
        options.programs = static_cast<int>(Count(option, value));
    } else if (option == "--raw") {
        options.rawFile = value;
    } else if (option == "--leader") {
        options.puncher.leader = BlankTape(option, value);
    } else if (option == "--trailer") {
        options.puncher.trailer = BlankTape(option, value);
    } else if (option == "--punch-on-enter") {
        options.punchOnEnter = value;
    } else if (option == "--start-after") {
        options.startAfter = std::chrono::milliseconds(Count(option, value));
    } else if (option == "--cps") {
        options.puncher.charsPerSecond = static_cast<double>(Count(option, value));
    } else if (option != "--preset") {
        throw OptionError("unknown option '" + option + "'");
    }
}

bool Given(const std::vector<std::pair<std::string, std::string>>& settings,
           const std::string& option) {
    return std::any_of(settings.begin(), settings.end(),
                       [&](const auto& setting) { return setting.first == option; });
}

// A control that asked for a program is done once the answer has come,
// unless told otherwise.
void ApplyRequest(const std::vector<std::string>& words,
                  const std::vector<std::pair<std::string, std::string>>& settings,
                  MachineOptions& options) {
    const std::string number = words.size() == 2 ? words[1] : "";
    const bool numbered =
        number.size() > 1 && (number[0] == 'O' || number[0] == 'o') &&
        std::all_of(number.begin() + 1, number.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!numbered) {
        throw OptionError("request needs one program number such as O1234");
    }
    options.requestNumber = "O" + number.substr(1);
    if (!Given(settings, "--programs")) {
        options.programs = 1;
    }
}

} // namespace

MachineOptions ParseMachineOptions(const std::vector<std::string>& args) {
    MachineOptions options;
    std::vector<std::pair<std::string, std::string>> settings;
    std::vector<std::string> words;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (!args[i].starts_with("--")) {
            words.push_back(args[i]);
        } else if (i + 1 >= args.size()) {
            throw OptionError(args[i] + " needs a value");
        } else {
            settings.emplace_back(args[i], args[i + 1]);
            ++i;
        }
    }
    for (const auto& [option, value] : settings) {
        if (option == "--preset") {
            options.preset = value;
        }
    }
    ApplyPreset(options.preset, options);
    for (const auto& [option, value] : settings) {
        ApplyOption(option, value, options);
    }
    if (!words.empty() && words[0] == "punch") {
        if (words.size() != 2) {
            throw OptionError("punch needs one program file");
        }
        options.punch = true;
        options.punchFile = words[1];
    } else if (!words.empty() && words[0] == "request") {
        ApplyRequest(words, settings, options);
    } else if (!words.empty() && !(words[0] == "receive" && words.size() == 1)) {
        throw OptionError("unexpected '" + words[0] + "'");
    }
    if ((options.punch || !options.requestNumber.empty()) && !options.punchOnEnter.empty()) {
        throw OptionError("--punch-on-enter is for receive");
    }
    const int lines = int{!options.linkPath.empty()} + int{!options.devicePath.empty()} +
                      int{options.listenPort.has_value()};
    if (lines != 1) {
        throw OptionError("give one of --link, --device or --listen");
    }
    return options;
}

std::string DescribeOptions(const MachineOptions& options) {
    const ReceiverConfig& receiver = options.receiver;
    static const char* codeNames[] = {"", "ASCII", "EIA", "ISO"};
    std::string text =
        options.punch ? "punching " + options.punchFile : "receiving into " + options.outFolder;
    if (!options.requestNumber.empty()) {
        text = "requesting " + options.requestNumber + ", " + text;
    }
    text += ", " + std::string(codeNames[receiver.punchType]) + ", preset " + options.preset;
    text += receiver.xonXoff ? ", Xon/Xoff" : ", no handshake";
    if (!options.punch) {
        text += ", buffer " + std::to_string(receiver.bufferSize) + " drained at " +
                std::to_string(static_cast<long>(receiver.drainPerSecond)) + " cps";
        if (receiver.xonXoff) {
            text +=
                ", alarm after " + std::to_string(receiver.overrunLimit) + " characters past XOFF";
        }
    }
    return text;
}

} // namespace feedrail::machine
