#include "machine/ControlReceiver.h"

#include "transfer/TapeCode.h"
#include "transfer/TapeImage.h"

#include <gtest/gtest.h>

namespace feedrail::machine {
namespace {

using namespace std::chrono_literals;

const std::string Xon = "\x11";
const std::string Xoff = "\x13";

ReceiverConfig SmallBuffer() {
    ReceiverConfig config;
    config.bufferSize = 16;
    config.highMark = 12;
    config.lowMark = 4;
    config.drainPerSecond = 100;
    return config;
}

TEST(ControlReceiverTest, XoffWhenTheBufferFillsAndXonWhenItHasDrained) {
    ControlReceiver receiver(SmallBuffer());
    const Clock::time_point t0{};
    EXPECT_EQ(receiver.Start(t0), Xon);
    EXPECT_EQ(receiver.Receive(std::string(11, 'G'), t0), "");
    EXPECT_EQ(receiver.Receive("G", t0), Xoff);
    EXPECT_EQ(receiver.Receive("12", t0), "") << "one XOFF per fill";
    EXPECT_EQ(receiver.Tick(t0 + 50ms), "") << "14 - 5 drained is still above the low mark";
    EXPECT_EQ(receiver.Tick(t0 + 100ms), Xon) << "14 - 10 drained reaches the low mark";
    EXPECT_EQ(receiver.Buffered(), 4u);
    EXPECT_EQ(receiver.Tick(t0 + 200ms), "");
    EXPECT_EQ(receiver.Buffered(), 0u);
    EXPECT_EQ(receiver.MostAfterXoff(), 2u);
    EXPECT_FALSE(receiver.Alarm());
}

TEST(ControlReceiverTest, OverrunAlarmCountsCharactersAfterEachXoff) {
    const struct {
        std::size_t afterXoff;
        bool alarm;
    } cases[] = {{0, false}, {10, false}, {11, true}, {40, true}};
    for (const auto& c : cases) {
        ControlReceiver receiver(SmallBuffer());
        const Clock::time_point t0{};
        receiver.Start(t0);
        ASSERT_EQ(receiver.Receive(std::string(12, 'X'), t0), Xoff);
        receiver.Receive(std::string(c.afterXoff, 'X'), t0);
        EXPECT_EQ(receiver.Alarm(), c.alarm) << c.afterXoff;
        EXPECT_EQ(receiver.MostAfterXoff(), c.afterXoff);
    }
}

TEST(ControlReceiverTest, CountStartsAgainAtEachXoff) {
    ControlReceiver receiver(SmallBuffer());
    const Clock::time_point t0{};
    receiver.Start(t0);
    receiver.Receive(std::string(12, 'X') + std::string(8, 'X'), t0);
    ASSERT_EQ(receiver.Tick(t0 + 1s), Xon);
    EXPECT_EQ(receiver.Receive(std::string(12, 'X'), t0 + 1s), Xoff);
    receiver.Receive(std::string(8, 'X'), t0 + 1s);
    EXPECT_FALSE(receiver.Alarm()) << "8 after each of two XOFFs is never more than 10";
    EXPECT_EQ(receiver.MostAfterXoff(), 8u);
}

TEST(ControlReceiverTest, WithoutHandshakeItNeverAnswers) {
    ReceiverConfig config = SmallBuffer();
    config.xonXoff = false;
    ControlReceiver receiver(config);
    const Clock::time_point t0{};
    EXPECT_EQ(receiver.Start(t0), "");
    EXPECT_EQ(receiver.Receive(std::string(100, 'X'), t0), "");
    EXPECT_EQ(receiver.Tick(t0 + 10s), "");
    EXPECT_FALSE(receiver.Alarm());
}

TEST(ControlReceiverTest, WaitingControlRepeatsItsXon) {
    ReceiverConfig config = SmallBuffer();
    config.xonRepeat = 5s;
    ControlReceiver receiver(config);
    const Clock::time_point t0{};
    ASSERT_EQ(receiver.Start(t0), Xon);
    EXPECT_EQ(receiver.Tick(t0 + 4900ms), "");
    EXPECT_EQ(receiver.Tick(t0 + 5s), Xon);
    EXPECT_EQ(receiver.Tick(t0 + 9900ms), "");
    EXPECT_EQ(receiver.Tick(t0 + 10s), Xon);
    receiver.Receive("%", t0 + 12s);
    EXPECT_EQ(receiver.Tick(t0 + 16s), "") << "characters arrived within the last 5 s";
}

TEST(ControlReceiverTest, ProgramsAreDecodedInTheControlsTapeCode) {
    const std::string program = "%\nO1234 (PLATE)\nG0 X1.5 Y-2.\nM30\n%\n";
    for (const std::int32_t code : {PunchAscii, PunchEia, PunchIso}) {
        for (const std::int32_t eob : {EobCrLf, EobLfCrCr, EobLf}) {
            ReceiverConfig config = SmallBuffer();
            config.punchType = code;
            config.bufferSize = 4096;
            config.highMark = 4000;
            ControlReceiver receiver(config);
            const Clock::time_point t0{};
            receiver.Start(t0);
            const std::string tape = EncodeTapeText("\x12", code) + std::string(5, LeaderChar) +
                                     EncodeProgramText(program, code, eob, true);
            receiver.Receive(tape.substr(0, 7), t0);
            receiver.Receive(tape.substr(7), t0);
            const std::vector<std::string> programs = receiver.TakePrograms();
            ASSERT_EQ(programs.size(), 1u) << code << " " << eob;
            EXPECT_EQ(programs[0], program) << code << " " << eob;
            EXPECT_TRUE(receiver.TakePrograms().empty());
        }
    }
}

// Text before the first "%" is no program, and a "%" inside a block (a
// comment's) is text: only a "%" line ends one.
TEST(ControlReceiverTest, TextBeforeTheFirstPercentIsNotAProgram) {
    ControlReceiver receiver(SmallBuffer());
    receiver.Start({});
    receiver.Receive("noise\n%\nG1 (FEED 50%)\n%\n%\nG2\n%", {});
    const std::vector<std::string> programs = receiver.TakePrograms();
    ASSERT_EQ(programs.size(), 2u);
    EXPECT_EQ(programs[0], "%\nG1 (FEED 50%)\n%\n");
    EXPECT_EQ(programs[1], "%\nG2\n%\n");
}

} // namespace
} // namespace feedrail::machine
