#include "utilities/RenumberRules.h"

#include <gtest/gtest.h>

namespace feedrail {
namespace {

TEST(RenumberRulesTest, CommentsAndAddressesSplitAsTheRulesSay) {
    EXPECT_EQ(ExtractComment("G1 (CUT) X1 (B)"), "(CUT)");
    EXPECT_EQ(RemoveComment("G1 (CUT) X1 (B)"), "G1  X1 (B)");
    for (const char* noComment : {"G1 (CUT", "G1 ) X (", "G1 X1"}) {
        EXPECT_EQ(ExtractComment(noComment), "") << noComment;
        EXPECT_EQ(RemoveComment(noComment), noComment) << noComment;
    }
    const struct {
        const char* block;
        const char* before;
        const char* oldNumber;
        const char* rest;
    } splits[] = {
        {"G01 N35 X2", "G01 ", "35", "X2"}, {"N10.5G01", "", "10.5", "G01"},
        {"N 5 G01", "", "", "5 G01"},       {"N\t+-*/7 \x01 G1", "", "\t+-*/7", "G1"},
        {"12 G1", "", "12", "G1"},          {"G1 X1", "", "", "G1 X1"},
    };
    for (const auto& s : splits) {
        const AddressSplit split = SplitAtAddress('N', s.block);
        EXPECT_EQ(split.Before, s.before) << s.block;
        EXPECT_EQ(split.OldNumber, s.oldNumber) << s.block;
        EXPECT_EQ(split.Rest, s.rest) << s.block;
    }
}

TEST(RenumberRulesTest, EachLineIsLeftAloneOrRebuiltWithItsNumber) {
    using Outcome = RenumberedLine::Outcome;
    const std::string longComment = "(" + std::string(120, 'C') + ")";
    const std::string hundred = std::string(99, 'X') + "Y";
    const std::string toolComment = "(T1 D10 " + std::string(66, 'D') + " BT40)";
    const std::string codes = "G00 X123.456 Y78.901 Z5.000 M08 S12000";
    const struct {
        std::string line;
        Outcome what;
        std::string result;
    } cases[] = {
        {"N20 G01 X1", Outcome::Rebuilt, "N10 G01 X1"},
        {"G01 X1", Outcome::Rebuilt, "N10 G01 X1"},
        {"N20 G01 X1 (CUT)", Outcome::Rebuilt, "N10 G01 X1 (CUT)"},
        {"(TOOL 2)", Outcome::Rebuilt, "N10 (TOOL 2)"},
        {"/M01", Outcome::Rebuilt, "/N10 M01"},
        {"/N5 M01", Outcome::Rebuilt, "/N10 M01"},
        {"END1", Outcome::Rebuilt, "N10 END1"},
        {"/END1", Outcome::Rebuilt, "/N10 END1"},
        {"G01 N35 X2", Outcome::Rebuilt, "G01 N10 X2"},
        {"N 5 G01", Outcome::Rebuilt, "N10 5 G01"},
        {"N10.5G01", Outcome::Rebuilt, "N10 G01"},
        {"G1 X1 (NOTE)", Outcome::Rebuilt, "N10 G1 X1 (NOTE)"},
        {"G1 (N CUT", Outcome::Rebuilt, "G1 (N10 CUT"},
        {"NEG X1", Outcome::Rebuilt, "N10 NEG X1"},
        {"G1 NE5", Outcome::Rebuilt, "N10 G1 NE5"},
        {"n20 G1", Outcome::Rebuilt, "N10 n20 G1"},
        {"if [#1 GT 2]", Outcome::Rebuilt, "N10 if [#1 GT 2]"},
        {"O1000", Outcome::SkippedWithKeyCheck, "O1000"},
        {"IF [#1 GT 2] GOTO 5", Outcome::SkippedWithKeyCheck, "IF [#1 GT 2] GOTO 5"},
        {"NB1", Outcome::SkippedWithKeyCheck, "NB1"},
        {"%", Outcome::Skipped, "%"},
        {"$PROGRAM", Outcome::Skipped, "$PROGRAM"},
        {":1000", Outcome::Skipped, ":1000"},
        {"", Outcome::Skipped, ""},
        // Past 100 characters nothing is examined and nothing is lost.
        {"N5 G1 " + longComment, Outcome::Rebuilt, "N10 G1 " + longComment},
        {hundred + "N7 TAIL", Outcome::Rebuilt, "N10 " + hundred + "N7 TAIL"},
        {"/" + std::string(99, 'M'), Outcome::Rebuilt, "/N10 " + std::string(99, 'M')},
        {toolComment + " " + codes, Outcome::Rebuilt, "N10 " + codes + toolComment},
    };
    for (const auto& c : cases) {
        const RenumberedLine result = RenumberLine(c.line, 10);
        EXPECT_EQ(result.What, c.what) << c.line;
        EXPECT_EQ(result.Text, c.result) << c.line;
        if (c.what == Outcome::Rebuilt && c.line.size() <= RenumberBlockLength) {
            EXPECT_EQ(RenumberLine(result.Text, 10).Text, result.Text)
                << "a second run changed " << c.line;
        }
    }
}

} // namespace
} // namespace feedrail
