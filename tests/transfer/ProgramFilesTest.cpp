#include "transfer/ProgramFiles.h"

#include "support/TempFolder.h"
#include "transfer/ProgramCollector.h"
#include "transfer/ProgramIndex.h"
#include "transfer/TransferLog.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>

namespace feedrail {
namespace {

using Lines = std::vector<std::string>;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

TEST(ProgramFilesTest, ProgramNumbersAndRequests) {
    const struct {
        Lines program;
        std::optional<std::string> number;
        std::optional<std::string> request;
    } cases[] = {
        {{"%", "O1234 (REQUEST)", "%"}, "O1234", "O1234"},
        {{"%", "", " o0012 ", "%"}, "O0012", "O0012"},
        {{"%", "O1234 (REQUEST)", "G0 X1", "%"}, "O1234", std::nullopt},
        {{"%", "O1234 G0 X1", "%"}, "O1234", std::nullopt},
        {{"%", "(BRACKET)", "O77", "%"}, "O77", std::nullopt},
        {{"%", "OPEN", "G0", "%"}, std::nullopt, std::nullopt},
        {{"%", "%"}, std::nullopt, std::nullopt},
        {{"%", "O1", "O2", "%"}, "O1", std::nullopt},
        {{"%", "O" + std::string(17, '1'), "%"}, std::nullopt, std::nullopt},
        {{"%", ":0001", "%"}, "O0001", "O0001"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProgramNumber(c.program), c.number) << c.program[1];
        EXPECT_EQ(RequestedNumber(c.program), c.request) << c.program[1];
    }
}

// A sink that keeps what a collector hands it.
class ProgramsKept : public ProgramSink {
public:
    void ProgramBegins() override { Programs.emplace_back(); }
    void ProgramText(std::string_view text) override { Programs.back() += text; }
    void ProgramEnds(Ending ending) override {
        const char* marks[] = {"", " [interrupted]", " [too long]"};
        Programs.back() += marks[static_cast<int>(ending)];
        ++Ended;
    }

    std::vector<std::string> Programs;
    std::size_t Ended = 0;
};

// What a machine punches, cut into programs by the record rules of tape.
TEST(ProgramFilesTest, ACollectorCutsTheTapeIntoPrograms) {
    const struct {
        const char* what;
        std::string tape;
        Lines programs;
        std::uint64_t mostBytes = 1000;
    } cases[] = {
        {"noise before and after", "noise\n%\nO1\n%\nafter\n", {"O1\n"}},
        {"DC2 to DC4", "\x12%\nO1\nG0\x14", {"O1\nG0\n"}},
        {"DC2 without %", "\x12O1\nG0\n\x14", {"O1\nG0\n"}},
        {"two tapes", "%\nO1\n%\n%\nO2\n%\n", {"O1\n", "O2\n"}},
        {"blank tape and flow control", std::string("\0\0%\n\x11O1\x13\n%\n", 12), {"O1\n"}},
        {"no end yet", "%\nO1\n", {}},
        {"ISO's carriage returns",
         "\x12%\n\r\rO1 (ISO LF CR CR)\n\r\r%\n",
         {"O1 (ISO LF CR CR)\n"}},
        {"a lone % makes nothing", "\x12\n\n\x14\x12%\n%\n\x14", {}},
        {"an interrupted punch, then the whole one",
         "\x12%\nO5001 (PART A)\nG0 X1\x12%\nO5001 (PART A)\nG0 X1\nM30\n%\n\x14",
         {"O5001 (PART A)\nG0 X1 [interrupted]", "O5001 (PART A)\nG0 X1\nM30\n"}},
        {"a % line whose blanks run past a part", std::string(70000, ' ') + "%\nO1\n%\n", {"O1\n"}},
        {"a long line ending in % is no % line", std::string(70000, 'X') + "%\nO1\n%\n", {}},
        {"% inside a line is text",
         "%\nO5100 (SPINDLE 80% LOAD)\nG1\n%\n",
         {"O5100 (SPINDLE 80% LOAD)\nG1\n"}},
        {"punch all",
         "%\nO0001\nG1\nM30\nO0002\nG2\nM99\n%\n",
         {"O0001\nG1\nM30\n", "O0002\nG2\nM99\n"}},
        {"% A % B %", "%\nO1\nG1\n%\nO2\nG2\n%\n", {"O1\nG1\n", "O2\nG2\n"}},
        {"ISO's colon", "%\n:0001\nG1\n:0002\n%\n", {":0001\nG1\n", ":0002\n"}},
        {"a comment before the number", "%\n(FLANGE)\nO1001\nG1\n%\n", {"(FLANGE)\nO1001\nG1\n"}},
        {"empty lines inside stay, around go", "%\n\n\nO1\n\nG1\n\n%\n", {"O1\n\nG1\n"}},
        {"too long, then the next program",
         "%\nO1\nG1 X1234567890\nG2\n%\nO2\n%\n",
         {"O1\n [too long]", "O2\n"},
         10},
        {"held empty lines count against the limit",
         "%\nO3003\n" + std::string(3000, '\n') + "G1\n%\n",
         {"O3003\n [too long]"},
         1000},
    };
    for (const auto& c : cases) {
        ProgramsKept kept;
        ProgramCollector collector(kept, c.mostBytes);
        for (const char character : c.tape) {
            collector.Take(character);
        }
        kept.Programs.resize(kept.Ended);
        EXPECT_EQ(kept.Programs, c.programs) << c.what;
    }
}

// A flood of line feeds or a line that never ends is never held whole.
TEST(ProgramFilesTest, ACollectorHoldsNoMoreThanAPartOfALine) {
    ProgramsKept kept;
    ProgramCollector collector(kept, 1 << 30);
    for (const char character : std::string("\x12%\nO1 ")) {
        collector.Take(character);
    }
    for (int i = 0; i < 3 * static_cast<int>(ProgramCollector::PartBytes); ++i) {
        collector.Take('X');
    }
    ASSERT_EQ(kept.Programs.size(), 1U);
    EXPECT_GE(kept.Programs[0].size(), 2 * ProgramCollector::PartBytes)
        << "the line's parts were not handed on";
    collector.Take('\x14');
    EXPECT_EQ(kept.Programs[0], "O1 " + std::string(3 * ProgramCollector::PartBytes, 'X') + "\n");
}

TEST(ProgramFilesTest, SavingNeverReplacesAFile) {
    TempFolder folder;
    const std::string base = folder.Path() + "/";
    WriteFile(base + "O1.nc", "older\n");
    EXPECT_EQ(SaveNewProgram(base, "O1", ".nc", "a\n").path, base + "O1-2.nc");
    EXPECT_EQ(SaveNewProgram(base, "O1", ".nc", "b\n").path, base + "O1-3.nc");
    EXPECT_EQ(ReadFile(base + "O1.nc"), "older\n");
    EXPECT_EQ(ReadFile(base + "O1-2.nc"), "a\n");
    EXPECT_EQ(ReadFile(base + "O1-3.nc"), "b\n");
    const NewProgramFile missing = SaveNewProgram(base + "gone/", "O1", ".nc", "c\n");
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_EQ(missing.path, base + "gone/O1.nc");
}

TEST(ProgramFilesTest, ARequestFindsTheProgramByNameElseByItsFirstNumberLine) {
    TempFolder folder;
    const std::string base = folder.Path() + "/";
    ProgramIndex index;
    const auto FindProgram = [&index](const std::string& in, const char* number,
                                      const char* extension) {
        return index.Find(in, number, extension).Path;
    };
    WriteFile(base + "O5.nc", "%\nO6\n%\n");
    WriteFile(base + "b.nc", "%\r\nO7\r\n%\r\n");
    WriteFile(base + "a.nc", "%\n(O8)\nO7 (FIRST BY NAME)\n%\n");
    std::filesystem::create_directory(base + "O9.nc");
    EXPECT_EQ(FindProgram(base, "O5", ".nc"), base + "O5.nc");
    EXPECT_EQ(FindProgram(base, "O6", ".nc"), base + "O5.nc");
    EXPECT_EQ(FindProgram(base, "O7", ".nc"), base + "a.nc");
    EXPECT_EQ(FindProgram(base, "O8", ".nc"), std::nullopt) << "a comment is no number line";
    EXPECT_EQ(FindProgram(base, "O9", ".nc"), std::nullopt) << "a folder is no program";
    WriteFile(base + "O3-incomplete-20261210-115718.nc", "%\nO3\nG0 X1\n");
    EXPECT_EQ(FindProgram(base, "O3", ".nc"), std::nullopt) << "a punch cut short is none";
    EXPECT_EQ(FindProgram("", "O5", ".nc"), std::nullopt) << "no folder, not the working one";

    // Program numbers are numbers: leading zeros do not count.
    WriteFile(base + "O0012.nc", "%\nO0012\n%\n");
    WriteFile(base + "c.nc", "%\n:0034\n%\n");
    WriteFile(base + "O56.nc", "%\nO56\n%\n");
    EXPECT_EQ(FindProgram(base, "O12", ".nc"), base + "O0012.nc");
    EXPECT_EQ(FindProgram(base, "O034", ".nc"), base + "c.nc");
    EXPECT_EQ(FindProgram(base, "O0056", ".nc"), base + "O56.nc");
    EXPECT_EQ(FindProgram(base, "O120", ".nc"), std::nullopt);
}

// A program folder anyone may write must not hand out files from elsewhere:
// a link that leads out of it is refused, with where it leads; one within it
// answers. A file rewritten with another number is found by its new one.
TEST(ProgramFilesTest, ARequestIsAnsweredOnlyFromFilesInsideTheFolder) {
    TempFolder folder;
    TempFolder elsewhere;
    const std::string base = folder.Path() + "/";
    WriteFile(elsewhere.File("secret"), "%\nO6667\n%\n");
    WriteFile(base + "O10.nc", "%\nO10\n%\n");
    std::filesystem::create_symlink(elsewhere.File("secret"), base + "O6666.nc");
    std::filesystem::create_symlink(elsewhere.File("secret"), base + "any.nc");
    std::filesystem::create_symlink("O10.nc", base + "O11.nc");
    std::filesystem::create_symlink(elsewhere.Path(), base + "sub");
    ProgramIndex index;
    const struct {
        const char* number;
        std::optional<std::string> path;
        const char* refused;
    } cases[] = {
        {"O6666", std::nullopt, "O6666.nc leads out of the folder, to "},
        // What lies elsewhere is not even read for its number.
        {"O6667", std::nullopt, nullptr},
        {"O11", base + "O11.nc", nullptr},
        {"O10", base + "O10.nc", nullptr},
    };
    for (const auto& c : cases) {
        const ProgramLookup found = index.Find(base, c.number, ".nc");
        EXPECT_EQ(found.Path, c.path) << c.number;
        if (c.refused != nullptr) {
            ASSERT_EQ(found.Refused.size(), 1U) << c.number;
            EXPECT_TRUE(found.Refused[0].starts_with(c.refused)) << found.Refused[0];
        }
    }
    WriteFile(base + "O10.nc", "%\nO12 (RENUMBERED, LONGER)\n%\n");
    EXPECT_EQ(index.Find(base, "O12", ".nc").Path, base + "O10.nc");
}

TEST(ProgramFilesTest, ALogRecordStaysOneLineOfFixedColumns) {
    const TransferRecord record{"Mill\t2", "send", "", 3, 45, "Write error\n(5)"};
    const std::string line = TransferLogLine(record, {});
    EXPECT_TRUE(line.ends_with("\tMill 2\tsend\t-\t3 lines\t45 bytes\tWrite error (5)\n")) << line;
}

} // namespace
} // namespace feedrail
