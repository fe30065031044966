#include "machine/ControlPuncher.h"

#include "support/Bytes.h"
#include "transfer/TapeCode.h"
#include "transfer/TapeImage.h"

#include <gtest/gtest.h>

namespace feedrail::machine {
namespace {

using namespace std::chrono_literals;

using test::Bytes;

TEST(ControlPuncherTest, TapeHasDc2LeaderProgramTrailerAndDc4) {
    const std::string program = "%\nG1\n%\n";
    const struct {
        const char* name;
        PunchConfig config;
        std::string tape;
    } cases[] = {
        {"ascii, codes, no leader", {PunchAscii, EobLf, true, 0, 0, 960}, "\x12%\nG1\n%\x14"},
        {"iso, leader and trailer",
         {PunchIso, EobCrLf, true, 3, 2, 960},
         Bytes({0x12, 0, 0, 0, 0xA5, 0x8D, 0x0A, 0x47, 0xB1, 0x8D, 0x0A, 0xA5, 0, 0, 0x14})},
        {"eia, codes",
         {PunchEia, EobCrLf, true, 1, 1, 960},
         Bytes({0x4C, 0x00, 0x0B, 0x80, 0x67, 0x01, 0x80, 0x0B, 0x00, 0x2F})},
        {"plain, no codes", {PunchAscii, EobCrLf, false, 0, 0, 960}, "%\r\nG1\r\n%"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ControlPuncher(c.config, program).Tape(), c.tape) << c.name;
    }
}

TEST(ControlPuncherTest, PacedAndHeldByXoffUntilXon) {
    PunchConfig config{PunchAscii, EobLf, false, 0, 0, 100};
    ControlPuncher puncher(config, "%\nG01 X100.0\n%\n");
    const Clock::time_point t0{};
    std::string sent = puncher.Next(t0);
    EXPECT_EQ(sent, "%");
    sent += puncher.Next(t0 + 5ms);
    EXPECT_EQ(sent, "%") << "100 characters per second is one every 10 ms";
    sent += puncher.Next(t0 + 30ms);
    EXPECT_EQ(sent, "%\nG0");
    puncher.Receive("\x13");
    EXPECT_EQ(puncher.Next(t0 + 1s), "");
    puncher.Receive("\x11");
    sent += puncher.Next(t0 + 1010ms);
    EXPECT_EQ(sent.size(), 8u) << "a pause does not save up a burst";
    for (auto t = t0 + 1s; !puncher.Done(); t += 10ms) {
        sent += puncher.Next(t + 20ms);
    }
    EXPECT_EQ(sent, puncher.Tape());
}

} // namespace
} // namespace feedrail::machine
