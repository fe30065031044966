#include "profiles/IniDocument.h"

#include <gtest/gtest.h>

namespace feedrail {
namespace {

using namespace std::string_literals;

TEST(IniDocumentTest, ReadsValuesTheWayThePlatformReaderDoes) {
    const IniDocument document = IniDocument::Parse("; shop machines\r\n"
                                                    "stray=before any section\r\n"
                                                    "[Fanuc 16]\r\n"
                                                    "  CommBaudRate = 4800  \r\n"
                                                    "commparity=E\r\n"
                                                    "no equals sign here\r\n"
                                                    "DefaultDir=\r\n"
                                                    "CommBaudRate=9600\r\n"
                                                    "[ Haas ]\r\n"
                                                    "PunchType=3\r\n"
                                                    "[FANUC 16]\r\n"
                                                    "PunchType=2\r\n"
                                                    "[Quoted]\r\n"
                                                    "DefaultDir=\"/home/op/NC Programs/\"\r\n"
                                                    "Single='a b'\r\n"
                                                    "Padded = \" x \" \r\n"
                                                    "Empty=\"\"\r\n"
                                                    "Lone=\"\r\n"
                                                    "Unmatched=\"a'\r\n"
                                                    "Inner=a \"b\" c\r\n"
                                                    "Twice=\"\"x\"\"\r\n"
                                                    "[Lathe [2]]\r\n"
                                                    "PunchType=1\r\n"
                                                    "[Mill] ; main mill\r\n"
                                                    "PunchType=3\r\n");
    const struct {
        const char* section;
        const char* key;
        std::optional<std::string> expected;
    } cases[] = {
        {"Fanuc 16", "CommBaudRate", "4800"}, // blanks trimmed, first key wins
        {"fanuc 16", "COMMBAUDRATE", "4800"}, // names match in any case
        {"Fanuc 16", "CommParity", "E"},
        {"Fanuc 16", "DefaultDir", ""},
        {"Fanuc 16", "PunchType", std::nullopt}, // only the first duplicate section counts
        {"Haas", "PunchType", "3"},
        {"Fanuc 16", "no equals sign here", std::nullopt},
        {"Fanuc 16", "stray", std::nullopt},
        {"Lathe", "PunchType", std::nullopt},
        // One pair of matching quotes around a value is dropped.
        {"Quoted", "DefaultDir", "/home/op/NC Programs/"},
        {"Quoted", "Single", "a b"},
        {"Quoted", "Padded", " x "},
        {"Quoted", "Empty", ""},
        {"Quoted", "Lone", "\""},
        {"Quoted", "Unmatched", "\"a'"},
        {"Quoted", "Inner", "a \"b\" c"},
        {"Quoted", "Twice", "\"x\""},
        // A name runs to the last closing bracket of its line.
        {"Lathe [2]", "PunchType", "1"},
        {"Mill", "PunchType", "3"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(document.Value(c.section, c.key), c.expected) << c.section << "/" << c.key;
    }
    EXPECT_EQ(document.SectionNames(), (std::vector<std::string>{"Fanuc 16", "Haas", "FANUC 16",
                                                                 "Quoted", "Lathe [2]", "Mill"}));
}

TEST(IniDocumentTest, CutsValuesAtNulAndAtTheReadLimit) {
    const std::string longValue(5000, 'x');
    const IniDocument document =
        IniDocument::Parse("[M]\nLong=" + longValue + "\nNul=ab\0cd\nAfter=1\n"s);
    EXPECT_EQ(document.Value("M", "Long"), std::string(IniDocument::MaxValueLength, 'x'));
    EXPECT_EQ(document.Value("M", "Nul"), "ab");
    EXPECT_EQ(document.Value("M", "After"), "1");
}

TEST(IniDocumentTest, AByteOrderMarkDoesNotHideTheFirstSection) {
    const IniDocument document = IniDocument::Parse("\xEF\xBB\xBF[Mill]\nPunchType=3\n");
    EXPECT_EQ(document.Value("Mill", "PunchType"), "3");
    EXPECT_EQ(document.SectionNames(), std::vector<std::string>{"Mill"});
}

// Each write changes exactly what it must; every other byte stays.
TEST(IniDocumentTest, WritesTouchOnlyTheirOwnLine) {
    const struct {
        const char* name;
        std::string before;
        const char* section;
        const char* key;
        const char* value;
        std::string after;
    } cases[] = {
        {"replace keeps spacing and CRLF", "; c\r\n[Mill]\r\nA = 1\r\nB=2\r\n", "mill", "a", "7",
         "; c\r\n[Mill]\r\nA = 7\r\nB=2\r\n"},
        {"replace first duplicate", "[M]\nA=1\nA=2\n", "M", "A", "3", "[M]\nA=3\nA=2\n"},
        {"new key before blank lines", "[M]\nA=1\n\n[N]\nB=2\n", "M", "C", "3",
         "[M]\nA=1\nC=3\n\n[N]\nB=2\n"},
        {"new key in empty section", "[M]\n[N]\n", "M", "C", "3", "[M]\nC=3\n[N]\n"},
        {"new key at end without line end", "[M]\nA=1", "M", "C", "3", "[M]\nA=1\nC=3\n"},
        {"new section appended in file's style", "[M]\r\nA=1\r\n", "Lathe", "EOB", "0",
         "[M]\r\nA=1\r\n[Lathe]\r\nEOB=0\r\n"},
        {"last line ending in a lone CR keeps it", "[M]\nA=1\r", "N", "B", "2",
         "[M]\nA=1\r\r\n[N]\nB=2\n"},
        {"header ending in a lone CR stays another section", "\n[l\r", "l", "B", "2",
         "\n[l\r\r\n[l]\nB=2\n"},
        {"new section after last line without end", "[M]\nA=1", "N", "B", "2",
         "[M]\nA=1\n[N]\nB=2\n"},
        {"empty document", "", "Mill", "PunchType", "3", "[Mill]\nPunchType=3\n"},
        {"byte order mark kept", "\xEF\xBB\xBF[M]\nA=1\n", "M", "A", "2", "\xEF\xBB\xBF[M]\nA=2\n"},
        {"empty value", "[M]\nDefaultDir=/nc/\n", "M", "DefaultDir", "", "[M]\nDefaultDir=\n"},
        {"garbage lines kept", "\x01\xFF junk\n[M]\nno equals\nA=1\n", "M", "A", "2",
         "\x01\xFF junk\n[M]\nno equals\nA=2\n"},
        {"plain value over a quoted one", "[M]\nDefaultDir=\"/nc/a b/\"\n", "M", "DefaultDir",
         "/nc/a b/", "[M]\nDefaultDir=/nc/a b/\n"},
        {"brackets in a section name", "[Lathe [2]]\nA=1\n", "lathe [2]", "A", "2",
         "[Lathe [2]]\nA=2\n"},
        {"new section with brackets in its name", "[M]\nA=1\n", "M]x", "A", "1",
         "[M]\nA=1\n[M]x]\nA=1\n"},
        {"bytes that are not UTF-8", "[Fr\xE4se]\nDefaultDir=/nc/\n", "Fr\xE4se", "DefaultDir",
         "/nc/M\xFChle/", "[Fr\xE4se]\nDefaultDir=/nc/M\xFChle/\n"},
        {"value that would lose its blanks", "[M]\n", "M", "A", " x ", "[M]\nA=\" x \"\n"},
        {"value that would lose its quotes", "[M]\n", "M", "A", "'x'", "[M]\nA=\"'x'\"\n"},
    };
    for (const auto& c : cases) {
        IniDocument document = IniDocument::Parse(c.before);
        EXPECT_TRUE(document.SetValue(c.section, c.key, c.value)) << c.name;
        EXPECT_EQ(document.Serialize(), c.after) << c.name;
    }
}

TEST(IniDocumentTest, RefusesNamesAndValuesThatWouldChangeOtherLines) {
    const std::string before = "[M]\nA=1\n";
    const struct {
        std::string section;
        std::string key;
        std::string value;
    } cases[] = {
        {"M", "A", "1\n[Evil]"}, {"M", "A", "1\r"}, {"M", "A", "x\0y"s},
        {"", "A", "1"},          {"M\n", "A", "1"}, {"M", "A=B", "1"},
        {"M", "[A]", "1"},       {"M", "A\n", "1"}, {" \t", "A", "1"},
    };
    for (const auto& c : cases) {
        IniDocument document = IniDocument::Parse(before);
        EXPECT_FALSE(document.SetValue(c.section, c.key, c.value)) << c.section << "/" << c.key;
        EXPECT_EQ(document.Serialize(), before);
    }
}

TEST(IniDocumentTest, AWrittenValueReadsBackAsWritten) {
    for (const std::string value : {"/home/op/NC Programs/", "", " lead", "trail\t", "\"q\"", "'q'",
                                    "\"", "'", "\"a'", "a \"b\" c", "M\xFChle", "=;#[]"}) {
        IniDocument document = IniDocument::Parse("[M]\nA=1\n");
        ASSERT_TRUE(document.SetValue("M", "A", value)) << value;
        EXPECT_EQ(document.Value("M", "A"), value);
        EXPECT_EQ(IniDocument::Parse(document.Serialize()).Value("M", "A"), value);
    }
}

TEST(IniDocumentTest, ParsingAndSerializingKeepsEveryByte) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i) {
        garbage += static_cast<char>((i * 7919 + 13) % 256);
    }
    for (const std::string& content :
         {garbage, "\r\n\r\n"s, "[M]"s, "\n\n[M]\r\nA=1\nB=2\r\n"s, std::string(1 << 20, 'k')}) {
        EXPECT_EQ(IniDocument::Parse(content).Serialize(), content);
    }
}

} // namespace
} // namespace feedrail
