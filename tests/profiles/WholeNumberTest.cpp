#include "profiles/WholeNumber.h"

#include <gtest/gtest.h>

namespace feedrail {
namespace {

TEST(WholeNumberTest, ReadsDecimalAndHexadecimalWithinThe32BitRange) {
    const struct {
        const char* text;
        std::optional<std::int32_t> expected;
    } cases[] = {
        {"9600", 9600},
        {"0x12C", 300},
        {"0X12c", 300},
        {"$12C", 300},
        {"  42", 42},
        {"\t7", 7},
        {"+7", 7},
        {"-5", -5},
        {"-$10", -16},
        {"007", 7},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"$7FFFFFFF", 2147483647},
        {"-$80000000", -2147483647 - 1},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"$80000000", std::nullopt},
        {"$FFFFFFFF", std::nullopt},
        {"99999999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"-", std::nullopt},
        {"$", std::nullopt},
        {"0x", std::nullopt},
        {"0x-1", std::nullopt},
        {"12 ", std::nullopt},
        {"1.5", std::nullopt},
        {"4800baud", std::nullopt},
        {"EVEN", std::nullopt},
        {"12AB", std::nullopt},
        {"--1", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseWholeNumber(c.text), c.expected) << "text: '" << c.text << "'";
    }
}

TEST(WholeNumberTest, ANulByteEndsNothingAndFailsTheNumber) {
    using namespace std::string_view_literals;
    EXPECT_EQ(ParseWholeNumber("12\0"sv
                               "3"sv),
              std::nullopt);
}

} // namespace
} // namespace feedrail
