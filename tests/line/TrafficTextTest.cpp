#include "line/TrafficText.h"

#include <gtest/gtest.h>

namespace feedrail {
namespace {

using namespace std::string_literals;

// What an operator reads of known bytes: control codes by name, ISO's parity
// overlined (U+0305 after each character), a new line after each LF.
TEST(TrafficTextTest, BytesReadAsTheMonitorShowsThem) {
    const std::string bar = "\xCC\x85";
    const struct {
        const char* name;
        std::string bytes;
        TrafficView view;
        std::vector<std::string> lines;
    } cases[] = {
        {"ascii lines", "%\r\nG1\r\n", TrafficView::Text, {"%<CR><LF>", "G1<CR><LF>"}},
        {"a machine's controls",
         "\x11G1\x13\x00\x12\x14"s,
         TrafficView::Text,
         {"<XON>G1<XOFF><NUL><DC2><DC4>"}},
        {"iso with parity",
         "\xA5\x8D\x0A\xCF\xB1"s,
         TrafficView::Text,
         {"%" + bar + "<" + bar + "C" + bar + "R" + bar + ">" + bar + "<LF>",
          "O" + bar + "1" + bar}},
        {"other codes by number, a punched-over DEL too",
         "\x1B\xFF\x80"s,
         TrafficView::Text,
         {"<0x1B><0xFF><" + bar + "N" + bar + "U" + bar + "L" + bar + ">" + bar}},
        {"hex, 16 to a line",
         "0123456789abcdef%"s,
         TrafficView::Hex,
         {"30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66", "25"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TappedBytes piece{std::chrono::system_clock::now(), true, c.bytes};
        const std::vector<TrafficLine> lines = TrafficLines(piece, c.view);
        std::vector<std::string> texts;
        for (const TrafficLine& line : lines) {
            texts.push_back(line.Text);
            EXPECT_TRUE(line.Sent);
        }
        EXPECT_EQ(texts, c.lines);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0].Time, TrafficTime(piece.At)) << "the time on a piece's first line";
        for (std::size_t line = 1; line < lines.size(); ++line) {
            EXPECT_EQ(lines[line].Time, "");
        }
    }
}

} // namespace
} // namespace feedrail
