#include "transfer/TapeCode.h"

#include "support/Bytes.h"

#include <bit>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace feedrail {
namespace {

// The EIA table, typed from the tape-code chart: character byte, EIA code.
constexpr struct {
    unsigned char character;
    unsigned char code;
} Chart[] = {
    {0x20, 0x10}, {'0', 0x20},  {'1', 0x01},  {'2', 0x02}, {'3', 0x13},  {'4', 0x04}, {'5', 0x15},
    {'6', 0x16},  {'7', 0x07},  {'8', 0x08},  {'9', 0x19}, {'A', 0x61},  {'B', 0x62}, {'C', 0x73},
    {'D', 0x64},  {'E', 0x75},  {'F', 0x76},  {'G', 0x67}, {'H', 0x68},  {'I', 0x79}, {'J', 0x51},
    {'K', 0x52},  {'L', 0x43},  {'M', 0x54},  {'N', 0x45}, {'O', 0x46},  {'P', 0x57}, {'Q', 0x58},
    {'R', 0x49},  {'S', 0x32},  {'T', 0x23},  {'U', 0x34}, {'V', 0x25},  {'W', 0x26}, {'X', 0x37},
    {'Y', 0x38},  {'Z', 0x29},  {':', 0x1A},  {'%', 0x0B}, {'#', 0x1C},  {'*', 0x0D}, {'&', 0x0E},
    {'@', 0x1F},  {'/', 0x31},  {0x08, 0x2A}, {',', 0x3B}, {'[', 0x2C},  {']', 0x5E}, {0x09, 0x3E},
    {0x14, 0x2F}, {'-', 0x40},  {'~', 0x4A},  {'$', 0x5B}, {0x12, 0x4C}, {'"', 0x5D}, {';', 0x4F},
    {'+', 0x70},  {'(', 0x7A},  {'.', 0x6B},  {')', 0x7C}, {'?', 0x6D},  {'!', 0x6E}, {0x7F, 0x7F},
    {0x0A, 0x80}, {'\'', 0x3D},
};

using test::Bytes;

std::string Byte(unsigned value) {
    return std::string(1, static_cast<char>(value));
}

TEST(TapeCodeTest, TablesMatchTheChart) {
    ASSERT_EQ(TapeChars.size(), 66u);
    ASSERT_EQ(EiaCodes.size(), 65u);
    ASSERT_EQ(std::size(Chart), 65u);
    for (std::size_t i = 0; i < std::size(Chart); ++i) {
        EXPECT_EQ(static_cast<unsigned char>(TapeChars[i]), Chart[i].character)
            << "position " << i + 1;
        EXPECT_EQ(static_cast<unsigned char>(EiaCodes[i]), Chart[i].code) << "position " << i + 1;
        // Track 5 is the parity track: every code has an odd number of holes.
        EXPECT_EQ(std::popcount(Chart[i].code) % 2, 1) << "position " << i + 1;
    }
    EXPECT_EQ(static_cast<unsigned char>(TapeChars[65]), 0x80);
}

TEST(TapeCodeTest, EiaEncodesEveryByteByTheChart) {
    std::set<unsigned char> charted;
    for (const auto& entry : Chart) {
        charted.insert(entry.character);
        EXPECT_EQ(EncodeTapeText(Byte(entry.character), PunchEia), Byte(entry.code))
            << "character 0x" << std::hex << int(entry.character);
    }
    for (unsigned byte = 0; byte < 256; ++byte) {
        if (!charted.contains(static_cast<unsigned char>(byte))) {
            EXPECT_EQ(EncodeTapeText(Byte(byte), PunchEia), Byte(0x10))
                << "byte 0x" << std::hex << byte;
        }
    }
}

TEST(TapeCodeTest, EiaDecodesEveryByteByTheChart) {
    std::map<unsigned char, unsigned char> characterOf;
    for (const auto& entry : Chart) {
        characterOf.emplace(entry.code, entry.character);
    }
    for (unsigned byte = 0; byte < 256; ++byte) {
        const auto decoded = DecodeTapeByte(static_cast<unsigned char>(byte), PunchEia);
        const auto found = characterOf.find(static_cast<unsigned char>(byte));
        if (found == characterOf.end()) {
            EXPECT_EQ(decoded, std::nullopt) << "byte 0x" << std::hex << byte;
        } else {
            EXPECT_EQ(decoded, static_cast<char>(found->second)) << "byte 0x" << std::hex << byte;
        }
    }
}

TEST(TapeCodeTest, EiaLinesEncodeAndComeBack) {
    EXPECT_EQ(EncodeTapeText("G01 X-1.5", PunchEia),
              Bytes({0x67, 0x20, 0x01, 0x10, 0x37, 0x40, 0x01, 0x6B, 0x15}));
    EXPECT_EQ(EncodeTapeText("g01", PunchEia), Bytes({0x10, 0x20, 0x01}));
    EXPECT_EQ(EncodeTapeText(std::string(1, '\0'), PunchEia), Byte(0x10));
    EXPECT_EQ(DecodeTapeByte(0x31, PunchEia), '/');
    EXPECT_EQ(DecodeTapeByte(0x62, PunchEia), 'B');
    EXPECT_EQ(DecodeTapeByte(0x13, PunchEia), '3');
    EXPECT_EQ(DecodeTapeByte(0x11, PunchEia), std::nullopt);
    EXPECT_EQ(DecodeTapeByte(0x00, PunchEia), std::nullopt);
    for (std::size_t i = 0; i < 65; ++i) {
        const std::string code = EncodeTapeText(TapeChars.substr(i, 1), PunchEia);
        const auto back = DecodeTapeByte(static_cast<unsigned char>(code[0]), PunchEia);
        EXPECT_EQ(back, TapeChars[i]) << "position " << i + 1;
    }
    // "#100=3*4": the asterisk's code is 0x0D, never dropped as a carriage return.
    EXPECT_EQ(DecodeTapeByte(0x0D, PunchEia), '*');
}

// While a machine is fed, its DC1 and DC3 are the plain bytes in every code;
// in EIA the rest decodes by the chart.
TEST(TapeCodeTest, AFedMachinesDc1AndDc3AreThePlainBytes) {
    const struct {
        unsigned char byte;
        std::int32_t punchType;
        std::optional<char> fed;
    } cases[] = {
        {0x11, PunchEia, '\x11'},   {0x13, PunchEia, '\x13'}, {0x2F, PunchEia, '\x14'},
        {0x01, PunchEia, '1'},      {0x13, PunchIso, '\x13'}, {0x93, PunchIso, '\x13'},
        {0x11, PunchAscii, '\x11'},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeMachineByte(c.byte, c.punchType), c.fed) << int(c.byte);
    }
}

TEST(TapeCodeTest, TheByte0x80HasNoEiaCodeOfItsOwn) {
    EXPECT_EQ(EncodeTapeText("\x80", PunchEia), Byte(0x10));
    for (unsigned byte = 0; byte < 256; ++byte) {
        EXPECT_NE(DecodeTapeByte(static_cast<unsigned char>(byte), PunchEia), '\x80');
    }
}

TEST(TapeCodeTest, IsoAddsEvenParityAndStripsItOnReceive) {
    for (unsigned byte = 0; byte < 256; ++byte) {
        const std::string encoded = EncodeTapeText(Byte(byte), PunchIso);
        ASSERT_EQ(encoded.size(), 1u);
        const auto out = static_cast<unsigned char>(encoded[0]);
        if (byte < 0x80) {
            EXPECT_EQ(out & 0x7F, byte);
            EXPECT_EQ(std::popcount(out) % 2, 0) << "byte 0x" << std::hex << byte;
        } else {
            EXPECT_EQ(out, byte);
        }
        const auto decoded = DecodeTapeByte(static_cast<unsigned char>(byte), PunchIso);
        if (byte == 0x0D) {
            EXPECT_EQ(decoded, std::nullopt);
        } else {
            EXPECT_EQ(decoded, static_cast<char>(byte > 0x80 ? byte & 0x7F : byte));
        }
    }
    EXPECT_EQ(EncodeTapeText("%G/", PunchIso), Bytes({0xA5, 0x47, 0xAF}));
    EXPECT_EQ(EncodeTapeText("\xC1", PunchIso), Byte(0xC1));
    EXPECT_EQ(DecodeTapeByte(0xA5, PunchIso), '%');
    EXPECT_EQ(DecodeTapeByte(0x8D, PunchIso), '\r');
    EXPECT_EQ(DecodeTapeByte(0x80, PunchIso), '\x80');
}

TEST(TapeCodeTest, AsciiAndUnknownCodesPassEveryByteButCarriageReturn) {
    for (const std::int32_t punchType : {1, 0, 4, -1}) {
        for (unsigned byte = 0; byte < 256; ++byte) {
            EXPECT_EQ(EncodeTapeText(Byte(byte), punchType), Byte(byte));
            const auto decoded = DecodeTapeByte(static_cast<unsigned char>(byte), punchType);
            EXPECT_EQ(decoded,
                      byte == 0x0D ? std::nullopt : std::optional<char>(static_cast<char>(byte)));
        }
    }
}

TEST(TapeCodeTest, EndOfLineBytesFollowTheTable) {
    const struct {
        std::int32_t eob;
        std::int32_t punchType;
        std::string bytes;
    } cases[] = {
        {EobCrLf, PunchAscii, Bytes({0x0D, 0x0A})},
        {EobLfCrCr, PunchAscii, Bytes({0x0A, 0x0D, 0x0D})},
        {EobLf, PunchAscii, Bytes({0x0A})},
        {EobCrLf, PunchEia, Bytes({0x80})},
        {EobLfCrCr, PunchEia, Bytes({0x80})},
        {EobLf, PunchEia, Bytes({0x80})},
        {EobCrLf, PunchIso, Bytes({0x8D, 0x0A})},
        {EobLfCrCr, PunchIso, Bytes({0x0A, 0x8D, 0x8D})},
        {EobLf, PunchIso, Bytes({0x0A})},
        {3, PunchAscii, ""},
        {-1, PunchIso, ""},
        {EobCrLf, 0, ""},
        {EobLf, 4, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EndOfLineBytes(c.eob, c.punchType), c.bytes) << c.eob << "/" << c.punchType;
    }
}

} // namespace
} // namespace feedrail
