#include "profiles/GetField.h"

#include <algorithm>

namespace feedrail {
namespace {

constexpr int LastFieldNumber = 100;
constexpr std::ptrdiff_t MostCommas = 98;

} // namespace

std::string GetField(std::string_view value, int fieldNumber) {
    if (fieldNumber < 1 || fieldNumber > LastFieldNumber) {
        return {};
    }
    if (fieldNumber >= 2 && std::count(value.begin(), value.end(), ',') > MostCommas) {
        return {};
    }
    std::size_t start = 0;
    for (int n = 1; n < fieldNumber; ++n) {
        const std::size_t comma = value.find(',', start);
        if (comma == std::string_view::npos) {
            return {};
        }
        start = comma + 1;
    }
    const std::size_t end = value.find(',', start);
    const std::string_view field =
        value.substr(start, end == std::string_view::npos ? end : end - start);
    if (fieldNumber >= 2 && field == "'") {
        return ",";
    }
    return std::string(field);
}

} // namespace feedrail
