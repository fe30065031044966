#include "utilities/Renumbering.h"

#include "support/FakeWindowHost.h"
#include "support/QueueHandOver.h"

#include <gtest/gtest.h>

namespace feedrail {
namespace {

TEST(RenumberingTest, OnlyRebuiltLinesTakeANumberAndASecondRunChangesNothing) {
    const struct {
        const char* name;
        std::vector<std::string> lines;
        std::vector<std::string> result;
    } cases[] = {
        {"an empty editor", {}, {}},
        {"a program",
         {"%", "O1000 (PART)", "N5 G0 X0", "", "G1 X1 (N CUT)", "IF [#1 GT 1] GOTO 9", "/M01",
          "END1", "$SUB", ":2000", "M30", "%"},
         {"%", "O1000 (PART)", "N10 G0 X0", "", "N20 G1 X1 (N CUT)", "IF [#1 GT 1] GOTO 9",
          "/N30 M01", "N40 END1", "$SUB", ":2000", "N50 M30", "%"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::QueueHandOver handOver;
        RunState state;
        test::FakeWindowHost host(handOver, state);
        state.CancelRequested = true;
        Renumbering renumbering(state, host, host);
        host.Lines = c.lines;
        renumbering.Renumber();
        EXPECT_EQ(host.Lines, c.result);
        EXPECT_FALSE(state.CancelRequested);
        EXPECT_EQ(host.UndoStepsOpen, 0);
        EXPECT_EQ(host.UndoStepsBegun, 1) << "one Ctrl+Z takes the whole run back";
        renumbering.Renumber();
        EXPECT_EQ(host.Lines, c.result) << "a second run changed the program";
    }
}

} // namespace
} // namespace feedrail
