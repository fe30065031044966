// Profile values of arbitrary bytes through the field and whole-number rules:
// a field is always a piece of the value between its commas (or the comma an
// apostrophe stands for), and a whole number is read exactly when the text is
// one that fits in 32 bits.

#include "FuzzCheck.h"
#include "profiles/GetField.h"
#include "profiles/WholeNumber.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using feedrail::GetField;
using feedrail::ParseWholeNumber;
using feedrail::fuzz::Require;

std::vector<std::string_view> SplitAtCommas(std::string_view value) {
    std::vector<std::string_view> fields;
    for (std::size_t comma = value.find(','); comma != std::string_view::npos;
         comma = value.find(',')) {
        fields.push_back(value.substr(0, comma));
        value.remove_prefix(comma + 1);
    }
    fields.push_back(value);
    return fields;
}

// The field as the rules describe it: numbered from 1, at most 100, and only
// the first of a value with 99 commas or more.
std::string ExpectedField(std::string_view value, int fieldNumber) {
    const auto fields = SplitAtCommas(value);
    const bool tooManyCommas = fields.size() > 99 && fieldNumber >= 2;
    if (fieldNumber < 1 || fieldNumber > 100 || tooManyCommas ||
        static_cast<std::size_t>(fieldNumber) > fields.size()) {
        return {};
    }
    const std::string_view field = fields[static_cast<std::size_t>(fieldNumber - 1)];
    return fieldNumber >= 2 && field == "'" ? "," : std::string(field);
}

bool IsDecimal(std::string_view digits) {
    return !digits.empty() &&
           std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Plain decimal texts, with blanks and a sign in front, checked against the
// standard library's reading.
void CheckDecimal(std::string_view text, std::optional<std::int32_t> number) {
    const std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        return;
    }
    text.remove_prefix(start);
    const bool negative = text.starts_with('-');
    if (text.starts_with('+') || negative) {
        text.remove_prefix(1);
    }
    if (!IsDecimal(text)) {
        return;
    }
    std::uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    const bool fits = error == std::errc{} && magnitude <= (negative ? 2147483648u : 2147483647u);
    Require(fits == number.has_value(), "a decimal is read exactly when it fits");
    if (fits) {
        const std::int64_t value =
            negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
        Require(*number == value, "a decimal reads as its value");
    }
}

void CheckWholeNumber(std::string_view text) {
    const auto number = ParseWholeNumber(text);
    CheckDecimal(text, number);
    if (number) {
        Require(ParseWholeNumber(std::to_string(*number)) == number,
                "a number read comes back from its decimal form");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const int fieldNumber = input.ConsumeIntegralInRange(-2, 102);
    const std::string value = input.ConsumeRemainingBytesAsString();
    const std::string field = GetField(value, fieldNumber);
    Require(field == ExpectedField(value, fieldNumber), "a field is the piece between commas");
    CheckWholeNumber(value);
    CheckWholeNumber(field);
    return 0;
}
