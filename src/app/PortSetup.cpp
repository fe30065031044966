#include "app/PortSetup.h"

#include "profiles/ProfileValues.h"

#include <array>
#include <utility>

namespace feedrail {

void ApplyProfileToPort(const ActiveSettings& settings, TVaCustomComm& port) {
    // A receive under RTS/CTS hands RTS to the driver; every profile starts
    // from manual RTS so that its own line settings are allowed.
    port.SetRTSControl(rtsDisable);
    port.SetDeviceName("com" + std::to_string(settings.CommPort));
    port.SetPortNum(settings.CommPort);
    static constexpr std::array<std::pair<std::int32_t, TVaBaudrate>, 7> rates{{
        {300, br300},
        {600, br600},
        {1200, br1200},
        {2400, br2400},
        {4800, br4800},
        {9600, br9600},
        {19200, br19200},
    }};
    for (const auto& [rate, baudrate] : rates) {
        if (settings.CommBaudRate == rate) {
            port.SetBaudrate(baudrate);
        }
    }
    if (settings.CommDataBits == 7 || settings.CommDataBits == 8) {
        port.SetDatabits(settings.CommDataBits == 7 ? db7 : db8);
    }
    if (settings.CommParity == 'O') {
        port.SetParity(paOdd);
    } else if (settings.CommParity == 'E') {
        port.SetParity(paEven);
    } else if (settings.CommParity == 'N') {
        port.SetParity(paNone);
    }
    if (settings.CommStopBits == 1 || settings.CommStopBits == 2) {
        port.SetStopbits(settings.CommStopBits == 1 ? sb1 : sb2);
    }
}

void SetHandshakeLines(std::int32_t handshake, TVaCustomComm& port) {
    switch (handshake) {
    case HandshakeXonXoff:
        port.SetFlowControl(fcNone);
        port.SetXon(true);
        break;
    case HandshakeNone:
        port.SetFlowControl(fcNone);
        port.SetXon(true);
        port.SetRTS(true);
        port.SetDTR(true);
        break;
    case HandshakeDriverXonXoff:
        // Held until the machine's XON says it is ready.
        port.SetFlowControl(fcXonXoff);
        port.SetXon(false);
        port.SetRTS(false);
        port.SetDTR(false);
        break;
    case HandshakeDtr:
        port.SetFlowControl(fcDtrDsr);
        port.SetXon(true);
        port.SetRTS(true);
        port.SetDTR(true);
        break;
    case HandshakeRtsCts:
        port.SetFlowControl(fcRtsCts);
        break;
    default:
        break;
    }
}

std::string TapeCodeName(std::int32_t punchType) {
    switch (punchType) {
    case PunchAscii:
        return "ASCII";
    case PunchEia:
        return "EIA";
    case PunchIso:
        return "ISO";
    default:
        return "";
    }
}

std::string SettingsSummary(const ActiveSettings& settings, const std::string& deviceName) {
    return std::to_string(settings.CommBaudRate) + " Baud, " +
           std::to_string(settings.CommDataBits) + " Data Bits, " +
           std::to_string(settings.CommStopBits) + " Stop Bits, " +
           TapeCodeName(settings.PunchType) + " Format, " + deviceName;
}

} // namespace feedrail
