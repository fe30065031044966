#include "service/ProgramFileLines.h"

#include "service/ServedProgram.h"
#include "support/InChild.h"
#include "support/TempFolder.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

namespace feedrail {
namespace {

std::vector<std::string> AllLines(ProgramFileLines& file) {
    std::vector<std::string> lines;
    for (int line = 1; line <= file.Count(); ++line) {
        lines.push_back(file.Line(line));
    }
    return lines;
}

// A requested program is sent from its file with the lines the editor would
// have shown, whatever its line ends and wherever a read piece ends.
TEST(ProgramFileLinesTest, LinesEndAsInTheEditor) {
    const std::string longLine(70000, 'X');
    const std::string atPiece(64 * 1024 - 1, 'Y');
    const struct {
        const char* name;
        std::string content;
        std::vector<std::string> lines;
    } cases[] = {
        {"LF", "%\nO1\nM30\n%\n", {"%", "O1", "M30", "%"}},
        {"CR LF", "%\r\nO1\r\n%\r\n", {"%", "O1", "%"}},
        {"CR alone", "%\rO1\r%", {"%", "O1", "%"}},
        {"CR CR LF, as after two conversions", "%\r\r\nO1\r\r\n", {"%", "O1"}},
        {"CR CR CR LF", "%\r\r\r\nO1\n", {"%", "", "O1"}},
        {"CR CR between lines", "%\r\rO1\r", {"%", "", "O1"}},
        {"no end at the end", "%\nO1", {"%", "O1"}},
        {"empty lines kept", "%\n\nO1\n\n", {"%", "", "O1", ""}},
        {"empty file", "", {}},
        {"one line end", "\n", {""}},
        {"a line longer than a piece", "%\n" + longLine + "\n%\n", {"%", longLine, "%"}},
        {"CR LF split between pieces", atPiece + "\r\nO2\n", {atPiece, "O2"}},
        {"bytes kept as they are", std::string("G1\0X\xff\n", 6), {std::string("G1\0X\xff", 5)}},
    };
    test::TempFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.File("O1.nc");
        test::WriteFile(path, c.content);
        ProgramFileLines file;
        ASSERT_EQ(file.Open(path), 0);
        EXPECT_EQ(file.Count(), static_cast<int>(c.lines.size()));
        EXPECT_EQ(AllLines(file), c.lines);
        if (!c.lines.empty()) {
            EXPECT_EQ(file.Line(1), c.lines.front()) << "an earlier line reads the file again";
        }
    }
}

TEST(ProgramFileLinesTest, WhatIsNoRegularFileIsRefused) {
    test::TempFolder folder;
    ProgramFileLines file;
    EXPECT_EQ(file.Open(folder.File("missing.nc")), ENOENT);
    EXPECT_NE(file.Open(folder.Path()), 0);
    EXPECT_EQ(file.Count(), 0);
}

// A file of nothing but line ends costs no memory per line: 8 MB of CRs
// once took 266 MB.
TEST(ProgramFileLinesTest, AFloodOfLineEndsIsReadInBoundedMemory) {
    test::TempFolder folder;
    const std::string path = folder.File("O1.nc");
    constexpr int Ends = 8 << 20;
    test::WriteFile(path, "O1\n" + std::string(Ends, '\r') + "M30\n");
    // In a child of its own, so that no peak of this test's set-up hides one.
    const int status = test::InChild([&] {
        ProgramFileLines file;
        if (file.Open(path) != 0 || file.Count() != Ends + 2) {
            return 1;
        }
        rusage before{};
        ::getrusage(RUSAGE_SELF, &before);
        const bool read = file.Line(2).empty() && file.Line(Ends + 2) == "M30";
        rusage after{};
        ::getrusage(RUSAGE_SELF, &after);
        return !read ? 1 : after.ru_maxrss - before.ru_maxrss < 32 * 1024 ? 0 : 2;
    });
    EXPECT_EQ(status, 0) << "1: lines wrong, 2: more than 32 MB at the peak";
}

// A line no control reads (one of 30 MB once took 121 MB while it was sent)
// keeps the program from being sent at all, naming the line; one of 1 MiB is
// still a line.
TEST(ProgramFileLinesTest, AnOverlongLineIsFoundBeforeAnythingIsSent) {
    const std::size_t most = ProgramFileLines::MaxLineBytes;
    const struct {
        const char* name;
        std::string text;
        int overlong;
    } cases[] = {
        {"at the limit", "%\n" + std::string(most, 'X') + "\n%\n", 0},
        {"one past it, line 3", "%\nO1\n" + std::string(most + 1, 'X') + "\n%\n", 3},
        {"after CR CR LF, one line end", "%\r\n\r\r\n" + std::string(most + 1, 'Y'), 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempFolder folder;
        const std::string path = folder.File("O1.nc");
        test::WriteFile(path, c.text);
        ProgramFileLines file;
        ASSERT_EQ(file.Open(path), 0);
        EXPECT_EQ(file.FirstOverlongLine(), c.overlong);
        const std::string refused = ServedProgram::Open(path, folder.Path(), {}).Error;
        EXPECT_EQ(refused.empty(), c.overlong == 0) << refused;
        if (c.overlong != 0) {
            EXPECT_EQ(refused, "Not sending " + path + ": its line " + std::to_string(c.overlong) +
                                   " is longer than 1 MiB");
        }
    }
}

// A program rewritten in place while it is sent is not sent on as if it were
// the one counted: the send learns of it and ends.
TEST(ProgramFileLinesTest, AFileChangedWhileItIsReadStopsTheRead) {
    test::TempFolder folder;
    const std::string path = folder.File("O1.nc");
    std::string program = "%\nO1\n";
    for (int line = 0; line < 20000; ++line) {
        program += "G1 X" + std::to_string(line) + "\n";
    }
    const struct {
        const char* name;
        std::string rewritten;
    } cases[] = {
        {"shorter", "%\nO2\nM30\n%\n"},
        {"the same size", std::string(program.size(), 'Z')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::WriteFile(path, program);
        ProgramFileLines file;
        ASSERT_EQ(file.Open(path), 0);
        EXPECT_EQ(file.Line(2), "O1");
        test::WriteFile(path, c.rewritten);
        const timespec later[2] = {{0, UTIME_OMIT}, {::time(nullptr) + 5, 0}};
        ::utimensat(AT_FDCWD, path.c_str(), later, 0);
        EXPECT_THROW(AllLines(file), std::runtime_error);
    }
}

} // namespace
} // namespace feedrail
