#include "transfer/PortSetup.h"

#include "profiles/ProfileValues.h"

#include <algorithm>
#include <array>
#include <utility>

namespace feedrail {

void ApplyProfileToPort(const ActiveSettings& settings, TVaCustomComm& port) {
    // A receive under RTS/CTS hands RTS to the driver; every profile starts
    // from manual RTS so that its own line settings are allowed.
    port.SetRTSControl(rtsDisable);
    port.SetDeviceName(settings.CommDevice.empty() ? "com" + std::to_string(settings.CommPort)
                                                   : settings.CommDevice);
    port.SetNameByDevice(!settings.CommDevice.empty());
    port.SetPortNum(settings.CommPort);
    // Every rate goes to the device, which refuses with an error naming the
    // rate what it cannot make; the table's rates keep their names.
    const auto* named =
        std::ranges::find(BaudrateValues, static_cast<std::uint32_t>(settings.CommBaudRate));
    if (named != BaudrateValues.end()) {
        port.SetCustomBaudRate(0);
        port.SetBaudrate(static_cast<TVaBaudrate>(named - BaudrateValues.begin()));
    } else {
        port.SetCustomBaudRate(static_cast<std::uint32_t>(settings.CommBaudRate));
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
        // A USB adapter holds what it receives for up to 16 ms, which at high
        // rates lets far more than 10 characters follow a machine's XOFF. A
        // driver that refuses leaves it to the adapter's latency_timer.
        port.SetLowLatency();
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
