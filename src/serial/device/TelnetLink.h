#pragma once

#include "serial/device/TelnetCodec.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace feedrail {

// The Telnet side of a connection to an RFC 2217 device server, without the
// socket: what the server sends decoded, its option negotiation answered,
// and what waits to be sent, each within a bound whatever the server sends.
// A server that breaks the protocol is given up (Failure): one that keeps
// negotiating an option, sends a subnegotiation without end, withdraws
// COM-PORT-OPTION once it has taken it, or takes nothing of what it is sent
// while it makes this end answer. NetworkSerialDevice keeps one under its
// lock (for a raw server only its outgoing queue, without Start or Feed);
// the fuzz target drives one with arbitrary input.
class TelnetLink {
public:
    // The encoded bytes (answers, requests, data) held for a server that has
    // not taken them yet; a server that lets more pile up is given up.
    static constexpr std::size_t MaxOutgoing = 16 * 1024;

    // Queues the client's opening offers.
    void Start();

    // The window within which a server may negotiate an option at most
    // TelnetOptions::MaxRequests times.
    static constexpr std::chrono::seconds NegotiationWindow{1};

    // Decodes what the server sent at `now`: data bytes are appended to
    // `data`, its subnegotiations to `reports`, and its negotiation is
    // answered in the outgoing queue. Nothing more is taken once the link
    // has failed.
    void Feed(const char* bytes, std::size_t count, std::string& data,
              std::vector<TelnetItem>& reports, std::chrono::steady_clock::time_point now);
    // Adds encoded bytes to the outgoing queue; fails the link instead when
    // they would take it past MaxOutgoing.
    void Queue(const std::string& bytes);

    // What waits for the connection, and the count it has taken of it.
    const std::string& Outgoing() const { return outgoing_; }
    void Sent(std::size_t count) { outgoing_.erase(0, count); }

    bool ComPortAccepted() const { return options_.ComPortAccepted(); }
    bool ComPortRefused() const { return options_.ComPortRefused(); }
    // Why the server was given up; empty while it keeps to the protocol.
    const std::string& Failure() const { return failure_; }
    // The bytes of an unfinished subnegotiation held (at most TelnetDecoder::MaxPayload).
    std::size_t Held() const { return decoder_.Held(); }

private:
    void Fail(std::string reason);
    void TakeNegotiation(const TelnetItem& item);

    TelnetDecoder decoder_;
    TelnetOptions options_;
    std::string outgoing_;
    std::string failure_;
    std::chrono::steady_clock::time_point windowStart_{};
};

} // namespace feedrail
