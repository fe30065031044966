// A machine punches arbitrary bytes through the null-modem pair into a
// receive, in any tape code and handshake: nothing crashes, every byte is
// read, the editor never holds more than the bytes could make, and each line
// that a line break ended before the end of the tape is there, in order.

#include "FuzzCheck.h"
#include "common/ControlChars.h"
#include "profiles/ActiveSettings.h"
#include "profiles/ProfileValues.h"
#include "session/RunState.h"
#include "support/FakeWindowHost.h"
#include "support/NullModemComm.h"
#include "support/QueueHandOver.h"
#include "transfer/PortSetup.h"
#include "transfer/ReceiveTransfer.h"
#include "transfer/SendTransfer.h"
#include "transfer/TapeCode.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace feedrail;
using feedrail::fuzz::Require;

// A receive wired as the main window wires it, on a port whose other end
// plays the machine.
struct ReceiveRig {
    RunState state;
    ActiveSettings settings;
    test::QueueHandOver handOver;
    test::NullModemComm comm{handOver};
    test::FakeWindowHost host{handOver, state};
    SendTransfer send{state, settings, comm, host.ForSend()};
    ReceiveTransfer receive{state, settings, comm, host.ForReceive(), send};
};

void StartReceive(ReceiveRig& rig, int readBufSize) {
    rig.host.ReceivedLines = &rig.state.ReceivedLines;
    rig.comm.SetMonitorEvents(AllCommEvents);
    rig.comm.SetFlowControl(fcNone);
    rig.comm.SetDTRControl(dtrDisable);
    rig.comm.SetRTSControl(rtsDisable);
    rig.comm.SetWriteTimeout(50);
    rig.comm.SetReadBufSize(readBufSize);
    rig.comm.OnRxChar = [&rig](TVaCustomComm&, int count) { rig.receive.Comm1RxChar(count); };
    rig.comm.OnError = [&rig](TVaCustomComm&, int errors) { rig.receive.Comm1Error(errors); };
    rig.receive.ReceiveButtonClick();
    rig.comm.Open();
    SetHandshakeLines(rig.settings.CommHandshake, rig.comm);
    rig.state.ReceivePending = false;
    rig.receive.ReceiveStart();
    // A machine that punches holds its lines up, so that DSR sensitivity
    // and the port's handshakes let its bytes in.
    rig.comm.Machine().EscapeFunction(EscapeCode::SETDTR);
    rig.comm.Machine().EscapeFunction(EscapeCode::SETRTS);
}

bool AllRead(ReceiveRig& rig) {
    ComStat stat;
    rig.comm.GetComStat(stat);
    return stat.cbInQue == 0 && rig.comm.Machine().Pending().empty();
}

// What follows the receive's end waits in the port for Auto Receive, so a
// receive that runs must have read all that came.
void Punch(ReceiveRig& rig, std::string_view bytes) {
    std::size_t written = 0;
    // No wait: the bytes queue at the machine's end and flow as the port reads.
    rig.comm.Machine().Write(bytes.data(), bytes.size(), 0, written);
    Require(
        rig.handOver.RunUntil(
            [&rig] { return AllRead(rig) || rig.host.Session.Phase() != TransferPhase::Receiving; },
            std::chrono::seconds(5)),
        "every byte punched while the receive runs is read");
}

// The characters a receive takes, in order: under the driver's Xon/Xoff the
// port itself takes the raw XON and XOFF bytes.
std::string TakenCharacters(std::string_view bytes, const ActiveSettings& settings) {
    std::string taken;
    for (const char byte : bytes) {
        const bool flowControl = byte == ControlChar::Xon || byte == ControlChar::Xoff;
        if (settings.CommHandshake == HandshakeDriverXonXoff && flowControl) {
            continue;
        }
        if (const auto c = DecodeTapeByte(static_cast<unsigned char>(byte), settings.PunchType)) {
            taken += *c;
        }
    }
    return taken;
}

bool IsSignal(char c) {
    using namespace ControlChar;
    return c == Nul || c == Xon || c == Dc2 || c == Xoff;
}

// The non-empty lines that a line feed ends before the receive ends: at DC4,
// and under RTS/CTS at a "%" line after the first. What follows the end is no
// part of the program; ISO's CR is no part of a line; a DC2 after the punch
// has begun starts it again, dropping what came before.
std::vector<std::string> BrokenLines(std::string_view characters, std::int32_t handshake) {
    std::vector<std::string> lines;
    std::string line;
    bool begun = false;
    bool percentSeen = false;
    for (const char c : characters) {
        const bool percentLine = c == '%' && line.find_first_not_of(" \t") == std::string::npos;
        if (c == '\n') {
            if (!line.empty()) {
                lines.push_back(line);
            }
            line.clear();
            begun = true;
        } else if (c == ControlChar::Dc4 ||
                   (percentLine && percentSeen && handshake == HandshakeRtsCts)) {
            break;
        } else if (c == ControlChar::Dc2 && (begun || !line.empty())) {
            lines.clear();
            line.clear();
            begun = false;
            percentSeen = false;
        } else if (c != '\r' && !IsSignal(c)) {
            line += c;
        }
        percentSeen = percentSeen || (percentLine && handshake == HandshakeRtsCts);
    }
    return lines;
}

bool InOrder(const std::vector<std::string>& wanted, const std::vector<std::string>& lines) {
    auto at = lines.begin();
    for (const std::string& line : wanted) {
        at = std::find(at, lines.end(), line);
        if (at == lines.end()) {
            return false;
        }
        ++at;
    }
    return true;
}

void CheckEditor(const ReceiveRig& rig, std::string_view bytes) {
    const auto& lines = rig.host.Lines;
    std::size_t characters = 0;
    for (const std::string& line : lines) {
        characters += line.size();
    }
    Require(lines.size() <= bytes.size(), "no more lines than bytes");
    Require(characters <= bytes.size(), "no more characters than bytes");
    const auto taken = TakenCharacters(bytes, rig.settings);
    Require(InOrder(BrokenLines(taken, rig.settings.CommHandshake), lines),
            "every line a line break ended is in the editor, in order");
    Require(rig.handOver.Errors.empty(), "no error escapes a handler");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    ReceiveRig rig;
    rig.settings.PunchType = input.ConsumeIntegralInRange(0, 3);
    rig.settings.CommHandshake = input.ConsumeIntegralInRange(0, 5);
    const int readBufSize = input.ConsumeIntegralInRange(16, 4096);
    const std::string bytes = input.ConsumeRemainingBytesAsString();
    StartReceive(rig, readBufSize);
    Punch(rig, bytes);
    CheckEditor(rig, bytes);
    return 0;
}
