#include "transfer/SendFrom.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace feedrail {
namespace {

const std::vector<std::string> Program = {
    "%",                      // 1
    "O1000 (BRACKET)",        // 2
    "G0 G17 G40 G49 G80 G90", // 3, a safety block that moves nothing
    "(T1 FACE MILL)",         // 4
    "T1 M6",                  // 5
    "G0 G54 X0 Y0 S1000 M3",  // 6
    "N570 G1 Z-1. F200",      // 7
    "T2",                     // 8
    "M06",                    // 9
    "N0057 G0 X10 Y10",       // 10
    " / N058 G1 X20",         // 11
    "(T9 M6 IN A COMMENT)",   // 12
    "T3 M6 (DRILL)",          // 13
    "N60 X30",                // 14
    "M30",                    // 15
    "%",                      // 16
};

TEST(SendFromTest, EachWayFindsItsBlockAndKeepsTheHead) {
    const struct {
        const char* name;
        StartWay way;
        long value;
        int start;
        const char* from;
        const char* error;
    } cases[] = {
        {"a line", StartWay::Line, 10, 10, "from line 10 (N0057 G0 X10 Y10)", ""},
        {"the first block after the head", StartWay::Line, 5, 5, "from line 5 (T1 M6)", ""},
        {"N57 is not N570, leading zeros count for nothing", StartWay::Sequence, 57, 10, "", ""},
        {"after a block delete", StartWay::Sequence, 58, 11, "", ""},
        {"T and M6 in one block", StartWay::ToolChange, 1, 5, "", ""},
        {"T, then M06 on the next line, starts at the T", StartWay::ToolChange, 2, 8, "", ""},
        {"a comment's T and M6 are no change", StartWay::ToolChange, 3, 13,
         "from line 13 (T3 M6 (DRILL))", ""},
        {"no such line", StartWay::Line, 17, 0, "",
         "There is no line 17: the program has 16 lines."},
        {"no such sequence number", StartWay::Sequence, 5, 0, "",
         "No block has the sequence number N5."},
        {"no such tool change", StartWay::ToolChange, 4, 0, "",
         "The program has 3 tool changes, not 4."},
        {"inside the head", StartWay::Line, 3, 0, "",
         "Line 3 is in the program's head (lines 1 to 4), which is sent anyway: send the whole "
         "program."},
    };
    const std::vector<std::string> head(Program.begin(), Program.begin() + 4);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SendFromPlan plan = PlanSendFrom(Program, c.way, c.value);
        EXPECT_EQ(plan.Error, c.error);
        EXPECT_EQ(plan.StartLine, c.start);
        if (c.start == 0) {
            continue;
        }
        EXPECT_EQ(plan.Head, head);
        EXPECT_EQ(plan.FirstSkipped, 5);
        EXPECT_EQ(plan.SkippedCount, c.start - 5);
        if (*c.from != '\0') {
            EXPECT_EQ(plan.From, c.from);
        }
    }
}

} // namespace
} // namespace feedrail
