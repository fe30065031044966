#include "common/AtomicFile.h"

#include "support/AsNobody.h"
#include "support/TempFolder.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace feedrail {
namespace {

using test::CannotBecomeNobody;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

struct stat StatOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Replaces `path` from a child process that runs as the unprivileged user
// "nobody", and returns the result, or CannotBecomeNobody.
int ReplaceAsNobody(const std::string& path, std::string_view content) {
    return test::RunAsNobody([&] { return ReplaceFileContent(path, content); });
}

// The folder is writable, so a rename could replace any file in it; only the
// file's own permissions may decide. Root may write a file with any write bit
// set, but a file without any is kept as read-only on purpose.
TEST(AtomicFileTest, ReplacesOnlyAFileItsUserMayWrite) {
    const struct {
        mode_t mode;
        int error;
    } cases[] = {
        {0644, 0}, {0600, 0}, {0200, 0}, {0444, EACCES}, {0400, EACCES}, {0000, EACCES},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        const std::string path = folder.File("part.nc");
        WriteFile(path, "old\n");
        ::chmod(path.c_str(), c.mode);
        EXPECT_EQ(ReplaceFileContent(path, "new\n"), c.error) << std::oct << c.mode;
        EXPECT_EQ(ReadFile(path), c.error == 0 ? "new\n" : "old\n") << std::oct << c.mode;
        EXPECT_EQ(StatOf(path).st_mode & 07777, c.mode) << std::oct << c.mode;
        EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"part.nc"});
    }
}

TEST(AtomicFileTest, AnotherUsersFileInASharedFolderIsRefusedUnlessItIsSharedToo) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as another user";
    }
    const struct {
        mode_t mode;
        int error;
    } cases[] = {
        {0644, EACCES},
        {0666, 0},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        ::chmod(folder.Path().c_str(), 0777);
        const std::string path = folder.File("DNC.ini");
        WriteFile(path, "old\n");
        ::chmod(path.c_str(), c.mode);
        const int result = ReplaceAsNobody(path, "new\n");
        if (result == CannotBecomeNobody) {
            GTEST_SKIP() << "cannot change to an unprivileged user here";
        }
        EXPECT_EQ(result, c.error) << std::oct << c.mode;
        EXPECT_EQ(ReadFile(path), c.error == 0 ? "new\n" : "old\n") << std::oct << c.mode;
        EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"DNC.ini"});
    }
}

TEST(AtomicFileTest, AReplacedFileKeepsItsOwnerGroupAndMode) {
    TempFolder folder;
    const std::string path = folder.File("DNC.ini");
    WriteFile(path, "old\n");
    if (::chown(path.c_str(), 4321, 8765) != 0) {
        GTEST_SKIP() << "cannot give a file to another owner here";
    }
    ::chmod(path.c_str(), 0640);

    ASSERT_EQ(ReplaceFileContent(path, "new\n"), 0);

    const struct stat info = StatOf(path);
    EXPECT_EQ(info.st_uid, 4321u);
    EXPECT_EQ(info.st_gid, 8765u);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadFile(path), "new\n");
}

TEST(AtomicFileTest, ANewFileIsCreated) {
    TempFolder folder;
    const std::string path = folder.File("part.nc");
    EXPECT_EQ(ReplaceFileContent(path, "G0 X0\n"), 0);
    EXPECT_EQ(ReadFile(path), "G0 X0\n");
    EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"part.nc"});
}

// A name near the longest a folder takes leaves no room for a longer
// temporary name.
TEST(AtomicFileTest, AFileWithALongNameIsReplaced) {
    TempFolder folder;
    const std::string path = folder.File(std::string(250, 'L') + ".nc");
    EXPECT_EQ(ReplaceFileContent(path, "old\n"), 0);
    EXPECT_EQ(ReplaceFileContent(path, "new\n"), 0);
    EXPECT_EQ(ReadFile(path), "new\n");
}

// Saving onto a link to a file not there yet writes that file and keeps the
// link; links in a loop are an error that changes nothing.
TEST(AtomicFileTest, ALinkToNothingIsWrittenThroughAndALoopRefused) {
    TempFolder folder;
    std::filesystem::create_symlink("real.nc", folder.File("part.nc"));
    EXPECT_EQ(ReplaceFileContent(ResolvedWriteTarget(folder.File("part.nc")), "G1\n"), 0);
    EXPECT_EQ(ReadFile(folder.File("real.nc")), "G1\n");
    EXPECT_TRUE(std::filesystem::is_symlink(folder.File("part.nc")));
    std::filesystem::create_symlink("b.nc", folder.File("a.nc"));
    std::filesystem::create_symlink("a.nc", folder.File("b.nc"));
    EXPECT_EQ(ReplaceFileContent(ResolvedWriteTarget(folder.File("a.nc")), "G2\n"), ELOOP);
    EXPECT_TRUE(std::filesystem::is_symlink(folder.File("a.nc")));
    EXPECT_TRUE(std::filesystem::is_symlink(folder.File("b.nc")));
}

} // namespace
} // namespace feedrail
