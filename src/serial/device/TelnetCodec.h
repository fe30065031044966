#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace feedrail {

namespace Telnet {
inline constexpr std::uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250,
                              SE = 240;
inline constexpr std::uint8_t Binary = 0, SuppressGoAhead = 3, TimingMark = 6, ComPortOption = 44;
} // namespace Telnet

// RFC 2217 commands as the client sends them; the server answers with the same number + 100.
namespace ComPort {
inline constexpr std::uint8_t SetBaudRate = 1, SetDataSize = 2, SetParity = 3, SetStopSize = 4,
                              SetControl = 5, NotifyLineState = 6, NotifyModemState = 7,
                              FlowControlSuspend = 8, FlowControlResume = 9, SetLineStateMask = 10,
                              SetModemStateMask = 11, PurgeData = 12;
inline constexpr std::uint8_t ServerOffset = 100;
} // namespace ComPort

// Appends `count` data bytes to `out`, each 0xFF doubled (IAC IAC).
void AppendTelnetData(std::string& out, const char* data, std::size_t count);
// IAC verb option.
std::string TelnetNegotiation(std::uint8_t verb, std::uint8_t option);
// IAC SB COM-PORT-OPTION command value... IAC SE, with every 0xFF in value doubled.
std::string ComPortRequest(std::uint8_t command, std::string_view value);
// A 4-byte big-endian value, as SET-BAUDRATE carries it.
std::string ComPortValue32(std::uint32_t value);

// One control item the decoder found in the stream.
struct TelnetItem {
    enum class Kind { Negotiation, Subnegotiation };
    Kind kind = Kind::Negotiation;
    std::uint8_t verb = 0; // WILL/WONT/DO/DONT for a negotiation; SB for a subnegotiation
    std::uint8_t option = 0;
    std::string payload; // subnegotiation bytes after the option, IAC IAC undoubled, without IAC SE
    bool operator==(const TelnetItem&) const = default;
};

// Splits what a Telnet server sends into data bytes and control items, which
// Feed appends to `data` and `items`. Any sequence may be split across calls.
// Other two-byte commands (NOP, GA, ...) are dropped; a subnegotiation longer
// than MaxPayload bytes is dropped whole rather than growing without limit;
// IAC followed by a byte that is no command is dropped with it. A command
// other than IAC or SE after an IAC inside a subnegotiation drops the
// unfinished subnegotiation and counts as the command, so that a server that
// forgets SE loses one item, not the data that follows. Never throws on any
// input; holds at most MaxPayload bytes whatever it is fed.
class TelnetDecoder {
public:
    // RFC 2217's values are at most four bytes; SIGNATURE's free text is the
    // only longer payload and stays far below this.
    static constexpr std::size_t MaxPayload = 256;
    // A subnegotiation that runs this long without its IAC SE swallows
    // everything after it: the server is broken or hostile.
    static constexpr std::size_t MaxUnended = 4096;

    void Feed(const char* bytes, std::size_t count, std::string& data,
              std::vector<TelnetItem>& items);
    // The subnegotiation under way has run past MaxUnended bytes. It stays
    // true until an IAC SE or another command ends it.
    bool Unended() const { return subBytes_ > MaxUnended; }
    // The bytes of the subnegotiation under way that it holds (at most MaxPayload).
    std::size_t Held() const { return item_.payload.size(); }

private:
    enum class State { Data, Command, Option, SubOption, SubData, SubCommand };

    std::size_t TakeData(const char* bytes, std::size_t count, std::string& data);
    void Take(std::uint8_t byte, std::string& data, std::vector<TelnetItem>& items);
    void TakeCommand(std::uint8_t byte, std::string& data);
    void TakeSubData(std::uint8_t byte);
    void AddPayload(std::uint8_t byte);
    void TakeSubCommand(std::uint8_t byte, std::string& data, std::vector<TelnetItem>& items);

    State state_ = State::Data;
    TelnetItem item_;
    bool overlong_ = false;
    // The bytes since the IAC SB of the subnegotiation under way; 0 outside one.
    std::size_t subBytes_ = 0;
};

// This end's answers to option negotiation (RFC 854/855 rules, without loops,
// as RFC 1143 asks: answer only when the state of an option changes). The
// client wants BINARY both ways and COM-PORT-OPTION (this end WILL);
// SUPPRESS-GO-AHEAD is accepted both ways if offered. Every other option is
// refused (DO x -> WONT x, WILL x -> DONT x), once: the same request again is
// not answered until the server has withdrawn it (WONT x, DONT x); only DO
// TIMING-MARK, a server's ping (RFC 860), is refused each time. A DONT/WONT
// of an enabled option is acknowledged once. An option that has been answered
// MaxAnswers times, or that the server has negotiated MaxRequests times,
// within one window (NewWindow; the link opens one a second) is answered no
// more: the server has run away (Runaway), and what this end sends stays
// bounded.
class TelnetOptions {
public:
    static constexpr int MaxAnswers = 8;
    static constexpr int MaxRequests = 64;

    // What the client sends when the connection opens:
    // IAC WILL BINARY, IAC DO BINARY, IAC WILL COM-PORT-OPTION.
    std::string Opening();
    // The reply to the server's IAC verb option; empty when none is due.
    std::string Answer(std::uint8_t verb, std::uint8_t option);
    // The server has said DO COM-PORT-OPTION (it speaks RFC 2217).
    bool ComPortAccepted() const;
    // The server refused it (DONT COM-PORT-OPTION) before or after taking it.
    bool ComPortRefused() const;
    // The first option the server has negotiated or made this end answer
    // too often; -1 when none.
    int Runaway() const { return runaway_; }
    // Starts counting requests and answers afresh: what a server says now
    // and then (a ping, a renegotiation) never adds up to a runaway.
    void NewWindow();

private:
    // One direction of one option: in effect, or asked for and not yet
    // answered, and whether the server's request has been refused already.
    struct Side {
        bool enabled = false;
        bool asked = false;
        bool refused = false;
    };
    using Sides = std::array<Side, 256>;

    static std::string Offered(Side& side, bool wanted, std::uint8_t accept, std::uint8_t refuse,
                               std::uint8_t option);
    static std::string Withdrawn(Side& side, std::uint8_t acknowledge, std::uint8_t option);

    Sides mine_{};   // what this end does: the server's DO and DONT
    Sides theirs_{}; // what the server does: its WILL and WONT
    std::array<int, 256> answers_{};
    std::array<int, 256> requests_{};
    int runaway_ = -1;
    bool comPortRefused_ = false;
};

} // namespace feedrail
