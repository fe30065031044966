#include "filelist/FileTransfer.h"

#include "support/TempFolder.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace feedrail {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;
using Names = std::set<std::string>;

Names Contents(const std::string& folder) {
    Names names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

struct stat Stat(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info;
}

// Answers the replace question and records who asked.
class FileListTransferTest : public ::testing::Test {
protected:
    FileListTransferTest() {
        std::filesystem::create_directory(From());
        std::filesystem::create_directory(To());
        WriteFile(From() + "/O1000.nc", "%\nO1000\n%\n");
        WriteFile(From() + "/O2000.nc", "%\nO2000\n%\n");
        ::chmod((From() + "/O1000.nc").c_str(), 0640);
        std::filesystem::last_write_time(From() + "/O1000.nc",
                                         std::filesystem::file_time_type::clock::now() -
                                             std::chrono::hours(48));
    }

    std::string From() const { return folder_.File("from"); }
    std::string To() const { return folder_.File("to"); }

    std::vector<std::string> Transfer(std::vector<std::string> names, const std::string& to,
                                      PasteMode mode) {
        for (std::string& name : names) {
            name = From() + "/" + name;
        }
        const FileTransfer transfer([this](const std::string& target) {
            questions_.push_back(target);
            return replace_;
        });
        return transfer.Transfer(names, to, mode);
    }

    TempFolder folder_;
    std::vector<std::string> questions_;
    bool replace_ = false;
};

TEST_F(FileListTransferTest, CopyAndMoveIntoAnotherFolderLoseAndDoubleNothing) {
    EXPECT_EQ(Transfer({"O1000.nc"}, To() + "/", PasteMode::Copy), std::vector<std::string>{});
    EXPECT_EQ(Contents(From()), (Names{"O1000.nc", "O2000.nc"}));
    EXPECT_EQ(Contents(To()), Names{"O1000.nc"});
    EXPECT_EQ(ReadFile(To() + "/O1000.nc"), "%\nO1000\n%\n");
    const struct stat source = Stat(From() + "/O1000.nc");
    const struct stat copy = Stat(To() + "/O1000.nc");
    EXPECT_EQ(copy.st_mode & 07777, 0640u);
    EXPECT_EQ(copy.st_mtim.tv_sec, source.st_mtim.tv_sec);

    EXPECT_EQ(Transfer({"O2000.nc"}, To(), PasteMode::Move), std::vector<std::string>{});
    EXPECT_EQ(Contents(From()), Names{"O1000.nc"});
    EXPECT_EQ(Contents(To()), (Names{"O1000.nc", "O2000.nc"}));
    EXPECT_EQ(ReadFile(To() + "/O2000.nc"), "%\nO2000\n%\n");
    EXPECT_TRUE(questions_.empty());
}

TEST_F(FileListTransferTest, AFileWithALongNameIsCopied) {
    const std::string name = std::string(250, 'L') + ".nc";
    WriteFile(From() + "/" + name, "long\n");
    EXPECT_EQ(Transfer({name}, To(), PasteMode::Copy), std::vector<std::string>{});
    EXPECT_EQ(ReadFile(To() + "/" + name), "long\n");
}

TEST_F(FileListTransferTest, WithinItsOwnFolderACopyIsNamedCopyOfAndAMoveStays) {
    EXPECT_EQ(Transfer({"O1000.nc", "O1000.nc"}, From(), PasteMode::Copy),
              std::vector<std::string>{});
    EXPECT_EQ(Contents(From()),
              (Names{"O1000.nc", "O2000.nc", "Copy of O1000.nc", "Copy (2) of O1000.nc"}));
    EXPECT_EQ(ReadFile(From() + "/Copy (2) of O1000.nc"), "%\nO1000\n%\n");
    EXPECT_EQ(Transfer({"O2000.nc"}, From() + "/", PasteMode::Move), std::vector<std::string>{});
    EXPECT_EQ(ReadFile(From() + "/O2000.nc"), "%\nO2000\n%\n");
    EXPECT_EQ(Contents(From()).size(), 4u);
    EXPECT_TRUE(questions_.empty());
}

TEST_F(FileListTransferTest, AnExistingFileIsReplacedOnlyWhenTheAnswerIsYes) {
    for (const PasteMode mode : {PasteMode::Copy, PasteMode::Move}) {
        WriteFile(To() + "/O1000.nc", "old");
        questions_.clear();
        replace_ = false;
        EXPECT_EQ(Transfer({"O1000.nc"}, To(), mode), std::vector<std::string>{});
        EXPECT_EQ(questions_, std::vector<std::string>{To() + "/O1000.nc"});
        EXPECT_EQ(ReadFile(To() + "/O1000.nc"), "old");
        EXPECT_EQ(ReadFile(From() + "/O1000.nc"), "%\nO1000\n%\n");

        replace_ = true;
        EXPECT_EQ(Transfer({"O1000.nc"}, To(), mode), std::vector<std::string>{});
        EXPECT_EQ(ReadFile(To() + "/O1000.nc"), "%\nO1000\n%\n");
        EXPECT_EQ(Contents(To()), Names{"O1000.nc"});
    }
    EXPECT_EQ(Contents(From()), Names{"O2000.nc"});
}

TEST_F(FileListTransferTest, FailuresNameTheFileAndTheReasonAndTheOthersGoOn) {
    std::filesystem::create_directory(To() + "/O2000.nc");
    const std::vector<std::string> failures =
        Transfer({"gone.nc", "O2000.nc", "O1000.nc"}, To(), PasteMode::Move);
    EXPECT_EQ(failures,
              (std::vector<std::string>{
                  "Cannot move " + From() + "/gone.nc to " + To() + ": No such file or directory",
                  "Cannot move " + From() + "/O2000.nc to " + To() + ": Is a directory"}));
    EXPECT_EQ(Contents(To()), (Names{"O1000.nc", "O2000.nc"}));
    EXPECT_EQ(Contents(From()), Names{"O2000.nc"});
    EXPECT_EQ(Transfer({"O2000.nc"}, folder_.File("none"), PasteMode::Copy),
              std::vector<std::string>{"Cannot copy " + From() + "/O2000.nc to " +
                                       folder_.File("none") + ": No such file or directory"});
}

// A move to another file system copies first and removes the source only
// when the copy is complete; /dev/shm is a RAM disk of its own on most hosts.
TEST_F(FileListTransferTest, AMoveAcrossFileSystemsCopiesThenRemovesTheSource) {
    const std::string shm = "/dev/shm";
    if (!std::filesystem::is_directory(shm) || Stat(shm).st_dev == Stat(From()).st_dev) {
        GTEST_SKIP() << "no second file system";
    }
    const std::string target = shm + "/feedrail-transfer-" + std::to_string(::getpid());
    std::filesystem::create_directory(target);
    WriteFile(target + "/O1000.nc", "old");
    replace_ = true;
    const auto failures = Transfer({"O1000.nc"}, target, PasteMode::Move);
    const Names contents = Contents(target);
    const std::string moved = ReadFile(target + "/O1000.nc");
    std::filesystem::remove_all(target);
    EXPECT_EQ(failures, std::vector<std::string>{});
    EXPECT_EQ(contents, Names{"O1000.nc"});
    EXPECT_EQ(moved, "%\nO1000\n%\n");
    EXPECT_EQ(questions_, std::vector<std::string>{target + "/O1000.nc"});
    EXPECT_EQ(Contents(From()), Names{"O2000.nc"});
}

// Only files and folders are pasted: a pipe would hang the window, a device
// such as /dev/zero fill the disk.
TEST_F(FileListTransferTest, APipeOrADeviceIsRefusedWithAMessage) {
    ASSERT_EQ(::mkfifo((From() + "/pipe.nc").c_str(), 0600), 0);
    const std::vector<std::string> failures = Transfer({"pipe.nc"}, To(), PasteMode::Copy);
    ASSERT_EQ(failures.size(), 1U);
    EXPECT_NE(failures[0].find("not a regular file"), std::string::npos) << failures[0];
    FileTransfer transfer([](const std::string&) { return true; });
    EXPECT_EQ(transfer.Transfer({"/dev/zero"}, To(), PasteMode::Copy).size(), 1U);
    EXPECT_FALSE(std::filesystem::exists(To() + "/zero"));
}

// Moved onto a link to itself, a file cannot go anywhere: the operator is told.
TEST_F(FileListTransferTest, MovingOntoALinkToTheSameFileSaysSo) {
    std::filesystem::create_symlink(From() + "/O1000.nc", To() + "/O1000.nc");
    const std::vector<std::string> failures = Transfer({"O1000.nc"}, To(), PasteMode::Move);
    ASSERT_EQ(failures.size(), 1U);
    EXPECT_NE(failures[0].find("source and target are the same file"), std::string::npos)
        << failures[0];
    EXPECT_EQ(ReadFile(From() + "/O1000.nc"), "%\nO1000\n%\n");
}

} // namespace
} // namespace feedrail
