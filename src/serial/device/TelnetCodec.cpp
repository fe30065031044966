#include "serial/device/TelnetCodec.h"

#include <cstring>
#include <utility>

namespace feedrail {
namespace {

using namespace Telnet;

bool IsNegotiationVerb(std::uint8_t byte) {
    return byte >= WILL && byte <= DONT;
}

// Options this end performs when the server asks, and options it lets the
// server perform: BINARY keeps 0xFF and CR of part programs intact, GO-AHEAD
// means nothing on a serial line, and COM-PORT-OPTION is why we connect.
bool WantedHere(std::uint8_t option) {
    return option == Binary || option == SuppressGoAhead || option == ComPortOption;
}

bool WantedThere(std::uint8_t option) {
    return option == Binary || option == SuppressGoAhead;
}

} // namespace

void AppendTelnetData(std::string& out, const char* data, std::size_t count) {
    out.reserve(out.size() + count);
    for (std::size_t i = 0; i < count; ++i) {
        out += data[i];
        if (static_cast<std::uint8_t>(data[i]) == IAC) {
            out += data[i];
        }
    }
}

std::string TelnetNegotiation(std::uint8_t verb, std::uint8_t option) {
    return {static_cast<char>(IAC), static_cast<char>(verb), static_cast<char>(option)};
}

std::string ComPortRequest(std::uint8_t command, std::string_view value) {
    std::string request{static_cast<char>(IAC), static_cast<char>(SB),
                        static_cast<char>(ComPortOption), static_cast<char>(command)};
    AppendTelnetData(request, value.data(), value.size());
    request += static_cast<char>(IAC);
    request += static_cast<char>(SE);
    return request;
}

std::string ComPortValue32(std::uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
            static_cast<char>(value >> 8), static_cast<char>(value)};
}

void TelnetDecoder::Feed(const char* bytes, std::size_t count, std::string& data,
                         std::vector<TelnetItem>& items) {
    std::size_t at = 0;
    while (at < count) {
        if (state_ == State::Data) {
            at += TakeData(bytes + at, count - at, data);
        } else {
            Take(static_cast<std::uint8_t>(bytes[at]), data, items);
            ++at;
        }
    }
}

// Nearly everything a device server sends is data, so a run up to the next
// IAC is copied at once rather than byte by byte.
std::size_t TelnetDecoder::TakeData(const char* bytes, std::size_t count, std::string& data) {
    const void* iac = std::memchr(bytes, IAC, count);
    if (iac == nullptr) {
        data.append(bytes, count);
        return count;
    }
    const auto run = static_cast<std::size_t>(static_cast<const char*>(iac) - bytes);
    data.append(bytes, run);
    state_ = State::Command;
    return run + 1;
}

void TelnetDecoder::Take(std::uint8_t byte, std::string& data, std::vector<TelnetItem>& items) {
    if (state_ == State::SubData || state_ == State::SubCommand) {
        ++subBytes_;
    }
    switch (state_) {
    case State::Data:
    case State::Command:
        TakeCommand(byte, data);
        break;
    case State::Option:
        item_.option = byte;
        items.push_back(std::exchange(item_, {}));
        state_ = State::Data;
        break;
    case State::SubOption:
        item_.option = byte;
        state_ = State::SubData;
        break;
    case State::SubData:
        TakeSubData(byte);
        break;
    case State::SubCommand:
        TakeSubCommand(byte, data, items);
        break;
    }
}

void TelnetDecoder::TakeCommand(std::uint8_t byte, std::string& data) {
    state_ = State::Data;
    if (byte == IAC) {
        data += static_cast<char>(byte);
    } else if (IsNegotiationVerb(byte)) {
        item_ = {TelnetItem::Kind::Negotiation, byte, 0, {}};
        state_ = State::Option;
    } else if (byte == SB) {
        item_ = {TelnetItem::Kind::Subnegotiation, SB, 0, {}};
        overlong_ = false;
        subBytes_ = 0;
        state_ = State::SubOption;
    }
}

void TelnetDecoder::TakeSubData(std::uint8_t byte) {
    if (byte == IAC) {
        state_ = State::SubCommand;
    } else {
        AddPayload(byte);
    }
}

// Past the bound the payload is let go at once, and what still comes of it
// is only counted out until its end.
void TelnetDecoder::AddPayload(std::uint8_t byte) {
    if (overlong_) {
        return;
    }
    if (item_.payload.size() == MaxPayload) {
        overlong_ = true;
        item_.payload = {};
        return;
    }
    item_.payload += static_cast<char>(byte);
}

void TelnetDecoder::TakeSubCommand(std::uint8_t byte, std::string& data,
                                   std::vector<TelnetItem>& items) {
    if (byte == IAC) {
        AddPayload(byte);
        state_ = State::SubData;
        return;
    }
    TelnetItem finished = std::exchange(item_, {});
    subBytes_ = 0;
    if (byte == SE) {
        if (!overlong_) {
            items.push_back(std::move(finished));
        }
        state_ = State::Data;
        return;
    }
    TakeCommand(byte, data);
}

std::string TelnetOptions::Opening() {
    mine_[Binary].asked = true;
    theirs_[Binary].asked = true;
    mine_[ComPortOption].asked = true;
    return TelnetNegotiation(WILL, Binary) + TelnetNegotiation(DO, Binary) +
           TelnetNegotiation(WILL, ComPortOption);
}

std::string TelnetOptions::Answer(std::uint8_t verb, std::uint8_t option) {
    // Past this the server repeats itself without end: it is heard no more.
    if (requests_[option] == MaxRequests) {
        if (runaway_ < 0) {
            runaway_ = option;
        }
        return {};
    }
    ++requests_[option];
    if (option == ComPortOption && (verb == DO || verb == DONT)) {
        comPortRefused_ = verb == DONT;
    }
    std::string answer;
    switch (verb) {
    case DO:
        // Each ping wants its answer; no state comes of it.
        answer = option == TimingMark
                     ? TelnetNegotiation(WONT, TimingMark)
                     : Offered(mine_[option], WantedHere(option), WILL, WONT, option);
        break;
    case DONT:
        answer = Withdrawn(mine_[option], WONT, option);
        break;
    case WILL:
        answer = Offered(theirs_[option], WantedThere(option), DO, DONT, option);
        break;
    case WONT:
        answer = Withdrawn(theirs_[option], DONT, option);
        break;
    default:
        break;
    }
    if (answer.empty()) {
        return answer;
    }
    // The state has changed all the same; only the answer is held back.
    if (answers_[option] == MaxAnswers) {
        if (runaway_ < 0) {
            runaway_ = option;
        }
        return {};
    }
    ++answers_[option];
    return answer;
}

void TelnetOptions::NewWindow() {
    answers_.fill(0);
    requests_.fill(0);
}

bool TelnetOptions::ComPortAccepted() const {
    return mine_[ComPortOption].enabled;
}

bool TelnetOptions::ComPortRefused() const {
    return comPortRefused_;
}

// An offer of what is already in effect, or the answer to our own request,
// changes nothing worth saying: replying would start the two ends echoing.
// Nor does an offer refused already: a server that repeats it without end
// must not have this end answer without end.
std::string TelnetOptions::Offered(Side& side, bool wanted, std::uint8_t accept,
                                   std::uint8_t refuse, std::uint8_t option) {
    if (!wanted) {
        return std::exchange(side.refused, true) ? std::string()
                                                 : TelnetNegotiation(refuse, option);
    }
    const bool said = side.enabled || side.asked;
    side = {true, false, false};
    return said ? std::string() : TelnetNegotiation(accept, option);
}

// A refusal of our request needs no answer; only leaving a state that was in
// effect is acknowledged. The server's withdrawal also ends a refusal: what it
// offers again afterwards is answered again.
std::string TelnetOptions::Withdrawn(Side& side, std::uint8_t acknowledge, std::uint8_t option) {
    const bool wasEnabled = side.enabled;
    side = {};
    return wasEnabled ? TelnetNegotiation(acknowledge, option) : std::string();
}

} // namespace feedrail
