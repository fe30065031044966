#include "service/ServedProgram.h"

#include "service/TaskLane.h"
#include "service/TaskPool.h"
#include "support/QueueHandOver.h"
#include "support/TempFolder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace feedrail {
namespace {

// A requested program reaches the send whole and in order, however often
// what was read ahead runs out; one rewritten under the send fails it at a
// line, and what went before is the program's own first lines.
TEST(ServedProgramTest, TheSendGetsEveryLineAndAFileRewrittenUnderItFailsIt) {
    test::TempFolder folder;
    const std::string path = folder.File("O1.nc");
    std::string text;
    std::vector<std::string> lines;
    for (int line = 0; line < 30000; ++line) {
        lines.push_back("N" + std::to_string(line) + " G1 X" + std::to_string(line % 977) +
                        " F200");
        text += lines.back() + "\n";
    }
    TaskPool pool(1, std::numeric_limits<std::size_t>::max());
    TaskLane lane(pool, [](const std::string& error) { ADD_FAILURE() << error; });
    test::QueueHandOver loop;
    ServedProgram program(lane, loop);
    for (const bool rewritten : {false, true}) {
        SCOPED_TRACE(rewritten ? "rewritten halfway" : "as it is");
        test::WriteFile(path, text);
        program.Prepare(ServedProgram::Open(path, folder.Path(), {}));
        ASSERT_EQ(program.Load(path), "");
        ASSERT_EQ(program.EditorLineCount(), static_cast<int>(lines.size()));
        std::vector<std::string> sent;
        std::string failure;
        try {
            for (int line = 1; line <= program.EditorLineCount(); ++line) {
                if (rewritten && line == program.EditorLineCount() / 2) {
                    test::WriteFile(path, std::string(text.size(), 'Z'));
                    const timespec later[2] = {{0, UTIME_OMIT}, {::time(nullptr) + 5, 0}};
                    ::utimensat(AT_FDCWD, path.c_str(), later, 0);
                }
                ASSERT_TRUE(loop.RunUntil([&] { return program.EditorLineReady(line); }));
                sent.push_back(program.GetEditorLine(line));
            }
        } catch (const std::runtime_error& error) {
            failure = error.what();
        }
        if (!rewritten) {
            EXPECT_EQ(failure, "");
            EXPECT_TRUE(sent == lines);
            continue;
        }
        EXPECT_EQ(failure, path + " was changed while it was sent");
        ASSERT_LT(sent.size(), lines.size());
        EXPECT_TRUE(std::equal(sent.begin(), sent.end(), lines.begin()));
    }
    lane.Close();
}

} // namespace
} // namespace feedrail
