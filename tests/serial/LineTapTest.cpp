#include "serial/device/LineTap.h"

#include "serial/TVaComm.h"
#include "support/PseudoTerminal.h"
#include "support/QueueHandOver.h"

#include <gtest/gtest.h>

namespace feedrail {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::system_clock;
using namespace std::string_literals;

TEST(LineTapTest, KeepsTheNewestBytesWithinItsBoundAndCountsTheRest) {
    const Clock::time_point t0{};
    const struct {
        const char* name;
        std::vector<std::pair<bool, std::string>> records;
        std::chrono::milliseconds apart;
        std::vector<std::pair<bool, std::string>> kept;
        std::uint64_t dropped;
    } cases[] = {
        {"one way within the span is one piece",
         {{true, "G1"}, {true, "\r\n"}},
         49ms,
         {{true, "G1\r\n"}},
         0},
        {"the span apart are two",
         {{true, "G1"}, {true, "\r\n"}},
         50ms,
         {{true, "G1"}, {true, "\r\n"}},
         0},
        {"each way its own piece",
         {{true, "%\n"}, {false, "\x13"}, {true, "G1"}},
         0ms,
         {{true, "%\n"}, {false, "\x13"}, {true, "G1"}},
         0},
        {"past the bound the oldest go",
         {{true, "ABCDE"}, {false, "FGHIJ"}},
         0ms,
         {{true, "CDE"}, {false, "FGHIJ"}},
         2},
        {"one piece past the bound keeps its end",
         {{false, "0123456789"}},
         0ms,
         {{false, "23456789"}},
         2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LineTap tap(8);
        Clock::time_point at = t0;
        for (const auto& [sent, bytes] : c.records) {
            tap.Record(sent, bytes.data(), bytes.size(), at);
            at += c.apart;
        }
        std::uint64_t dropped = 0;
        std::vector<std::pair<bool, std::string>> kept;
        for (const TappedBytes& piece : tap.Take(dropped)) {
            kept.emplace_back(piece.Sent, piece.Bytes);
        }
        EXPECT_EQ(kept, c.kept);
        EXPECT_EQ(dropped, c.dropped);
        EXPECT_TRUE(tap.Take(dropped).empty()) << "a take empties the tap";
        EXPECT_EQ(dropped, 0U);
    }
    // A trickle of single characters each way is bounded in pieces too.
    LineTap tap(1000, 2);
    for (const char* byte : {"\x11", "G", "\x13"}) {
        tap.Record(byte[0] != 'G', byte, 1, t0);
    }
    std::uint64_t dropped = 0;
    const std::vector<TappedBytes> kept = tap.Take(dropped);
    ASSERT_EQ(kept.size(), 2U);
    EXPECT_EQ(kept[0].Bytes + kept[1].Bytes, "G\x13");
    EXPECT_EQ(dropped, 1U);
}

// What a line monitor sees of a real line: every byte each way as it crossed,
// blank tape, XON, XOFF and parity bits included, with its time, and the
// last bytes of a device that closed.
TEST(LineTapTest, APortWatchedKeepsEveryByteEachWayRawAndInOrder) {
    test::PseudoTerminal pty;
    test::QueueHandOver handOver;
    TVaComm comm{handOver};
    comm.SetDeviceName(pty.SlavePath());
    comm.SetMonitorEvents(AllCommEvents);
    comm.SetFlowControl(fcNone);
    comm.SetBaudrate(br115200);
    comm.OnRxChar = [](TVaCustomComm& port, int count) {
        std::string bytes(static_cast<std::size_t>(count), '\0');
        port.ReadBuf(bytes.data(), count);
    };
    comm.WatchLine(true);
    comm.Open();
    const auto before = Clock::now();
    const std::string out = "%\r\n\xCF\xB1\x00\n"s;
    ASSERT_EQ(comm.WriteBuf(out.data(), static_cast<int>(out.size())),
              static_cast<int>(out.size()));
    ASSERT_EQ(pty.Read(out.size(), 2s), out);
    const std::string in = "\x11G1\x13\x00\x14"s;
    pty.Write(in);
    std::string sent;
    std::string received;
    std::uint64_t dropped = 0;
    const auto take = [&] {
        for (const TappedBytes& piece : comm.TakeLineTraffic(dropped)) {
            EXPECT_GE(piece.At, before);
            EXPECT_LE(piece.At, Clock::now());
            (piece.Sent ? sent : received) += piece.Bytes;
        }
    };
    handOver.RunUntil([&] {
        take();
        return received.size() >= in.size();
    });
    EXPECT_EQ(sent, out);
    EXPECT_EQ(received, in);

    pty.Write("M30\n");
    handOver.RunUntil([&] { return false; }, 100ms);
    comm.Close();
    take();
    EXPECT_EQ(received, in + "M30\n") << "a closing port keeps what its device had";
    EXPECT_EQ(dropped, 0U);

    comm.WatchLine(false);
    comm.Open();
    pty.Write("G2\n");
    handOver.RunUntil([&] { return false; }, 100ms);
    EXPECT_TRUE(comm.TakeLineTraffic(dropped).empty()) << "an unwatched line keeps nothing";
}

} // namespace
} // namespace feedrail
