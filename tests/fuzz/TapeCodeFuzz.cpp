// Part programs of arbitrary bytes through the tape codes: encoding keeps one
// byte per character, decoding any tape gives clean lines, and text that a
// code can carry comes back from its tape as it was, in every code and end of
// line, with and without leader.

#include "FuzzCheck.h"
#include "profiles/ProfileValues.h"
#include "transfer/TapeCode.h"
#include "transfer/TapeImage.h"
#include "transfer/TapeLine.h"

#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace feedrail;
using feedrail::fuzz::Require;

struct Format {
    std::int32_t punchType;
    std::int32_t eob;
    bool leader;
};

bool IsLineControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte == 0x00 || (byte >= 0x11 && byte <= 0x14);
}

// A received carriage return is dropped in every code, and NUL and DC1 to
// DC4 steer the line rather than being text. EIA has its table alone (its
// asterisk's code is the byte 0x0D); ISO has 7 bits and the byte 0x80.
bool Carried(char c, std::int32_t punchType) {
    if (c == '\r' || IsLineControl(c)) {
        return false;
    }
    if (punchType == PunchEia) {
        return TapeChars.substr(0, EiaCodes.size()).find(c) != std::string_view::npos;
    }
    return punchType != PunchIso || static_cast<unsigned char>(c) <= 0x80;
}

std::string CarriedText(std::string_view text, std::int32_t punchType) {
    std::string carried;
    for (const char c : text) {
        if (Carried(c, punchType)) {
            carried += c;
        }
    }
    return carried;
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        lines.push_back(text.substr(0, newline));
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    }
    return lines;
}

// ISO's carriage returns carry parity, so they are not dropped: each ends a
// line on receipt, as the line feed does.
std::size_t BreaksPerLineEnd(const Format& format) {
    if (format.punchType != PunchIso) {
        return 1;
    }
    return format.eob == EobCrLf ? 2 : format.eob == EobLfCrCr ? 3 : 1;
}

// EIA has no blank code: the leader before the "%" of a "$ ... %" line goes
// out as spaces and comes back as spaces.
std::string ReceivedLine(std::string_view line, const Format& format) {
    std::string received(line);
    const std::size_t dollar = line.find('$');
    const std::size_t percent = line.find('%');
    if (format.leader && format.punchType == PunchEia && dollar < percent &&
        percent != std::string_view::npos) {
        received.insert(percent, LeaderLength, ' ');
    }
    return received;
}

// The text a tape of `text` decodes to: every line, until a "%" line after
// one that holds a "%" closes the program.
std::string ExpectedText(std::string_view text, const Format& format) {
    std::string expected;
    bool percentSent = false;
    for (const std::string_view line : Lines(text)) {
        if (line == "%" && percentSent) {
            return expected + "%\n";
        }
        expected += ReceivedLine(line, format);
        expected.append(BreaksPerLineEnd(format), '\n');
        percentSent = percentSent || line.find('%') != std::string_view::npos;
    }
    return expected;
}

// A received byte becomes a character of its code: EIA's table, or 7 bits
// (and the byte 0x80) in ISO.
void CheckByteDecoding(std::string_view bytes, std::int32_t punchType) {
    for (const char byte : bytes) {
        const auto c = DecodeTapeByte(static_cast<unsigned char>(byte), punchType);
        Require(!c || *c != '\r' || punchType == PunchIso, "carriage returns are dropped");
        if (c && punchType == PunchEia) {
            Require(TapeChars.substr(0, EiaCodes.size()).find(*c) != std::string_view::npos,
                    "EIA decodes to its table");
        } else if (c && punchType == PunchIso) {
            Require(static_cast<unsigned char>(*c) <= 0x80, "ISO decodes to 7 bits or 0x80");
        }
    }
}

void CheckAnyTape(std::string_view bytes, const Format& format) {
    Require(EncodeTapeText(bytes, format.punchType).size() == bytes.size(),
            "one tape byte per character");
    const bool known = format.punchType >= PunchAscii && format.punchType <= PunchIso &&
                       format.eob >= EobCrLf && format.eob <= EobLf;
    Require(EndOfLineBytes(format.eob, format.punchType).empty() != known,
            "an end of line exactly for known values");
    EncodeProgramText(bytes, format.punchType, format.eob, format.leader);
    CheckByteDecoding(bytes, format.punchType);
    const std::string text = DecodeTapeImage(bytes, format.punchType);
    for (const char c : text) {
        Require(c != '\r' && !IsLineControl(c), "decoded text holds no control characters");
    }
    Require(text.empty() || text.back() == '\n', "decoded text ends with a line break");
}

void CheckRoundTrip(std::string_view bytes, const Format& format) {
    const std::string text = CarriedText(bytes, format.punchType);
    const std::string tape = EncodeProgramText(text, format.punchType, format.eob, format.leader);
    Require(DecodeTapeImage(tape, format.punchType) == ExpectedText(text, format),
            "carried text comes back from its tape");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const Format format{input.ConsumeIntegralInRange(0, 4), input.ConsumeIntegralInRange(-1, 3),
                        input.ConsumeBool()};
    const std::string bytes = input.ConsumeRemainingBytesAsString();
    CheckAnyTape(bytes, format);
    if (format.punchType >= PunchAscii && format.punchType <= PunchIso && format.eob >= EobCrLf &&
        format.eob <= EobLf) {
        CheckRoundTrip(bytes, format);
    }
    return 0;
}
