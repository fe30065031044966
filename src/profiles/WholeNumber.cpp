#include "profiles/WholeNumber.h"

#include <limits>

namespace feedrail {
namespace {

int DigitValue(char c, int base) {
    int value = -1;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        value = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        value = c - 'A' + 10;
    }
    return value < base ? value : -1;
}

// Strips a hexadecimal prefix and returns the base the rest is written in.
int TakeBasePrefix(std::string_view& text) {
    if (text.starts_with('$')) {
        text.remove_prefix(1);
        return 16;
    }
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        return 16;
    }
    return 10;
}

} // namespace

std::optional<std::int32_t> ParseWholeNumber(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const int base = TakeBasePrefix(text);
    if (text.empty()) {
        return std::nullopt;
    }
    // The magnitude of the most negative value is one more than the largest.
    const std::int64_t limit =
        static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + (negative ? 1 : 0);
    std::int64_t magnitude = 0;
    for (char c : text) {
        const int digit = DigitValue(c, base);
        if (digit < 0) {
            return std::nullopt;
        }
        magnitude = magnitude * base + digit;
        if (magnitude > limit) {
            return std::nullopt;
        }
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

} // namespace feedrail
