#include "profiles/ProfileFile.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace feedrail {
namespace {

using test::TempFolder;
using test::WriteFile;

class ProfileFileTest : public ::testing::Test {
protected:
    ProfileFile WithContent(const std::string& content) {
        WriteFile(folder_.File("DNC.ini"), content);
        return ProfileFile(folder_.File("DNC.ini"));
    }

    TempFolder folder_;
};

// A section named again is one the file's reader never reaches: the machine
// is listed once, and the name is reported.
TEST_F(ProfileFileTest, ListsEachMachineOnceWithoutTheDirsSectionInAnyCase) {
    const struct {
        const char* content;
        std::vector<std::string> machines;
        std::vector<std::string> repeated;
    } cases[] = {
        {"[Mill]\n[Dirs]\n[Lathe]\n", {"Mill", "Lathe"}, {}},
        {"[dirs]\n[Mill]\n", {"Mill"}, {}},
        {"[Mill]\n[DIRS]\n[Lathe]\n[Dirs]\n", {"Mill", "Lathe"}, {"Dirs"}},
        {"[Dirs2]\n[Mill]\n", {"Dirs2", "Mill"}, {}},
        {"[Lathe [2]]\n[Mill] ; main\n", {"Lathe [2]", "Mill"}, {}},
        {"[Fr\xE4se]\n", {"Fr\xE4se"}, {}},
        {"[Fanuc]\n[Mill]\n[fanuc]\n[Fanuc]\n", {"Fanuc", "Mill"}, {"fanuc"}},
        {"[Fr\xE4se]\n[FR\xC4SE]\n", {"Fr\xE4se", "FR\xC4SE"}, {}},
        {"", {}, {}},
    };
    for (const auto& c : cases) {
        const ProfileFile profiles = WithContent(c.content);
        EXPECT_EQ(profiles.MachineNames(), c.machines) << c.content;
        EXPECT_EQ(profiles.RepeatedSections(), c.repeated) << c.content;
    }
}

TEST_F(ProfileFileTest, DirectoryShortcutsSkipGapsAndUseOnlyTheSecondField) {
    const ProfileFile file = WithContent("[DIRS]\n"
                                         "Dir3=Mill 2,/nc/mill2\n"
                                         "Dir5=\n"
                                         "Dir7=Lathe,/nc/a,b\n"
                                         "Dir10=Archive,/srv/nc\n"
                                         "Dir11=Too far,/tmp\n"
                                         "Dir0=Too early,/tmp\n");
    const std::vector<DirShortcut> shortcuts = file.DirShortcuts();
    ASSERT_EQ(shortcuts.size(), 3u);
    EXPECT_EQ(shortcuts[0].Label, "MILL 2");
    EXPECT_EQ(shortcuts[0].Path, "/nc/mill2");
    EXPECT_EQ(shortcuts[1].Label, "LATHE");
    EXPECT_EQ(shortcuts[1].Path, "/nc/a");
    EXPECT_EQ(shortcuts[2].Label, "ARCHIVE");
    EXPECT_EQ(shortcuts[2].Path, "/srv/nc");
}

TEST_F(ProfileFileTest, StartupReadsTheMachineWithStartupDefaults) {
    const ProfileFile file = WithContent("[Fanuc]\n"
                                         "PunchType=3\n"
                                         "CommHandshake=2\n"
                                         "PunchWait=$A\n"
                                         "CommPort=1\n"
                                         "CommDevice=rfc2217://10.0.4.21:4001\n"
                                         "CommBaudRate=0x12C\n"
                                         "CommParity=Even\n"
                                         "CommDataBits=7\n"
                                         "CommStopBits=2\n"
                                         "EOB=1\n"
                                         "DefaultDir=/nc/fanuc\n"
                                         "DefaultFileFilter=tap\n"
                                         "DefaultExt=.tap\n");
    const ActiveSettings settings = file.ReadStartupProfile("FANUC");
    EXPECT_EQ(settings.PunchType, 3);
    EXPECT_EQ(settings.CommHandshake, 2);
    EXPECT_EQ(settings.PunchWait, 10);
    EXPECT_EQ(settings.CommPort, 1);
    EXPECT_EQ(settings.CommDevice, "rfc2217://10.0.4.21:4001");
    EXPECT_EQ(settings.CommBaudRate, 300);
    EXPECT_EQ(settings.CommParity, 'E');
    EXPECT_EQ(settings.CommDataBits, 7);
    EXPECT_EQ(settings.CommStopBits, 2);
    EXPECT_EQ(settings.EOB, 1);
    EXPECT_EQ(settings.DefaultDir, "/nc/fanuc/");
    EXPECT_EQ(settings.DefaultFileFilter, "tap");
    EXPECT_EQ(settings.DefaultExt, ".tap");
}

TEST_F(ProfileFileTest, MissingAndUnreadableKeysTakeTheDefaults) {
    const ProfileFile file = WithContent("[Bare]\nCommBaudRate=fast\nCommPort=\n");
    for (const char* machine : {"Bare", "Missing", ""}) {
        const ActiveSettings settings = file.ReadStartupProfile(machine);
        EXPECT_EQ(settings.PunchType, 1) << machine;
        EXPECT_EQ(settings.CommHandshake, 0);
        EXPECT_EQ(settings.PunchWait, 0);
        EXPECT_EQ(settings.CommPort, 2);
        EXPECT_EQ(settings.CommDevice, "");
        EXPECT_EQ(settings.CommBaudRate, 600);
        EXPECT_EQ(settings.CommParity, 'N');
        EXPECT_EQ(settings.CommDataBits, 8);
        EXPECT_EQ(settings.CommStopBits, 1);
        EXPECT_EQ(settings.EOB, 0);
        EXPECT_EQ(settings.DefaultDir, "");
        EXPECT_EQ(settings.DefaultFileFilter, "*");
        EXPECT_EQ(settings.DefaultExt, ".nc");
    }
}

TEST_F(ProfileFileTest, ParityIsTheFirstLetterOfTheValue) {
    const struct {
        const char* line;
        char letter;
    } cases[] = {
        {"CommParity=EVEN", 'E'},
        {"CommParity=E", 'E'},
        {"CommParity=Even", 'E'},
        {"CommParity=odd", 'o'},
        {"CommParity=N", 'N'},
        {"CommParity=", 'N'},
        {"", 'N'},
    };
    for (const auto& c : cases) {
        const ProfileFile file = WithContent(std::string("[M]\n") + c.line + "\n");
        EXPECT_EQ(file.ReadStartupProfile("M").CommParity, c.letter) << c.line;
    }
}

TEST_F(ProfileFileTest, SelectionKeepsTheStartupFilterAndExtension) {
    const ProfileFile file = WithContent("[First]\nDefaultFileFilter=tap\nDefaultExt=.tap\n"
                                         "[Second]\nPunchType=2\nDefaultFileFilter=nc\n"
                                         "DefaultExt=.nc\nDefaultDir=/nc/lathe/\n");
    ActiveSettings settings = file.ReadStartupProfile("First");
    file.ReadSelectedProfile("Second", settings);
    EXPECT_EQ(settings.PunchType, 2);
    EXPECT_EQ(settings.DefaultDir, "/nc/lathe/");
    EXPECT_EQ(settings.DefaultFileFilter, "tap");
    EXPECT_EQ(settings.DefaultExt, ".tap");
}

TEST(ProfileValuesTest, FoldersGetOneTrailingSeparator) {
    EXPECT_EQ(WithTrailingSeparator(""), "");
    EXPECT_EQ(WithTrailingSeparator("/nc"), "/nc/");
    EXPECT_EQ(WithTrailingSeparator("/nc/"), "/nc/");
}

} // namespace
} // namespace feedrail
