#include "serial/device/WritePacing.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

namespace feedrail {
namespace {

using std::chrono::nanoseconds;
using Clock = WritePacing::Clock;

SerialSettings Framing(std::uint32_t baudRate, std::uint8_t byteSize, std::uint8_t parity,
                       std::uint8_t stopBits) {
    SerialSettings settings;
    settings.BaudRate = baudRate;
    settings.ByteSize = byteSize;
    settings.Parity = parity;
    settings.StopBits = stopBits;
    return settings;
}

// With a full backlog handed on, the writer tops up once `goneBeforeTopUp`
// characters have gone: early enough that the line never runs dry. At slow
// rates a port of this computer lets more ahead than one on a device server,
// whose XOFF comes back over a network; at 9600 baud on a UART that holds a
// lone XOFF for 4 characters' time, 4 ahead would let 11 follow it.
TEST(WritePacingTest, CharacterTimeAndBacklogFollowRateFramingAndReach) {
    using enum WritePacing::Reach;
    const struct {
        const char* name;
        WritePacing::Reach reach;
        SerialSettings settings;
        nanoseconds charTime;
        std::size_t backlogLimit;
        long goneBeforeTopUp;
    } rows[] = {
        {"300 7E1", Local, Framing(300, 7, EvenParity, OneStopBit), nanoseconds(33'333'333), 4, 3},
        {"4800 7E2", Local, Framing(4800, 7, EvenParity, TwoStopBits), nanoseconds(2'291'666), 4,
         3},
        {"9600 8N1", Local, Framing(9600, 8, NoParity, OneStopBit), nanoseconds(1'041'666), 3, 2},
        {"9600 8N1 on a device server", DeviceServer, Framing(9600, 8, NoParity, OneStopBit),
         nanoseconds(1'041'666), 2, 1},
        {"19200 8N1.5 as two stop bits", Local, Framing(19200, 8, NoParity, One5StopBits),
         nanoseconds(572'916), 2, 1},
        {"38400 8N1", Local, Framing(38400, 8, NoParity, OneStopBit), nanoseconds(260'416), 2, 1},
        {"57600 8N1", Local, Framing(57600, 8, NoParity, OneStopBit), nanoseconds(173'611), 3, 2},
        {"115200 8N1", Local, Framing(115200, 8, NoParity, OneStopBit), nanoseconds(86'805), 4, 2},
        {"115200 8N1 on a device server", DeviceServer, Framing(115200, 8, NoParity, OneStopBit),
         nanoseconds(86'805), 4, 2},
        {"230400 8O1", Local, Framing(230400, 8, OddParity, OneStopBit), nanoseconds(47'743), 4, 2},
        {"no rate at all", Local, Framing(0, 8, NoParity, OneStopBit), nanoseconds(10'000'000'000),
         4, 3},
    };
    const Clock::time_point t0 = Clock::time_point() + std::chrono::hours(1);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WritePacing pacing(row.reach, row.settings);
        EXPECT_EQ(pacing.CharTime(), row.charTime);
        EXPECT_EQ(pacing.BacklogLimit(), row.backlogLimit);
        EXPECT_LE(pacing.BacklogLimit(), WritePacing::MaxBacklog);
        pacing.Handed(t0, pacing.BacklogLimit());
        EXPECT_EQ(pacing.UntilRoom(t0), row.charTime * row.goneBeforeTopUp);
    }
}

// At 10000 Bd 8N1 a character takes 1 ms, which keeps the time points readable.
TEST(WritePacingTest, HandedBytesStayOnTheWireForTheirCharacterTimes) {
    const Clock::time_point t0 = Clock::time_point() + std::chrono::hours(1);
    constexpr nanoseconds c = std::chrono::milliseconds(1);
    constexpr nanoseconds tick(1);
    // Bytes handed on at `at`, or the wire cleared then.
    struct Step {
        nanoseconds at;
        std::size_t count;
        bool clear = false;
    };
    const struct {
        const char* name;
        std::vector<Step> steps;
        nanoseconds wireFreeAt;
        nanoseconds askedAt;
        std::size_t onWire;
        nanoseconds untilRoom;
    } rows[] = {
        {"nothing handed", {}, {}, {}, 0, c},
        {"three at once", {{{}, 3}}, 3 * c, {}, 3, 2 * c},
        {"a started character counts", {{{}, 3}}, 3 * c, tick, 3, 2 * c - tick},
        {"one gone", {{{}, 3}}, 3 * c, c, 2, c},
        {"last one under way", {{{}, 3}}, 3 * c, 3 * c - tick, 1, c},
        {"all gone", {{{}, 3}}, 3 * c, 3 * c, 0, c},
        {"long after", {{{}, 3}}, 3 * c, 100 * c, 0, c},
        {"queued behind the wire", {{{}, 2}, {c, 2}}, 4 * c, c, 3, 2 * c},
        {"idle time is not made up", {{{}, 1}, {5 * c, 2}}, 7 * c, 5 * c, 2, c},
        {"nothing handed in a call", {{{}, 2}, {c, 0}}, 2 * c, c, 1, c},
        {"cleared wire", {{{}, 3}, {c, 0, true}}, c, c, 0, c},
        {"handed after a clear", {{{}, 3}, {c, 0, true}, {2 * c, 1}}, 3 * c, 2 * c, 1, c},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WritePacing pacing(WritePacing::Reach::Local, Framing(10000, 8, NoParity, OneStopBit));
        ASSERT_EQ(pacing.CharTime(), c);
        pacing.Clear(t0);
        for (const Step& step : row.steps) {
            if (step.clear) {
                pacing.Clear(t0 + step.at);
            } else {
                pacing.Handed(t0 + step.at, step.count);
            }
        }
        const Clock::time_point asked = t0 + row.askedAt;
        EXPECT_EQ(pacing.WireFreeAt(), t0 + row.wireFreeAt);
        EXPECT_EQ(pacing.OnWire(asked), row.onWire);
        EXPECT_EQ(pacing.UntilWireFree(asked),
                  std::max(row.wireFreeAt - row.askedAt, nanoseconds()));
        EXPECT_EQ(pacing.UntilRoom(asked), row.untilRoom);
    }
}

} // namespace
} // namespace feedrail
