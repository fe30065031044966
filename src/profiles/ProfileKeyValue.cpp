#include "profiles/ProfileKeyValue.h"

#include "profiles/ProfileFile.h"
#include "profiles/ProfileValues.h"
#include "profiles/WholeNumber.h"

#include <limits>

namespace feedrail {
namespace {

struct KeyRange {
    std::string_view key;
    std::int32_t low;
    std::int32_t high;
};

constexpr KeyRange KeyRanges[] = {
    {"CommPort", 1, std::numeric_limits<std::uint8_t>::max()},
    {"CommBaudRate", 1, std::numeric_limits<std::int32_t>::max()},
    {"CommHandshake", HandshakeXonXoff, HandshakeRtsCts},
    {"PunchType", PunchAscii, PunchIso},
    {"EOB", EobCrLf, EobLf},
    {"CommDataBits", 7, 8},
    {"CommStopBits", 1, 2},
    {"Leader", 0, 1},
};

} // namespace

std::optional<std::int32_t> UsableKeyValue(std::string_view key, std::string_view text) {
    if (key == "CommParity") {
        const char letter = ParityLetter(text);
        if (letter == 'O' || letter == 'E' || letter == 'N') {
            return letter;
        }
        return std::nullopt;
    }
    const std::optional<std::int32_t> number = ParseWholeNumber(text);
    for (const KeyRange& range : KeyRanges) {
        if (range.key == key && number && *number >= range.low && *number <= range.high) {
            return number;
        }
    }
    return std::nullopt;
}

} // namespace feedrail
