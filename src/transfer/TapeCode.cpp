#include "transfer/TapeCode.h"

#include "common/ControlChars.h"

#include <array>
#include <bit>

namespace feedrail {
namespace {

// Byte-indexed forms of the two tables, built once so that converting a byte
// is one lookup. Where a byte occurs twice the first position wins.
struct EiaTables {
    std::array<char, 256> encode{};
    std::array<std::int16_t, 256> decode{}; // -1: not an EIA code
};

constexpr EiaTables BuildEiaTables() {
    EiaTables tables;
    tables.encode.fill(EiaNoCode);
    tables.decode.fill(-1);
    std::array<bool, 256> encoded{};
    for (std::size_t i = 0; i < EiaCodes.size(); ++i) {
        const auto character = static_cast<unsigned char>(TapeChars[i]);
        const auto code = static_cast<unsigned char>(EiaCodes[i]);
        if (!encoded[character]) {
            tables.encode[character] = EiaCodes[i];
            encoded[character] = true;
        }
        if (tables.decode[code] < 0) {
            tables.decode[code] = character;
        }
    }
    return tables;
}

constexpr EiaTables Eia = BuildEiaTables();

char IsoByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80 && std::popcount(byte) % 2 != 0) {
        return static_cast<char>(byte | 0x80);
    }
    return c;
}

} // namespace

std::string EncodeTapeText(std::string_view text, std::int32_t punchType) {
    std::string bytes(text);
    if (punchType == PunchEia) {
        for (char& c : bytes) {
            c = Eia.encode[static_cast<unsigned char>(c)];
        }
    } else if (punchType == PunchIso) {
        for (char& c : bytes) {
            c = IsoByte(c);
        }
    }
    return bytes;
}

std::string EndOfLineBytes(std::int32_t eob, std::int32_t punchType) {
    if (eob < EobCrLf || eob > EobLf || punchType < PunchAscii || punchType > PunchIso) {
        return {};
    }
    if (punchType == PunchEia) {
        return "\x80";
    }
    static constexpr std::array<std::string_view, 3> ascii{"\r\n", "\n\r\r", "\n"};
    return EncodeTapeText(ascii[static_cast<std::size_t>(eob)], punchType);
}

bool HasTapeCode(char character, std::int32_t punchType) {
    return punchType != PunchEia || character == ' ' ||
           Eia.encode[static_cast<unsigned char>(character)] != EiaNoCode;
}

std::optional<char> DecodeTapeByte(unsigned char byte, std::int32_t punchType) {
    if (punchType == PunchEia) {
        const std::int16_t character = Eia.decode[byte];
        if (character < 0) {
            return std::nullopt;
        }
        return static_cast<char>(character);
    }
    if (byte == 0x0D) {
        return std::nullopt;
    }
    if (punchType == PunchIso && byte > 0x80) {
        return static_cast<char>(byte & 0x7F);
    }
    return static_cast<char>(byte);
}

std::optional<char> DecodeMachineByte(unsigned char byte, std::int32_t punchType) {
    if (punchType == PunchEia && (byte == ControlChar::Xon || byte == ControlChar::Xoff)) {
        return static_cast<char>(byte);
    }
    return DecodeTapeByte(byte, punchType);
}

} // namespace feedrail
