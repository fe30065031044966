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
inline constexpr std::uint8_t Binary = 0, SuppressGoAhead = 3, ComPortOption = 44;
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
// than 256 bytes is dropped whole rather than growing without limit; IAC
// followed by a byte that is no command is dropped with it. A command other
// than IAC or SE after an IAC inside a subnegotiation drops the unfinished
// subnegotiation and counts as the command, so that a server that forgets
// SE loses one item, not the data that follows. Never throws on any input.
class TelnetDecoder {
public:
    void Feed(const char* bytes, std::size_t count, std::string& data,
              std::vector<TelnetItem>& items);

private:
    enum class State { Data, Command, Option, SubOption, SubData, SubCommand };

    // RFC 2217's values are at most four bytes; SIGNATURE's free text is the
    // only longer payload and stays far below this.
    static constexpr std::size_t MaxPayload = 256;

    std::size_t TakeData(const char* bytes, std::size_t count, std::string& data);
    void Take(std::uint8_t byte, std::string& data, std::vector<TelnetItem>& items);
    void TakeCommand(std::uint8_t byte, std::string& data);
    void TakeSubData(std::uint8_t byte);
    void AddPayload(std::uint8_t byte);
    void TakeSubCommand(std::uint8_t byte, std::string& data, std::vector<TelnetItem>& items);

    State state_ = State::Data;
    TelnetItem item_;
    bool overlong_ = false;
};

// This end's answers to option negotiation (RFC 854/855 rules, without loops:
// answer only when the state of an option changes). The client wants BINARY
// both ways and COM-PORT-OPTION (this end WILL); SUPPRESS-GO-AHEAD is accepted
// both ways if offered. Every other option is refused (DO x -> WONT x, WILL x
// -> DONT x). A DONT/WONT of an enabled option is acknowledged once.
class TelnetOptions {
public:
    // What the client sends when the connection opens:
    // IAC WILL BINARY, IAC DO BINARY, IAC WILL COM-PORT-OPTION.
    std::string Opening();
    // The reply to the server's IAC verb option; empty when none is due.
    std::string Answer(std::uint8_t verb, std::uint8_t option);
    // The server has said DO COM-PORT-OPTION (it speaks RFC 2217).
    bool ComPortAccepted() const;
    // The server refused it (DONT COM-PORT-OPTION): the device treats it as raw bytes.
    bool ComPortRefused() const;

private:
    // One direction of one option: in effect, or asked for and not yet answered.
    struct Side {
        bool enabled = false;
        bool asked = false;
    };
    using Sides = std::array<Side, 256>;

    static std::string Offered(Side& side, bool wanted, std::uint8_t accept, std::uint8_t refuse,
                               std::uint8_t option);
    static std::string Withdrawn(Side& side, std::uint8_t acknowledge, std::uint8_t option);

    Sides mine_{};   // what this end does: the server's DO and DONT
    Sides theirs_{}; // what the server does: its WILL and WONT
    bool comPortRefused_ = false;
};

} // namespace feedrail
