#include "serial/device/ComPortSettings.h"

#include "serial/device/LineRules.h"
#include "serial/device/SerialDevice.h"
#include "serial/device/TelnetCodec.h"

namespace feedrail {
namespace {

using namespace ComPortControl;

ComPortSetting Byte(std::uint8_t command, std::uint8_t value) {
    return {command, std::string(1, static_cast<char>(value))};
}

std::uint8_t OutboundFlow(const SerialSettings& settings) {
    return (settings.Flags & DcbFlag::fOutxCtsFlow) != 0 ? HardwareFlowControl : NoFlowControl;
}

std::uint8_t InboundFlow(const SerialSettings& settings) {
    if ((settings.Flags & DcbFlag::RtsControlMask) == DcbFlag::RtsControlHandshake) {
        return HardwareInboundFlowControl;
    }
    return (settings.Flags & DcbFlag::fInX) != 0 ? XonXoffInboundFlowControl : NoInboundFlowControl;
}

// RFC 2217 counts stop sizes 1, 2 and 1.5 as 1, 2 and 3.
std::uint8_t StopSize(std::uint8_t stopBits) {
    switch (stopBits) {
    case One5StopBits:
        return 3;
    case TwoStopBits:
        return 2;
    default:
        return 1;
    }
}

void AddLineRequest(std::vector<ComPortSetting>& requests, LineAction action, std::uint8_t on,
                    std::uint8_t off) {
    // A line driven by a handshake starts raised, as on a local port.
    if (action != LineAction::Keep) {
        requests.push_back(Byte(ComPort::SetControl, action == LineAction::Drop ? off : on));
    }
}

} // namespace

std::vector<ComPortSetting> ComPortSettingRequests(const std::optional<SerialSettings>& previous,
                                                   const SerialSettings& settings) {
    std::vector<ComPortSetting> requests;
    const auto changed = [&](auto field) {
        return !previous || settings.*field != (*previous).*field;
    };
    if (changed(&SerialSettings::BaudRate)) {
        requests.push_back({ComPort::SetBaudRate, ComPortValue32(settings.BaudRate)});
    }
    if (changed(&SerialSettings::ByteSize)) {
        requests.push_back(Byte(ComPort::SetDataSize, settings.ByteSize));
    }
    if (changed(&SerialSettings::Parity)) {
        requests.push_back(
            Byte(ComPort::SetParity, static_cast<std::uint8_t>(settings.Parity + 1)));
    }
    if (changed(&SerialSettings::StopBits)) {
        requests.push_back(Byte(ComPort::SetStopSize, StopSize(settings.StopBits)));
    }
    // Setting the outbound flow control sets the inbound one too, so the
    // inbound one follows it every time.
    const bool outbound = !previous || OutboundFlow(*previous) != OutboundFlow(settings);
    if (outbound) {
        requests.push_back(Byte(ComPort::SetControl, OutboundFlow(settings)));
    }
    if (outbound || InboundFlow(*previous) != InboundFlow(settings)) {
        requests.push_back(Byte(ComPort::SetControl, InboundFlow(settings)));
    }
    const LineActions actions =
        LineModeActions(previous ? std::optional(previous->Flags) : std::nullopt, settings.Flags);
    AddLineRequest(requests, actions.Dtr, DtrOn, DtrOff);
    AddLineRequest(requests, actions.Rts, RtsOn, RtsOff);
    return requests;
}

std::optional<ComPortSetting> ComPortEscapeRequest(int function) {
    switch (function) {
    case EscapeCode::SETDTR:
        return Byte(ComPort::SetControl, DtrOn);
    case EscapeCode::CLRDTR:
        return Byte(ComPort::SetControl, DtrOff);
    case EscapeCode::SETRTS:
        return Byte(ComPort::SetControl, RtsOn);
    case EscapeCode::CLRRTS:
        return Byte(ComPort::SetControl, RtsOff);
    default:
        return std::nullopt;
    }
}

} // namespace feedrail
