#include "transfer/TapeImage.h"

#include "support/Bytes.h"
#include "transfer/TapeCode.h"
#include "transfer/TapeLine.h"

#include <gtest/gtest.h>

namespace feedrail {
namespace {

using test::Bytes;

const std::string Trailer = std::string(20, '\0') + "\x14";

TEST(TapeImageTest, ProgramsGoOnTheWireAsASendWritesThem) {
    const std::string program = "%\nO1000\nG0 X1\n%\n";
    const struct {
        const char* name;
        std::string text;
        std::int32_t punchType;
        std::int32_t eob;
        bool leader;
        std::string tape;
    } cases[] = {
        {"ascii crlf with leader", program, PunchAscii, EobCrLf, true,
         Bytes({0x25, 0x0D, 0x0A, 0x4F, 0x31, 0x30, 0x30, 0x30, 0x0D, 0x0A, 0x47, 0x30, 0x20, 0x58,
                0x31, 0x0D, 0x0A, 0x25}) +
             Trailer},
        {"iso crlf with leader", program, PunchIso, EobCrLf, true,
         Bytes({0xA5, 0x8D, 0x0A, 0xCF, 0xB1, 0x30, 0x30, 0x30, 0x8D, 0x0A, 0x47, 0x30, 0xA0, 0xD8,
                0xB1, 0x8D, 0x0A, 0xA5}) +
             Trailer},
        {"eia without leader", program, PunchEia, EobLfCrCr, false,
         Bytes({0x0B, 0x80, 0x46, 0x01, 0x20, 0x20, 0x20, 0x80, 0x67, 0x20, 0x10, 0x37, 0x01, 0x80,
                0x0B})},
        {"ascii lf/cr/cr, CRLF file", "%\r\nG1\r\n", PunchAscii, EobLfCrCr, false,
         "%\n\r\rG1\n\r\r"},
        {"leader before a percent after a dollar", "$PART1 %\n", PunchAscii, EobLf, true,
         "$PART1 " + std::string(8, '\0') + "%\n" + Trailer},
        {"eia leader bytes are encoded, trailer is not", "$1%\n", PunchEia, EobCrLf, true,
         Bytes({0x5B, 0x01, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x0B, 0x80}) + Trailer},
        {"no leader when the percent comes first", "%1$\n", PunchAscii, EobLf, true,
         "%1$\n" + Trailer},
        {"only the first percent line is sent whole", "%\n%\nG1\n", PunchAscii, EobLf, false,
         "%\n%"},
        {"a percent and a space is an ordinary line", "%\n% \nG1\n", PunchAscii, EobLf, false,
         "%\n% \nG1\n"},
        {"a percent inside a line arms the closing rule", "O1 (100%)\n%\nG1\n", PunchAscii, EobLf,
         false, "O1 (100%)\n%"},
        {"empty lines are their line end alone", "G1\n\nG2\n", PunchAscii, EobCrLf, false,
         "G1\r\n\r\nG2\r\n"},
        {"an empty program is the trailer alone", "", PunchAscii, EobCrLf, true, Trailer},
        {"no final line break", "G1", PunchAscii, EobLf, false, "G1\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeProgramText(c.text, c.punchType, c.eob, c.leader), c.tape) << c.name;
    }
}

TEST(TapeImageTest, TapesComeBackAsAReceiveCollectsThem) {
    const struct {
        const char* name;
        std::string tape;
        std::int32_t punchType;
        std::string text;
    } cases[] = {
        {"ascii with control characters", "\x12%\nO1000\r\nG0 X1\n\x14", PunchAscii,
         "%\nO1000\nG0 X1\n"},
        {"iso carriage returns end lines too", Bytes({0xA5, 0x8D, 0x0A, 0x47, 0xB1, 0x8D, 0x0A}),
         PunchIso, "%\n\nG1\n\n"},
        {"eia end of block, xon dropped, 0x13 is a digit",
         Bytes({0x00, 0x11, 0x0B, 0x80, 0x67, 0x13, 0x80, 0x2F}), PunchEia, "%\nG3\n"},
        {"blank tape is never text", std::string(5, '\0') + "G1" + std::string(3, '\0'), PunchAscii,
         "G1\n"},
        {"long lines are kept whole", std::string(300, 'X') + "\n", PunchAscii,
         std::string(300, 'X') + "\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeTapeImage(c.tape, c.punchType), c.text) << c.name;
    }
}

TEST(TapeImageTest, EveryChartCharacterSurvivesAnEiaRoundTrip) {
    std::string line;
    for (char c : TapeChars.substr(0, 63)) {
        if (c != '*' && c != '\x12' && c != '\x14') {
            line += c;
        }
    }
    line += '\'';
    const std::string text = line + "\n";
    EXPECT_EQ(DecodeTapeImage(EncodeProgramText(text, PunchEia, EobCrLf, false), PunchEia), text);
}

} // namespace
} // namespace feedrail
