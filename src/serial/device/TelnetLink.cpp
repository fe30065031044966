#include "serial/device/TelnetLink.h"

#include <utility>

namespace feedrail {

void TelnetLink::Start() {
    Queue(options_.Opening());
}

void TelnetLink::Feed(const char* bytes, std::size_t count, std::string& data,
                      std::vector<TelnetItem>& reports, std::chrono::steady_clock::time_point now) {
    if (!failure_.empty()) {
        return;
    }
    if (now - windowStart_ >= NegotiationWindow) {
        windowStart_ = now;
        options_.NewWindow();
    }
    std::vector<TelnetItem> items;
    decoder_.Feed(bytes, count, data, items);
    for (TelnetItem& item : items) {
        if (item.kind == TelnetItem::Kind::Negotiation) {
            TakeNegotiation(item);
        } else {
            reports.push_back(std::move(item));
        }
    }
    if (decoder_.Unended()) {
        Fail("the device server sent a subnegotiation without end (IAC SB without IAC SE)");
    }
}

void TelnetLink::TakeNegotiation(const TelnetItem& item) {
    const bool taken = options_.ComPortAccepted();
    Queue(options_.Answer(item.verb, item.option));
    if (options_.Runaway() >= 0) {
        Fail("the device server negotiates Telnet option " + std::to_string(options_.Runaway()) +
             " without end");
    } else if (taken && !options_.ComPortAccepted()) {
        // Its line would go on at settings nobody keeps.
        Fail("the device server stopped speaking RFC 2217 (COM-PORT-OPTION)");
    }
}

// Data joins the queue only when it is empty, a few bytes at a time; what
// else piles up is answers and requests, and a server that takes none of
// them while it makes this end answer would grow it without end.
void TelnetLink::Queue(const std::string& bytes) {
    if (!failure_.empty() || bytes.empty()) {
        return;
    }
    if (outgoing_.size() + bytes.size() > MaxOutgoing) {
        Fail("the device server takes nothing of what it is sent");
        return;
    }
    outgoing_ += bytes;
}

void TelnetLink::Fail(std::string reason) {
    if (failure_.empty()) {
        failure_ = std::move(reason);
    }
}

} // namespace feedrail
