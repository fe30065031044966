#include "transfer/ProgramFiles.h"

#include "support/TempFolder.h"
#include "transfer/ProgramCollector.h"
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
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProgramNumber(c.program), c.number) << c.program[1];
        EXPECT_EQ(RequestedNumber(c.program), c.request) << c.program[1];
    }
}

// What a machine punches, cut into programs: from the first "%" or DC2 to
// the second "%" or DC4; what lies between programs is not kept.
TEST(ProgramFilesTest, ACollectorCutsTheTapeIntoPrograms) {
    const struct {
        std::string tape;
        std::vector<Lines> programs;
    } cases[] = {
        {"noise\n%\nO1\n%\nafter\n", {{"%", "O1", "%"}}},
        {"\x12%\nO1\nG0\x14", {{"%", "O1", "G0"}}},
        {"\x12O1\nG0\n\x14", {{"O1", "G0"}}},
        {"%\nO1\n%\n%\nO2\n%", {{"%", "O1", "%"}, {"%", "O2", "%"}}},
        {std::string("\0\0%\n\x11O1\x13\n%", 11), {{"%", "O1", "%"}}},
        {"%\nO1\n", {}},
        {"\x12%\n\r\rO1 (ISO LF CR CR)\n\r\r%", {{"%", "O1 (ISO LF CR CR)", "%"}}},
        {"\x12\n\n\x14\x12%\n%", {{"%", "%"}}},
    };
    for (const auto& c : cases) {
        ProgramCollector collector;
        std::vector<Lines> programs;
        for (const char character : c.tape) {
            if (auto program = collector.Take(character)) {
                programs.push_back(std::move(*program));
            }
        }
        EXPECT_EQ(programs, c.programs) << c.tape;
    }
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
    WriteFile(base + "O5.nc", "%\nO6\n%\n");
    WriteFile(base + "b.nc", "%\r\nO7\r\n%\r\n");
    WriteFile(base + "a.nc", "%\n(O8)\nO7 (FIRST BY NAME)\n%\n");
    std::filesystem::create_directory(base + "O9.nc");
    EXPECT_EQ(FindProgram(base, "O5", ".nc"), base + "O5.nc");
    EXPECT_EQ(FindProgram(base, "O6", ".nc"), base + "O5.nc");
    EXPECT_EQ(FindProgram(base, "O7", ".nc"), base + "a.nc");
    EXPECT_EQ(FindProgram(base, "O8", ".nc"), std::nullopt) << "a comment is no number line";
    EXPECT_EQ(FindProgram(base, "O9", ".nc"), std::nullopt) << "a folder is no program";
    EXPECT_EQ(FindProgram("", "O5", ".nc"), std::nullopt) << "no folder, not the working one";
}

TEST(ProgramFilesTest, ALogRecordStaysOneLineOfFixedColumns) {
    const TransferRecord record{"Mill\t2", "send", "", 3, 45, "Write error\n(5)"};
    const std::string line = TransferLogLine(record, {});
    EXPECT_TRUE(line.ends_with("\tMill 2\tsend\t-\t3 lines\t45 bytes\tWrite error (5)\n")) << line;
}

} // namespace
} // namespace feedrail
