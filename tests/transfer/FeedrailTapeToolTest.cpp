#include "support/TempFolder.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace feedrail {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

struct ToolRun {
    int status;
    std::string output;
};

// Runs the tool with `arguments` and collects its exit status and its
// standard output and error together.
ToolRun RunTool(const std::string& arguments) {
    const std::string command = std::string(FEEDRAIL_TAPE_TOOL) + " " + arguments + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ToolRun run{-1, {}};
    char buffer[4096];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        run.output.append(buffer, count);
    }
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(FeedrailTapeToolTest, EncodesAndDecodesFiles) {
    TempFolder folder;
    WriteFile(folder.File("part.nc"), "%\nO1000\nG0 X1\n%\n");
    const std::string in = folder.File("part.nc");
    const std::string tape = folder.File("part.tap");
    const std::string back = folder.File("back.nc");

    ASSERT_EQ(RunTool("encode --code iso --eob crlf --leader " + in + " " + tape).status, 0);
    const std::string expected = "\xA5\x8D\x0A\xCF\xB1"
                                 "000\x8D\x0A\x47\x30\xA0\xD8\xB1\x8D\x0A\xA5" +
                                 std::string(20, '\0') + "\x14";
    EXPECT_EQ(ReadFile(tape), expected);

    ASSERT_EQ(RunTool("encode --code eia --eob lf " + in + " " + tape).status, 0);
    ASSERT_EQ(RunTool("decode --code eia " + tape + " " + back).status, 0);
    EXPECT_EQ(ReadFile(back), "%\nO1000\nG0 X1\n%\n");
}

TEST(FeedrailTapeToolTest, RefusesBadArgumentsAndFilesWithStatus2) {
    TempFolder folder;
    WriteFile(folder.File("part.nc"), "G1\n");
    const std::string in = folder.File("part.nc");
    const std::string out = folder.File("out");
    const struct {
        std::string arguments;
        std::string message;
    } cases[] = {
        {"", "no command given"},
        {"punch --code iso " + in + " " + out, "unknown command 'punch'"},
        {"encode --code iso " + in + " " + out, "--eob is required"},
        {"encode --eob lf " + in + " " + out, "--code is required"},
        {"encode --code binary --eob lf " + in + " " + out, "unknown value 'binary' for --code"},
        {"encode --code iso --eob cr " + in + " " + out, "unknown value 'cr' for --eob"},
        {"decode --code iso --eob lf " + in + " " + out, "unknown option '--eob'"},
        {"encode --code iso --eob lf " + in, "expected an input and an output file"},
        {"decode --code", "--code needs a value"},
        {"decode --code iso " + folder.File("missing") + " " + out,
         "cannot read '" + folder.File("missing") + "': No such file or directory"},
        {"decode --code iso " + folder.Path() + " " + out,
         "cannot read '" + folder.Path() + "': Is a directory"},
        {"decode --code iso " + in + " " + folder.File("no/such/folder"),
         "cannot write '" + folder.File("no/such/folder") + "'"},
    };
    for (const auto& c : cases) {
        const ToolRun run = RunTool(c.arguments);
        EXPECT_EQ(run.status, 2) << c.arguments;
        EXPECT_NE(run.output.find("feedrail-tape: " + c.message), std::string::npos)
            << c.arguments << "\n"
            << run.output;
    }
}

} // namespace
} // namespace feedrail
