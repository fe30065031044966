#include "profiles/IniFile.h"

#include "profiles/IniWriteError.h"
#include "support/InChild.h"
#include "support/TempFolder.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace feedrail {
namespace {

using test::InChild;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(IniFileTest, AMissingFileGivesEveryDefaultAndAWriteCreatesIt) {
    TempFolder folder;
    const IniFile ini(folder.File("DNC.ini"));
    EXPECT_TRUE(ini.ReadSections().empty());
    EXPECT_EQ(ini.ReadString("Mill", "DefaultDir", "none"), "none");
    EXPECT_EQ(ini.ReadInteger("Mill", "CommBaudRate", 600), 600);
    EXPECT_TRUE(ini.ReadBool("Mill", "Leader", true));

    ini.WriteInteger("Mill", "CommBaudRate", 4800);
    ini.WriteBool("Mill", "Leader", false);
    ini.WriteString("Lathe", "CommParity", "E");
    EXPECT_EQ(ReadFile(ini.Path()), "[Mill]\nCommBaudRate=4800\nLeader=0\n[Lathe]\nCommParity=E\n");
    EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"DNC.ini"});
}

TEST(IniFileTest, ReadsNumbersAndBooleansWithTheReadersDefault) {
    TempFolder folder;
    WriteFile(folder.File("DNC.ini"), "[M]\nBaud=0x12C\nBad=96OO\nEmpty=\nOn=1\nTwo=2\nOff=0\n"
                                      "Yes=yes\nMinus=-1\n");
    const IniFile ini(folder.File("DNC.ini"));
    EXPECT_EQ(ini.ReadInteger("m", "baud", 600), 300);
    EXPECT_EQ(ini.ReadInteger("M", "Bad", 600), 600);
    EXPECT_EQ(ini.ReadInteger("M", "Empty", 600), 600);
    EXPECT_EQ(ini.ReadInteger("M", "Minus", 0), -1);
    EXPECT_TRUE(ini.ReadBool("M", "On", false));
    EXPECT_TRUE(ini.ReadBool("M", "Two", false));
    EXPECT_TRUE(ini.ReadBool("M", "Minus", false));
    EXPECT_FALSE(ini.ReadBool("M", "Off", true));
    EXPECT_FALSE(ini.ReadBool("M", "Yes", false));
    EXPECT_TRUE(ini.ReadBool("M", "Yes", true));
}

TEST(IniFileTest, EveryReadSeesTheFileAsItIsNow) {
    TempFolder folder;
    const IniFile ini(folder.File("DNC.ini"));
    WriteFile(ini.Path(), "[M]\nPunchType=1\n");
    EXPECT_EQ(ini.ReadInteger("M", "PunchType", 0), 1);
    WriteFile(ini.Path(), "[M]\nPunchType=3\n");
    EXPECT_EQ(ini.ReadInteger("M", "PunchType", 0), 3);
}

TEST(IniFileTest, AWriteKeepsEveryUntouchedByteOfTheFile) {
    TempFolder folder;
    const std::string before = "\xEF\xBB\xBF; Shop floor machines, edited by hand\r\n"
                               "\r\n"
                               "[Fanuc 16 Mill]\r\n"
                               "CommBaudRate = 4800\r\n"
                               "Operator=Sam ; keep me\r\n"
                               "\r\n"
                               "[Dirs]\r\n"
                               "Dir1=Mill,/nc/mill\r\n";
    WriteFile(folder.File("DNC.ini"), before);
    ::chmod(folder.File("DNC.ini").c_str(), 0640);
    const IniFile ini(folder.File("DNC.ini"));

    ini.WriteInteger("FANUC 16 MILL", "commbaudrate", 9600);
    ini.WriteInteger("Fanuc 16 Mill", "PunchType", 3);

    EXPECT_EQ(ReadFile(ini.Path()), "\xEF\xBB\xBF; Shop floor machines, edited by hand\r\n"
                                    "\r\n"
                                    "[Fanuc 16 Mill]\r\n"
                                    "CommBaudRate = 9600\r\n"
                                    "Operator=Sam ; keep me\r\n"
                                    "PunchType=3\r\n"
                                    "\r\n"
                                    "[Dirs]\r\n"
                                    "Dir1=Mill,/nc/mill\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(ini.Path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST(IniFileTest, AWriteThroughALinkChangesTheLinkedFile) {
    TempFolder folder;
    std::filesystem::create_directory(folder.File("shared"));
    WriteFile(folder.File("shared/DNC.ini"), "[M]\nA=1\n");
    std::filesystem::create_symlink(folder.File("shared/DNC.ini"), folder.File("DNC.ini"));

    IniFile(folder.File("DNC.ini")).WriteString("M", "A", "2");

    EXPECT_TRUE(std::filesystem::is_symlink(folder.File("DNC.ini")));
    EXPECT_EQ(ReadFile(folder.File("shared/DNC.ini")), "[M]\nA=2\n");
}

TEST(IniFileTest, ListsSectionsInFileOrderWithinTheListingBuffer) {
    TempFolder folder;
    std::string content = "[Zeta]\n[alpha]\n[Dirs]\n[Mid]\n";
    WriteFile(folder.File("a.ini"), content);
    EXPECT_EQ(IniFile(folder.File("a.ini")).ReadSections(),
              (std::vector<std::string>{"Zeta", "alpha", "Dirs", "Mid"}));

    // 1000 names of 19 characters and a terminator: 819 fill 16380 of the
    // 16384 bytes, with one byte left for the end of the list.
    content.clear();
    for (int i = 0; i < 1000; ++i) {
        content += "[" + std::string(15, 'm') + std::to_string(1000 + i) + "]\n";
    }
    WriteFile(folder.File("b.ini"), content);
    const auto names = IniFile(folder.File("b.ini")).ReadSections();
    ASSERT_EQ(names.size(), 819u);
    EXPECT_EQ(names.back(), std::string(15, 'm') + "1818");
}

TEST(IniFileTest, BadFilesGiveDefaultsWithoutCrashingOrHanging) {
    TempFolder folder;
    std::string garbage;
    for (int i = 0; i < 100000; ++i) {
        garbage += static_cast<char>((i * 2654435761u) >> 24);
    }
    WriteFile(folder.File("garbage.ini"), garbage);
    WriteFile(folder.File("longline.ini"), "[M]\nA=" + std::string(1 << 20, '7') + "\nB=2\n");
    std::filesystem::create_directory(folder.File("folder.ini"));
    ASSERT_EQ(::mkfifo(folder.File("fifo.ini").c_str(), 0600), 0);

    for (const char* name : {"garbage.ini", "folder.ini", "fifo.ini"}) {
        const IniFile ini(folder.File(name));
        EXPECT_EQ(ini.ReadInteger("M", "PunchType", 1), 1) << name;
        EXPECT_EQ(ini.ReadString("M", "DefaultDir", "x"), "x") << name;
    }
    const IniFile longLine(folder.File("longline.ini"));
    EXPECT_EQ(longLine.ReadString("M", "A", "").size(), 2047u);
    EXPECT_EQ(longLine.ReadInteger("M", "A", 5), 5);
    EXPECT_EQ(longLine.ReadInteger("M", "B", 5), 2);
}

// Machine selection writes the profile back: a read-only profile whose values
// stand as they are is no error.
TEST(IniFileTest, AValueAsItStandsIsNotWrittenAgain) {
    TempFolder folder;
    WriteFile(folder.File("DNC.ini"), "[M]\nA=1\n");
    ::chmod(folder.File("DNC.ini").c_str(), 0444);
    EXPECT_NO_THROW(IniFile(folder.File("DNC.ini")).WriteString("M", "A", "1"));
    EXPECT_THROW(IniFile(folder.File("DNC.ini")).WriteString("M", "B", "1"), IniWriteError);
    EXPECT_EQ(ReadFile(folder.File("DNC.ini")), "[M]\nA=1\n");
}

TEST(IniFileTest, AFailedWriteRaisesUnableToWriteAndLeavesNoTrace) {
    TempFolder folder;
    std::filesystem::create_directory(folder.File("folder.ini"));
    const struct {
        std::string path;
        std::string value;
        std::string reason;
    } cases[] = {
        {folder.File("folder.ini"), "1", "Is a directory"},
        {folder.File("missing/DNC.ini"), "1", "No such file or directory"},
        {folder.File("DNC.ini"), "two\nlines", "a value is one line of at most 2047 characters"},
        {folder.File("readonly.ini"), "2", "Permission denied"},
    };
    WriteFile(folder.File("DNC.ini"), "[M]\nA=1\n");
    WriteFile(folder.File("readonly.ini"), "[M]\nA=1\n");
    ::chmod(folder.File("readonly.ini").c_str(), 0444);
    for (const auto& c : cases) {
        try {
            IniFile(c.path).WriteString("M", "A", c.value);
            ADD_FAILURE() << "no error for " << c.path;
        } catch (const IniWriteError& error) {
            EXPECT_EQ(std::string(error.what()), "Unable to write to " + c.path + ": " + c.reason);
        }
    }
    EXPECT_EQ(ReadFile(folder.File("DNC.ini")), "[M]\nA=1\n");
    EXPECT_EQ(ReadFile(folder.File("readonly.ini")), "[M]\nA=1\n");
    EXPECT_EQ(FolderEntries(folder.Path()),
              (std::vector<std::string>{"DNC.ini", "folder.ini", "readonly.ini"}));
}

// A disk that fills up in the middle of a write must leave the old file whole.
TEST(IniFileTest, AWriteThatRunsOutOfSpaceLeavesTheOldFile) {
    TempFolder folder;
    const std::string before = "[Mill]\nCommBaudRate=4800\n" + std::string(3000, ';') + "\n";
    WriteFile(folder.File("DNC.ini"), before);
    const int status = InChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{2048, 2048};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            IniFile(folder.File("DNC.ini")).WriteInteger("Mill", "CommBaudRate", 9600);
        } catch (const IniWriteError&) {
            return 0;
        }
        return 1;
    });
    EXPECT_EQ(status, 0) << "the write did not report its failure";
    EXPECT_EQ(ReadFile(folder.File("DNC.ini")), before);
    EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"DNC.ini"});
}

// Several programs writing the same file at once: every write lands, and a
// reader never meets a half-written file.
TEST(IniFileTest, ConcurrentWritersNeitherTearNorLoseTheFile) {
    TempFolder folder;
    const std::string path = folder.File("DNC.ini");
    WriteFile(path, "[Keep]\nSentinel=intact\n");
    constexpr int Writers = 4;
    constexpr int KeysEach = 25;
    std::vector<pid_t> children;
    for (int w = 0; w < Writers; ++w) {
        children.push_back(::fork());
        if (children.back() == 0) {
            const IniFile ini(path);
            for (int k = 0; k < KeysEach; ++k) {
                ini.WriteInteger("Writer" + std::to_string(w), "Key" + std::to_string(k), k);
            }
            ::_exit(0);
        }
    }
    const int readerStatus = InChild([&] {
        const IniFile ini(path);
        for (int i = 0; i < 300; ++i) {
            if (ini.ReadString("Keep", "Sentinel", "") != "intact") {
                return 1;
            }
        }
        return 0;
    });
    for (pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(readerStatus, 0) << "a reader saw a torn file";
    const IniFile ini(path);
    for (int w = 0; w < Writers; ++w) {
        for (int k = 0; k < KeysEach; ++k) {
            EXPECT_EQ(ini.ReadInteger("Writer" + std::to_string(w), "Key" + std::to_string(k), -1),
                      k);
        }
    }
    EXPECT_EQ(ini.ReadString("Keep", "Sentinel", ""), "intact");
    EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"DNC.ini"});
}

// The service reads every machine of a file read once: a save by the window
// between two of its reads does not mix two versions of the file.
TEST(IniFileTest, AFileReadOnceAnswersFromWhatWasReadThen) {
    TempFolder folder;
    const std::string path = folder.File("DNC.ini");
    WriteFile(path, "[M1]\nCommPort=1\n[M2]\nCommPort=2\n");
    const IniFile held(path, ReadFile(path));
    WriteFile(path, "[M3]\nCommPort=3\n");
    EXPECT_EQ(held.ReadSections(), (std::vector<std::string>{"M1", "M2"}));
    EXPECT_EQ(held.ReadInteger("M2", "CommPort", 0), 2);
    EXPECT_EQ(IniFile(path).ReadInteger("M3", "CommPort", 0), 3);
}

} // namespace
} // namespace feedrail
