#include "filelist/FileMask.h"

#include <gtest/gtest.h>

namespace feedrail {
namespace {

TEST(FileMaskTest, NamesMatchAnyOfThePatternsInAnyLetterCase) {
    const struct {
        const char* mask;
        const char* name;
        bool matches;
    } cases[] = {
        {"*.*", "O1000", true},
        {"*.*", "O1000.nc", true},
        {"*.*", ".hidden", true},
        {"*", "O1000", true},
        {"*.nc;*.tap", "O1000.nc", true},
        {"*.nc;*.tap", "O2000.TAP", true},
        {"*.nc;*.tap", "O1000", false},
        {"*.nc;*.tap", "O1000.ncx", false},
        {"*.nc; *.tap ", "O2000.tap", true},
        {"O????.nc", "O1000.nc", true},
        {"O????.nc", "O10000.nc", false},
        {"*.nc;", "O1000.nc", true},
        {"", "O1000.nc", false},
        {";", "O1000.nc", false},
        {"notes.txt;*.*", "O1000", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FileMask(c.mask).Matches(c.name), c.matches) << c.mask << " / " << c.name;
    }
}

} // namespace
} // namespace feedrail
