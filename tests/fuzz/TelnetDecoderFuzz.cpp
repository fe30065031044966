// Arbitrary bytes from a device server through the Telnet decoder: nothing
// crashes, the stream decodes the same whether it comes whole or in two
// pieces, data never outgrows the stream, control items are well formed, and
// data the client encodes comes back from the decoder as it was.

#include "FuzzCheck.h"
#include "serial/device/TelnetCodec.h"

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const auto cutChoice = input.ConsumeIntegral<std::uint16_t>();
    const std::string stream = input.ConsumeRemainingBytesAsString();
    CheckStream(stream, cutChoice % (stream.size() + 1));
    CheckRoundTrip(stream);
    return 0;
}
