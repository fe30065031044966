#include "profiles/GetField.h"

#include <gtest/gtest.h>

namespace feedrail {
namespace {

std::string Commas(int count) {
    std::string value = "first";
    for (int i = 1; i <= count; ++i) {
        value += "," + std::to_string(i + 1);
    }
    return value;
}

TEST(GetFieldTest, SplitsAtCommasWithTheApostropheAndLimitRules) {
    const struct {
        std::string value;
        int field;
        std::string expected;
    } cases[] = {
        {"Mill 2,/nc/mill2", 1, "Mill 2"},
        {"Mill 2,/nc/mill2", 2, "/nc/mill2"},
        {"Lathe,/a,b", 2, "/a"},
        {"Lathe,/a,b", 3, "b"},
        {"Backplot,plot,2", 3, "2"},
        {"nocomma", 1, "nocomma"},
        {"nocomma", 2, ""},
        {"a,b", 3, ""},
        {"a, b ,c", 2, " b "},
        {"a,,c", 2, ""},
        {"a,b,", 3, ""},
        {",b", 1, ""},
        {"", 1, ""},
        {"Sep,'", 2, ","},
        {"a,',c", 2, ","},
        {"a,'',c", 2, "''"},
        {"a, ',c", 2, " '"},
        {"',b", 1, "'"},
        {"a,b", 0, ""},
        {"a,b", -1, ""},
        {"a,b", 101, ""},
        {Commas(98), 1, "first"},
        {Commas(98), 2, "2"},
        {Commas(98), 99, "99"},
        {Commas(98), 100, ""},
        {Commas(99), 1, "first"},
        {Commas(99), 2, ""},
        {Commas(99), 50, ""},
        {Commas(150), 1, "first"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetField(c.value, c.field), c.expected)
            << "value: '" << c.value.substr(0, 40) << "' field " << c.field;
    }
}

} // namespace
} // namespace feedrail
