// Arbitrary bytes from a device server through the Telnet decoder: nothing
// crashes, the stream decodes the same whether it comes whole or in two
// pieces, data never outgrows the stream, control items are well formed, and
// data the client encodes comes back from the decoder as it was.
//
// Then the same bytes, cut where the input says, through the link the network
// device keeps (TelnetLink: the decoder, the option answers and the outgoing
// queue, with their real bounds), as time passes, while the server reads
// what it is sent or not and the client adds requests: the outgoing queue
// never passes its bound, an unfinished subnegotiation holds at most its
// payload bound, the answers of a negotiation window stay bounded whatever
// the server repeats, and a failed link takes nothing more.

#include "FuzzCheck.h"
#include "serial/device/TelnetCodec.h"
#include "serial/device/TelnetLink.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <vector>

namespace {

using namespace feedrail;
using feedrail::fuzz::Require;

struct Decoded {
    std::string data;
    std::vector<TelnetItem> items;
};

Decoded Decode(const std::string& stream, std::size_t cut) {
    TelnetDecoder decoder;
    Decoded out;
    decoder.Feed(stream.data(), cut, out.data, out.items);
    decoder.Feed(stream.data() + cut, stream.size() - cut, out.data, out.items);
    return out;
}

bool WellFormed(const TelnetItem& item) {
    if (item.kind == TelnetItem::Kind::Subnegotiation) {
        return item.verb == Telnet::SB;
    }
    return item.verb >= Telnet::WILL && item.verb <= Telnet::DONT && item.payload.empty();
}

void CheckStream(const std::string& stream, std::size_t cut) {
    const Decoded whole = Decode(stream, stream.size());
    const Decoded split = Decode(stream, cut);
    Require(split.data == whole.data, "two pieces give the data of the whole");
    Require(split.items == whole.items, "two pieces give the items of the whole");
    Require(whole.data.size() <= stream.size(), "data is never longer than the stream");
    for (const TelnetItem& item : whole.items) {
        Require(WellFormed(item), "items are well formed");
    }
}

void CheckRoundTrip(const std::string& data) {
    std::string stream;
    AppendTelnetData(stream, data.data(), data.size());
    const Decoded decoded = Decode(stream, stream.size());
    Require(decoded.data == data, "encoded data decodes as it was");
    Require(decoded.items.empty(), "encoded data holds no commands");
}

// What the link may answer at most in a window: an answer for each
// permitted change of every option.
constexpr std::size_t MostAnswered = 3 * TelnetOptions::MaxAnswers * 256;

void CheckLink(FuzzedDataProvider& input) {
    using Clock = std::chrono::steady_clock;
    TelnetLink link;
    link.Start();
    // Answers queued in the link's window of negotiation, which it opens at
    // its first feed and anew once a window's time has passed.
    std::size_t queued = 0;
    Clock::time_point now{};
    Clock::time_point windowStart{};
    bool windowOpen = false;
    std::size_t fed = 0;
    std::string data;
    std::vector<TelnetItem> reports;
    while (input.remaining_bytes() > 0) {
        switch (input.ConsumeIntegralInRange<int>(0, 7)) {
        case 0: {
            // The server reads some of what it was sent.
            const std::size_t read = std::min<std::size_t>(input.ConsumeIntegral<std::uint16_t>(),
                                                           link.Outgoing().size());
            link.Sent(read);
            break;
        }
        case 1: {
            // The client asks for something, as a settings write does.
            const auto command = input.ConsumeIntegral<std::uint8_t>();
            const std::string request = ComPortRequest(
                command,
                input.ConsumeBytesAsString(input.ConsumeIntegralInRange<std::size_t>(0, 4)));
            link.Queue(request);
            break;
        }
        default: {
            const std::string piece =
                input.ConsumeBytesAsString(input.ConsumeIntegralInRange<std::size_t>(1, 2048));
            const bool failed = !link.Failure().empty();
            const std::size_t dataBefore = data.size();
            const std::size_t reportsBefore = reports.size();
            const std::size_t before = link.Outgoing().size();
            now += std::chrono::milliseconds(input.ConsumeIntegralInRange<int>(0, 1500));
            if (!windowOpen || now - windowStart >= TelnetLink::NegotiationWindow) {
                windowOpen = true;
                windowStart = now;
                queued = 0;
            }
            link.Feed(piece.data(), piece.size(), data, reports, now);
            fed += piece.size();
            queued += link.Outgoing().size() - std::min(before, link.Outgoing().size());
            if (failed) {
                Require(data.size() == dataBefore && reports.size() == reportsBefore &&
                            link.Outgoing().size() == before,
                        "a failed link takes nothing more");
            }
            break;
        }
        }
        Require(link.Outgoing().size() <= TelnetLink::MaxOutgoing,
                "the outgoing queue stays within its bound");
        Require(link.Held() <= TelnetDecoder::MaxPayload,
                "an unfinished subnegotiation holds at most its bound");
        Require(queued <= MostAnswered,
                "the answers of a window stay bounded whatever the server repeats");
        Require(data.size() <= fed, "data is never longer than the stream");
        for (const TelnetItem& report : reports) {
            Require(report.kind == TelnetItem::Kind::Subnegotiation &&
                        report.payload.size() <= TelnetDecoder::MaxPayload,
                    "reports are subnegotiations within the payload bound");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        FuzzedDataProvider input(data, size);
        const auto cutChoice = input.ConsumeIntegral<std::uint16_t>();
        const std::string stream = input.ConsumeRemainingBytesAsString();
        CheckStream(stream, cutChoice % (stream.size() + 1));
        CheckRoundTrip(stream);
    }
    FuzzedDataProvider input(data, size);
    CheckLink(input);
    return 0;
}
