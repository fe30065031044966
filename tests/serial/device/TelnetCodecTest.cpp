#include "serial/device/TelnetCodec.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <initializer_list>

namespace feedrail {
namespace {

using namespace Telnet;
using Kind = TelnetItem::Kind;

std::string Bytes(std::initializer_list<int> bytes) {
    std::string text;
    for (const int byte : bytes) {
        text += static_cast<char>(byte);
    }
    return text;
}

struct Decoded {
    std::string data;
    std::vector<TelnetItem> items;
};

// Pieces of one byte split every sequence at every position it has.
Decoded Decode(const std::string& stream, std::size_t pieceSize) {
    TelnetDecoder decoder;
    Decoded out;
    for (std::size_t from = 0; from < stream.size(); from += pieceSize) {
        decoder.Feed(stream.data() + from, std::min(pieceSize, stream.size() - from), out.data,
                     out.items);
    }
    return out;
}

TEST(TelnetCodecTest, DecoderSeparatesDataFromCommandsHoweverTheStreamIsCut) {
    const std::string overlong =
        Bytes({IAC, SB, ComPortOption, 107}) + std::string(300, 'x') + Bytes({IAC, IAC, IAC, SE});
    const struct {
        const char* name;
        std::string stream;
        std::string data;
        std::vector<TelnetItem> items;
    } rows[] = {
        {"plain data", "%\r\nO1000\r\nG01 X1.5\r\n", "%\r\nO1000\r\nG01 X1.5\r\n", {}},
        {"doubled IAC in data",
         Bytes({'A', IAC, IAC, IAC, IAC, 'B'}),
         Bytes({'A', 0xFF, 0xFF, 'B'}),
         {}},
        {"negotiation between data",
         "ab" + Bytes({IAC, DO, Binary}) + "cd",
         "abcd",
         {{Kind::Negotiation, DO, Binary, ""}}},
        {"baud rate answer",
         Bytes({IAC, SB, ComPortOption, 101, 0, 1, 0xC2, 0, IAC, SE}) + "N",
         "N",
         {{Kind::Subnegotiation, SB, ComPortOption, Bytes({101, 0, 1, 0xC2, 0})}}},
        {"doubled IAC in payload",
         Bytes({IAC, SB, ComPortOption, 111, IAC, IAC, IAC, SE}),
         "",
         {{Kind::Subnegotiation, SB, ComPortOption, Bytes({111, 0xFF})}}},
        {"over-long subnegotiation",
         overlong + "after" + Bytes({IAC, WILL, SuppressGoAhead}),
         "after",
         {{Kind::Negotiation, WILL, SuppressGoAhead, ""}}},
        {"stray IAC and two-byte commands",
         "a" + Bytes({IAC, 'b', IAC, 241, IAC, SE, IAC, 249}) + "c",
         "ac",
         {}},
        {"subnegotiation cut short by a command",
         Bytes({IAC, SB, ComPortOption, 106, 0x10, IAC, WONT, Binary}) + "G0",
         "G0",
         {{Kind::Negotiation, WONT, Binary, ""}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        for (const std::size_t pieceSize : {row.stream.size(), std::size_t{1}}) {
            const Decoded decoded = Decode(row.stream, pieceSize);
            EXPECT_EQ(decoded.data, row.data) << "pieces of " << pieceSize;
            EXPECT_EQ(decoded.items, row.items) << "pieces of " << pieceSize;
        }
    }
}

TEST(TelnetCodecTest, EncoderDoublesIacAndFramesComPortRequests) {
    std::string out = "N1";
    const std::string data = Bytes({0xFF, 'A', 0xFF});
    AppendTelnetData(out, data.data(), data.size());
    EXPECT_EQ(out, "N1" + Bytes({IAC, IAC, 'A', IAC, IAC}));
    EXPECT_EQ(ComPortRequest(ComPort::SetBaudRate, ComPortValue32(115200)),
              Bytes({0xFF, 0xFA, 0x2C, 0x01, 0x00, 0x01, 0xC2, 0x00, 0xFF, 0xF0}));
    EXPECT_EQ(ComPortRequest(ComPort::SetModemStateMask, Bytes({0xFF})),
              Bytes({IAC, SB, ComPortOption, 11, IAC, IAC, IAC, SE}));
    EXPECT_EQ(TelnetNegotiation(WILL, ComPortOption), Bytes({0xFF, 0xFB, 0x2C}));
}

struct Exchange {
    std::uint8_t verb;
    std::uint8_t option;
    std::string reply;
};

void Play(TelnetOptions& options, std::initializer_list<Exchange> script) {
    for (const Exchange& step : script) {
        EXPECT_EQ(options.Answer(step.verb, step.option), step.reply)
            << "verb " << int(step.verb) << " option " << int(step.option);
    }
}

TEST(TelnetCodecTest, OptionsAnswerOnlyChangesAndRefuseTheUnknown) {
    TelnetOptions options;
    EXPECT_EQ(options.Opening(),
              Bytes({IAC, WILL, Binary, IAC, DO, Binary, IAC, WILL, ComPortOption}));
    Play(options, {{DO, Binary, ""}, {WILL, Binary, ""}, {DO, ComPortOption, ""}});
    EXPECT_TRUE(options.ComPortAccepted());
    EXPECT_FALSE(options.ComPortRefused());
    Play(options, {{DO, 1, Bytes({IAC, WONT, 1})},
                   {WILL, 1, Bytes({IAC, DONT, 1})},
                   {DO, 24, Bytes({IAC, WONT, 24})},
                   {WILL, SuppressGoAhead, Bytes({IAC, DO, SuppressGoAhead})},
                   {WILL, SuppressGoAhead, ""},
                   {DO, Binary, ""},
                   {DONT, Binary, Bytes({IAC, WONT, Binary})},
                   {DONT, Binary, ""},
                   {WONT, Binary, Bytes({IAC, DONT, Binary})},
                   {WONT, Binary, ""},
                   {DONT, 1, ""},
                   {DO, Binary, Bytes({IAC, WILL, Binary})}});
    EXPECT_TRUE(options.ComPortAccepted());
}

TEST(TelnetCodecTest, ServerRefusingComPortOptionIsHeardWithoutReply) {
    TelnetOptions options;
    options.Opening();
    Play(options, {{WONT, Binary, ""}, {DONT, Binary, ""}, {DONT, ComPortOption, ""}});
    EXPECT_TRUE(options.ComPortRefused());
    EXPECT_FALSE(options.ComPortAccepted());
}

// A server that repeats a request the client has refused gets one refusal:
// answering each would let it make the client send without end.
TEST(TelnetCodecTest, ARefusedRequestRepeatedIsRefusedOnceUntilWithdrawn) {
    TelnetOptions options;
    options.Opening();
    Play(options, {{WILL, 5, Bytes({IAC, DONT, 5})},
                   {WILL, 5, ""},
                   {WILL, 5, ""},
                   {DO, 24, Bytes({IAC, WONT, 24})},
                   {DO, 24, ""},
                   // Withdrawn, then asked again: a new request, refused again.
                   {WONT, 5, ""},
                   {WILL, 5, Bytes({IAC, DONT, 5})},
                   {WILL, 5, ""}});
    EXPECT_EQ(options.Runaway(), -1);
    // A server that goes on repeating it is heard no more.
    for (int i = 0; i < 10000; ++i) {
        ASSERT_EQ(options.Answer(WILL, 5), "");
    }
    EXPECT_EQ(options.Runaway(), 5);
    EXPECT_EQ(options.Answer(DO, 6), Bytes({IAC, WONT, 6})) << "other options are still answered";
}

// Each switch of an option is a change the client answers, so a server that
// switches one back and forth is answered MaxAnswers times and then no more.
TEST(TelnetCodecTest, AnOptionSwitchedWithoutEndIsAnsweredABoundedNumberOfTimes) {
    for (const std::uint8_t option : {Binary, ComPortOption, SuppressGoAhead}) {
        SCOPED_TRACE(int(option));
        TelnetOptions options;
        options.Opening();
        std::size_t sent = 0;
        for (int i = 0; i < 1000; ++i) {
            sent += options.Answer(DO, option).size() + options.Answer(DONT, option).size();
            sent += options.Answer(WILL, option).size() + options.Answer(WONT, option).size();
        }
        EXPECT_LE(sent, 3U * TelnetOptions::MaxAnswers);
        EXPECT_EQ(options.Runaway(), option);
    }
}

// DO TIMING-MARK is a server's ping: each wants its answer. What a server
// says now and then never adds up to a runaway, as each window is counted
// afresh.
TEST(TelnetCodecTest, PingsAreAnsweredEachTimeAndCountedPerWindow) {
    TelnetOptions options;
    options.Opening();
    for (int window = 0; window < 10; ++window) {
        for (int ping = 0; ping < TelnetOptions::MaxAnswers; ++ping) {
            EXPECT_EQ(options.Answer(DO, TimingMark), Bytes({IAC, WONT, TimingMark}));
        }
        options.NewWindow();
    }
    EXPECT_EQ(options.Runaway(), -1);
    for (int ping = 0; ping < TelnetOptions::MaxAnswers; ++ping) {
        options.Answer(DO, TimingMark);
    }
    EXPECT_EQ(options.Answer(DO, TimingMark), "") << "too many pings in one window";
    EXPECT_EQ(options.Runaway(), TimingMark);
}

// Whatever follows an IAC SB that never ends, the decoder holds at most
// MaxPayload bytes of it, says so once it has run past MaxUnended, and takes
// data again after its IAC SE.
TEST(TelnetCodecTest, ASubnegotiationWithoutEndIsHeldBoundedAndNoticed) {
    TelnetDecoder decoder;
    std::string data;
    std::vector<TelnetItem> items;
    const std::string opening = Bytes({IAC, SB, ComPortOption, 106});
    decoder.Feed(opening.data(), opening.size(), data, items);
    const std::string garbage(1000, 'x');
    std::size_t fed = 0;
    while (fed <= TelnetDecoder::MaxUnended) {
        EXPECT_FALSE(decoder.Unended()) << fed;
        decoder.Feed(garbage.data(), garbage.size(), data, items);
        fed += garbage.size();
        EXPECT_LE(decoder.Held(), TelnetDecoder::MaxPayload);
    }
    EXPECT_TRUE(decoder.Unended());
    EXPECT_TRUE(data.empty());
    EXPECT_TRUE(items.empty());
    const std::string end = Bytes({IAC, SE}) + "G1";
    decoder.Feed(end.data(), end.size(), data, items);
    EXPECT_FALSE(decoder.Unended());
    EXPECT_EQ(data, "G1");
    EXPECT_TRUE(items.empty()) << "the over-long subnegotiation is dropped";
}

} // namespace
} // namespace feedrail
