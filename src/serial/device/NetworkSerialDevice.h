#pragma once

#include "serial/device/BufferedSerialDevice.h"
#include "serial/device/ComPortSettings.h"
#include "serial/device/DeviceAddress.h"
#include "serial/device/TelnetCodec.h"

#include <array>
#include <memory>
#include <optional>
#include <string>

namespace feedrail {

// A serial line on a device server, over TCP: raw bytes (the server's own
// line settings apply, the modem lines read as on), or RFC 2217, where the
// server is told the rate, format, flow control and lines and reports its
// modem lines.
//
// The same line rules as on a local port apply: output is paced by the baud
// rate so that a control that sends XOFF sees at most a few more characters,
// and XON/XOFF are taken out of what arrives. A connection that ends, fails
// or stays silent too long (TcpConnection) is reported once as CE_HANGUP
// with EV_ERR.
class NetworkSerialDevice : public BufferedSerialDevice {
public:
    // Connects to `address`; nullptr and `failure` (the reason) when it cannot.
    static std::shared_ptr<NetworkSerialDevice> Open(const DeviceAddress& address,
                                                     std::string& failure);
    ~NetworkSerialDevice() override;

    // Settings wait up to a second for the server's answers; a server that
    // does not answer is taken as having applied them. A rate the server
    // answers with another rate fails with ERANGE.
    int SetSettings(const SerialSettings& settings) override;
    int ClearError(std::uint32_t& errors, ComStat& stat) override;
    int Purge(std::uint32_t flags) override;
    int EscapeFunction(int function) override;
    int GetModemStatus(std::uint32_t& status) override;
    void Close() override;

    // "closed by the device server", or the failure as the system words it.
    std::string GoneReason() const override;

private:
    NetworkSerialDevice(FileDescriptor socket, bool comPort);

    void LineLoop();
    // Waits up to a second for the server to take or refuse COM-PORT-OPTION.
    void AwaitNegotiation();
    void AskForModemLines();
    void ComPortTakenLate();

    // All of these run with mutex_ held.
    void DrainInput() override;
    int PushPending(Clock::time_point now) override;
    void InputRoomMade() override;
    // Bytes the connection would not take yet wait for the line thread.
    bool LineThreadDue() const override { return !outgoing_.empty(); }
    void TakeReceived(const char* bytes, std::size_t count);
    void TakeItem(const TelnetItem& item);
    void TakeComPortReply(const std::string& payload);
    void TakeModemState(std::uint8_t state);
    void Request(const ComPortSetting& setting, bool awaitAnswer);
    bool AnswersDue() const;
    // A server that has not taken COM-PORT-OPTION carries bytes only.
    bool ComPort() const { return comPort_ && options_.ComPortAccepted(); }
    bool OutputAllowed() const;
    // Hands as much of outgoing_ to the socket as it takes.
    int Flush();
    void CheckTxEmpty(Clock::time_point now);
    Clock::duration WaitLimit(Clock::time_point now) const;
    void MarkLost(int cause);

    FileDescriptor socket_;
    const bool comPort_;
    TelnetDecoder decoder_;
    TelnetOptions options_;
    // Encoded bytes, control and data in order, that the socket has not taken yet.
    std::string outgoing_;
    bool lost_ = false;
    int lostCause_ = 0;
    // The server asked to stop (FLOWCONTROL-SUSPEND) until it resumes.
    bool serverSuspended_ = false;
    bool inputSuspended_ = false;
    bool negotiationWaited_ = false;
    // What the server was last told; none before it was told everything.
    std::optional<SerialSettings> applied_;
    std::array<int, 13> answersDue_{};
    std::uint32_t answeredRate_ = 0;
    // Until the server reports them, the lines read as on.
    std::uint8_t modemState_ =
        ModemStatusBit::MS_CTS_ON | ModemStatusBit::MS_DSR_ON | ModemStatusBit::MS_RLSD_ON;
};

} // namespace feedrail
