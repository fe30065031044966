#include "line/StatusText.h"

#include "transfer/LineErrorMessages.h"

#include <algorithm>
#include <cstring>

namespace feedrail {
namespace {

std::string LineErrorText(std::uint32_t flag) {
    const auto* message = std::find_if(LineErrorMessages.begin(), LineErrorMessages.end(),
                                       [flag](const auto& entry) { return entry.first == flag; });
    return message == LineErrorMessages.end() ? std::string() : message->second;
}

// "COM2", or the device opened for it with its name: "/dev/ttyUSB0 (COM2)".
std::string PortNamed(const LineStatus& status) {
    return status.Device == status.Port ? status.Port : status.Device + " (" + status.Port + ")";
}

// The same words at every try, so that a journal says them once.
std::string DeviceText(const LineStatus& status) {
    std::string text;
    switch (status.Code) {
    case StatusCode::PortGone:
        text = "The port " + PortNamed(status) + " is gone: unplugged or switched off?";
        break;
    case StatusCode::ConnectionLost:
        text = "The connection to " + status.Port + " is lost: " + status.Reason + ".";
        break;
    default:
        text = "The connection to " + status.Port + " cannot be made: " + status.Reason + ".";
        break;
    }
    return status.Retrying ? text + " Trying again until it is back." : text;
}

std::string SavedText(const LineStatus& status) {
    return "Saved " + status.Path + (status.Incomplete ? " (incomplete)" : "") +
           (status.Reason.empty() ? "" : " (" + status.Reason + ")") +
           (status.LogFailed ? "; the transfer log could not be written" : "");
}

std::string FilingText(const LineStatus& status) {
    const std::string leftover = "A punch cut short when Feedrail last ended was ";
    switch (status.Code) {
    case StatusCode::LeftoverKept:
        return leftover + "kept as " + status.Path;
    case StatusCode::LeftoverNotKept:
        return leftover + "not kept: " + std::strerror(status.Error);
    case StatusCode::LogNotWritten:
        return "Cannot write " + status.Path + ": " + std::strerror(status.Error);
    case StatusCode::ProgramNotKept:
        return "Received program not kept: Auto Receive is off";
    case StatusCode::ProgramNotSaved:
        return "Cannot save the received program: " + status.Reason;
    case StatusCode::RequestNotFound:
        return "Requested program " + status.Program + " not found" +
               (status.Reason.empty() ? "" : "; " + status.Reason);
    case StatusCode::RequestNotAnswered:
        return "Request for " + status.Program + " " + status.Reason;
    default:
        return SavedText(status);
    }
}

} // namespace

std::string StatusText(const LineStatus& status, StatusAudience audience) {
    const bool keys = audience == StatusAudience::Window;
    switch (status.Code) {
    case StatusCode::NotEncodable:
        return "Cannot send in EIA: " + status.Reason;
    case StatusCode::WaitingForXon:
        return "Waiting for Remote Start";
    case StatusCode::WaitingForCts:
        return keys ? "Waiting for Remote Start-press esc to cancel" : "Waiting for Remote Start";
    case StatusCode::MachineXon:
        return "xon";
    case StatusCode::Sending:
        return keys ? "Sending Data - press esc to cancel" : "Sending Data";
    case StatusCode::PausedByMachine:
        return "Paused by the machine (XOFF)";
    case StatusCode::SendFinished:
        return "Finished Send";
    case StatusCode::SendStoppedBetweenLines:
        return "Sending Canceled";
    case StatusCode::SendCancelled:
        return "Send Cancelled";
    case StatusCode::ServiceEnds:
        return "Stopped: the service ends";
    case StatusCode::WaitingForData:
        return "Waiting For Data";
    case StatusCode::Receiving:
        return "Receiving Data";
    case StatusCode::ReceiveFinished:
        return "Finished Receiving";
    case StatusCode::LineTooLong:
        return "Receive stopped: line " + std::to_string(status.Line) +
               " is longer than 1 MiB (is the tape code right?)";
    case StatusCode::ReadFailed:
        return "Error reading incoming data...";
    case StatusCode::LineError:
        return LineErrorText(status.LineErrorFlag);
    case StatusCode::LeftoverKept:
    case StatusCode::LeftoverNotKept:
    case StatusCode::LogNotWritten:
    case StatusCode::ProgramNotKept:
    case StatusCode::ProgramNotSaved:
    case StatusCode::ProgramSaved:
    case StatusCode::RequestNotFound:
    case StatusCode::RequestNotAnswered:
        return FilingText(status);
    case StatusCode::PortGone:
    case StatusCode::ConnectionLost:
    case StatusCode::ConnectionNotMade:
        return DeviceText(status);
    case StatusCode::PortBack:
        return "The port " + PortNamed(status) + " is back";
    case StatusCode::PortNotOpened:
        return status.Reason + (status.Retrying ? ". Trying again until it opens." : "");
    }
    // Only a value cast from outside the codes comes here.
    return {};
}

} // namespace feedrail
