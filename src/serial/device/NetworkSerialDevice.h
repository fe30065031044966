#pragma once

#include "serial/device/BufferedSerialDevice.h"
#include "serial/device/ComPortSettings.h"
#include "serial/device/DeviceAddress.h"
#include "serial/device/TcpConnection.h"
#include "serial/device/TelnetLink.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <deque>
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
//
// Opening returns at once: the device's passes on a shared line thread
// (LineThreads) find the server's address, connect (TcpConnection) and
// negotiate, each a step within a limit that never waits, so that neither an
// opener (the window, a machine of the service, its stop) nor the thread's
// other lines wait for a server or name server that does not answer. What is
// written and set meanwhile is kept and goes out once the connection is up; a
// connection that cannot be made is reported as one that went, GoneReason
// saying why.
//
// A server that breaks the protocol, out of fault or malice, is given up the
// same way rather than followed: one that keeps switching an option, sends a
// subnegotiation without end, or reads nothing of what it is sent while
// making this end answer. Whatever it sends, every buffer stays bounded, the
// line thread lets go of the lock between batches of input, and Close ends
// the device at once.
class NetworkSerialDevice : public BufferedSerialDevice, private LineServed {
public:
    // The encoded bytes held for a server that has not taken them yet.
    static constexpr std::size_t MaxOutgoing = TelnetLink::MaxOutgoing;
    // How long an rfc2217:// server has to take COM-PORT-OPTION.
    static constexpr std::chrono::milliseconds NegotiationTimeout{1000};

    // The bytes a write may leave waiting for the connection to come up;
    // past them it fails with ENOBUFS.
    static constexpr std::size_t MaxWaitingForConnection = 64 * 1024;

    // Starts connecting to `address`; nullptr and `failure` only when the
    // system has no thread or descriptor to spare. An rfc2217:// server that
    // does not take COM-PORT-OPTION within NegotiationTimeout is given up: it
    // carries raw bytes, and would hand this end's Telnet commands to the
    // control as if they were data.
    static std::shared_ptr<NetworkSerialDevice>
    Open(const DeviceAddress& address, std::string& failure, const ConnectLimits& limits = {});
    ~NetworkSerialDevice() override;

    // Never waits for the server: what changed is sent once the connection
    // is up, and a server that does not answer is taken as having applied
    // it. A server that answers a rate with another rate is given up, for
    // the rate asked is not the line's.
    int SetSettings(const SerialSettings& settings) override;
    int ClearError(std::uint32_t& errors, ComStat& stat) override;
    int Purge(std::uint32_t flags) override;
    int EscapeFunction(int function) override;
    int GetModemStatus(std::uint32_t& status) override;
    void Close() override;
    bool Connecting() const override;

    // Why the connection could not be made, "closed by the device server", the protocol fault the
    // server was given up for, or the failure as the system words it.
    std::string GoneReason() const override;
    // Once it says yes after data, an RFC 2217 server is asked to report
    // when its transmitter is empty (ServerOutputConfirmedEmpty).
    int OutputDelivered(bool& delivered) override;

    // An RFC 2217 server has reported its transmit shift register empty since
    // it was asked, after the last data. Servers that do not report it
    // (ser2net among them) never confirm: the server's own queue is then out
    // of sight, and only its TCP's acknowledgement (OutputDelivered) tells.
    bool ServerOutputConfirmedEmpty() const;

    // The encoded bytes waiting for the connection (at most MaxOutgoing).
    std::size_t OutgoingSize() const;

private:
    enum class Stage { Connecting, Negotiating, Up };

    NetworkSerialDevice(const DeviceAddress& address, const ConnectLimits& limits);

    LineWait LinePass(bool lineGone) override;

    // All of these run with mutex_ held.
    // Takes the connection's next steps; gives the server up when it cannot
    // be reached.
    void Reach(Clock::time_point now);
    // The connection reported a hang-up or an error.
    void TakeLineGone();
    LineWait NextWait(Clock::time_point now) const;
    // An rfc2217:// server that has taken COM-PORT-OPTION is up; one that
    // has refused it, or not taken it in time, is given up.
    void CheckNegotiation(Clock::time_point now);
    // Sends what waited for the connection: the report masks, the settings
    // and the lines set meanwhile.
    void ConnectionUp();
    void AskForReports();
    // Asks for what changed of settings_ since the server was last told.
    void SendSettings();
    void TakeRateAnswer(std::uint32_t rate);
    int Refusal(std::size_t count) const override;
    void DrainInput() override;
    int PushPending(Clock::time_point now) override;
    void InputRoomMade() override;
    // Bytes the connection would not take yet wait for the line thread.
    bool LineThreadDue() const override { return !link_.Outgoing().empty(); }
    void TakeReceived(const char* bytes, std::size_t count);
    void TakeReport(const TelnetItem& report);
    void TakeComPortReply(const std::string& payload);
    void TakeModemState(std::uint8_t state);
    void Request(const ComPortSetting& setting);
    // Adds `bytes` to the outgoing queue, or gives the server up when that
    // would pass MaxOutgoing.
    void Queue(const std::string& bytes);
    // A server that has not taken COM-PORT-OPTION carries bytes only.
    bool ComPort() const { return comPort_ && link_.ComPortAccepted(); }
    bool OutputAllowed() const;
    // Hands as much of the outgoing queue to the socket as it takes.
    int Flush();
    void CheckTxEmpty(Clock::time_point now);
    // The bytes the socket holds that the server's TCP has not acknowledged.
    std::size_t Unacknowledged() const;
    Clock::duration WaitLimit(Clock::time_point now) const;
    void MarkLost(int cause);
    // Gives up a server that breaks the protocol or cannot be reached, for `reason`.
    void Fail(std::string reason, int cause = EPROTO);
    std::string LostReason() const;

    // Until the connection is made or given up.
    std::unique_ptr<TcpConnection> connection_;
    // Made or given up in the last pass: what it watched stays open until
    // the next, as the line thread watches it until that pass has ended.
    std::unique_ptr<TcpConnection> retiredConnection_;
    FileDescriptor socket_;
    const bool comPort_;
    Stage stage_ = Stage::Connecting;
    Clock::time_point negotiationEnd_{};
    // Its outgoing queue holds the bytes, control and data in order, that the
    // socket has not taken yet; raw bytes only for a raw server.
    TelnetLink link_;
    bool lost_ = false;
    int lostCause_ = 0;
    bool deliveredAtLoss_ = false;
    std::string lostReason_;
    // The server asked to stop (FLOWCONTROL-SUSPEND) until it resumes.
    bool serverSuspended_ = false;
    bool inputSuspended_ = false;
    // Asked, after the last data, to report an empty transmitter; it has.
    bool emptyReportAsked_ = false;
    bool serverOutputEmpty_ = false;
    // What the server was last told; none before it was told everything.
    std::optional<SerialSettings> applied_;
    // The rates asked for, oldest first, whose answers have not come.
    std::deque<std::uint32_t> ratesAsked_;
    // DTR and RTS as set before the connection was up.
    std::array<std::optional<ComPortSetting>, 2> linesHeld_;
    // When a pass last cut a batch of input; the passes' own.
    Clock::time_point inputCutAt_{};
    // Until the server reports them, the lines read as on.
    std::uint8_t modemState_ =
        ModemStatusBit::MS_CTS_ON | ModemStatusBit::MS_DSR_ON | ModemStatusBit::MS_RLSD_ON;
};

} // namespace feedrail
