#include "filelist/FileFind.h"

#include "support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace feedrail {
namespace {

using test::TempFolder;
using test::WriteFile;

TEST(FileFindTest, MatchesAtAnyDepthAreListedByPathWithoutFollowingLinks) {
    TempFolder folder;
    const std::string top = folder.Path();
    std::filesystem::create_directories(top + "/mill/O1000");
    std::filesystem::create_directories(top + "/lathe/old");
    WriteFile(top + "/O1000.nc", "");
    WriteFile(top + "/mill/O1001.NC", "");
    WriteFile(top + "/lathe/old/O1000.tap", "");
    WriteFile(top + "/lathe/notes.txt", "");
    // A link back up must not send the search round in circles.
    std::filesystem::create_directory_symlink(top, top + "/lathe/loop");
    const struct {
        const char* pattern;
        std::vector<std::string> matches;
    } cases[] = {
        {"O1000*", {top + "/O1000.nc", top + "/lathe/old/O1000.tap", top + "/mill/O1000"}},
        {"*.nc", {top + "/O1000.nc", top + "/mill/O1001.NC"}},
        {"*.txt;loop", {top + "/lathe/loop", top + "/lathe/notes.txt"}},
        {"O9*", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindFiles(top, FileMask(c.pattern)), c.matches) << c.pattern;
    }
    EXPECT_EQ(FindFiles(top + "/gone", FileMask("*")), std::vector<std::string>{});
}

} // namespace
} // namespace feedrail
