#include "common/ProfileFolder.h"

#include "support/AsNobody.h"
#include "support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace feedrail {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

// <prefix>/bin with <prefix>/share/feedrail/examples beside it, and a home
// folder that the user "nobody" may write.
struct Layout {
    TempFolder root;
    std::string bin = root.File("usr/bin");
    std::string examples = root.File("usr/share/feedrail/examples");
    std::string config = root.File("home/.config/feedrail");

    Layout() {
        fs::create_directories(bin);
        fs::create_directories(examples);
        fs::create_directories(root.File("home"));
        WriteFile(examples + "/DNC.ini", "[Fanuc 16 Mill]\nCommPort=1\n");
        WriteFile(examples + "/DNCUtilities.ini", "[Utilities]\n");
        for (const auto& entry : fs::recursive_directory_iterator(root.Path())) {
            ::chmod(entry.path().c_str(), entry.is_directory() ? 0755 : 0644);
        }
        ::chmod(root.Path().c_str(), 0755);
        ::chmod(root.File("home").c_str(), 0777);
    }
};

TEST(ProfileFolderTest, AProgramTheUserMayNotWriteKeepsItsProfilesInTheConfigFolder) {
    enum Chosen { ProgramFolder, ConfigFolder, Other };
    const struct {
        const char* name;
        mode_t binMode;
        const char* besideProgram; // DNC.ini beside the program, or nullptr
        const char* inConfig;      // DNC.ini already in the config folder, or nullptr
        Chosen chosen;
        const char* dncIni; // the config folder's DNC.ini afterwards
        bool utilitiesCopied;
    } cases[] = {
        {"a writable program folder", 0777, nullptr, nullptr, ProgramFolder, nullptr, false},
        {"profiles beside a read-only program", 0755, "[Mine]\n", nullptr, ProgramFolder, nullptr,
         false},
        {"an installed program's first start", 0755, nullptr, nullptr, ConfigFolder,
         "[Fanuc 16 Mill]\nCommPort=1\n", true},
        {"the operator's own profiles", 0755, nullptr, "[Mine]\n", ConfigFolder, "[Mine]\n", false},
    };
    for (const auto& c : cases) {
        Layout layout;
        ::chmod(layout.bin.c_str(), c.binMode);
        if (c.besideProgram) {
            WriteFile(layout.bin + "/DNC.ini", c.besideProgram);
        }
        if (c.inConfig) {
            fs::create_directories(layout.config);
            WriteFile(layout.config + "/DNC.ini", c.inConfig);
        }
        const int chosen = test::RunAsNobody([&] {
            const std::string folder = ChooseProfileFolder(layout.bin, layout.config);
            return folder == layout.bin + "/"      ? ProgramFolder
                   : folder == layout.config + "/" ? ConfigFolder
                                                   : Other;
        });
        if (chosen == test::CannotBecomeNobody) {
            GTEST_SKIP() << "cannot change to an unprivileged user here";
        }
        EXPECT_EQ(chosen, c.chosen) << c.name;
        if (c.dncIni) {
            EXPECT_EQ(ReadFile(layout.config + "/DNC.ini"), c.dncIni) << c.name;
        } else {
            EXPECT_FALSE(fs::exists(layout.config)) << c.name;
        }
        EXPECT_EQ(fs::exists(layout.config + "/DNCUtilities.ini"), c.utilitiesCopied) << c.name;
    }
}

// The installed examples may not be written: the first start copies the
// example programs, and no profile, into the user's own folder and points
// the example machines there.
TEST(ProfileFolderTest, TheFirstStartGivesTheExampleProgramsAFolderOfTheUsers) {
    Layout layout;
    WriteFile(layout.examples + "/DNC.ini", "[Fanuc 16 Mill]\nDefaultDir=" + layout.examples +
                                                "/\n[Dirs]\nDir1=Mill," + layout.examples + "/\n");
    WriteFile(layout.examples + "/O1000.nc", "%\nO1000\n%\n");
    const std::string programs = layout.root.File("home/NC Programs");
    const int done = test::RunAsNobody([&] {
        return ChooseProfileFolder(layout.bin, layout.config, programs) == layout.config + "/";
    });
    if (done == test::CannotBecomeNobody) {
        GTEST_SKIP() << "cannot change to an unprivileged user here";
    }
    EXPECT_EQ(done, 1);
    EXPECT_EQ(ReadFile(programs + "/O1000.nc"), "%\nO1000\n%\n");
    EXPECT_FALSE(fs::exists(programs + "/DNC.ini")) << "a profile listed among programs";
    EXPECT_EQ(ReadFile(layout.config + "/DNC.ini"), "[Fanuc 16 Mill]\nDefaultDir=" + programs +
                                                        "/\n[Dirs]\nDir1=Mill," + programs + "/\n");
}

// Root may write /usr/bin, yet an installed program never keeps its profiles
// there.
TEST(ProfileFolderTest, AProgramInASystemFolderUsesTheConfigFolderAlsoForRoot) {
    TempFolder home;
    for (const char* bin : {"/usr/bin", "/usr/local/bin/", "/opt/feedrail/bin"}) {
        EXPECT_EQ(ChooseProfileFolder(bin, home.File("config")), home.File("config") + "/") << bin;
    }
}

TEST(ProfileFolderTest, TheManualBesideTheProgramComesBeforeTheInstalledOne) {
    EXPECT_EQ(InstalledDataFolder("/usr/bin/"), "/usr/share/feedrail/");
    Layout layout;
    const std::string installed = layout.root.File("usr/share/feedrail/feedrail-help.html");
    const std::string own = layout.bin + "/feedrail-help.html";
    EXPECT_EQ(HelpManualPath(layout.bin, layout.bin), own) << "neither: the path that is missing";
    WriteFile(installed, "<html></html>");
    EXPECT_EQ(HelpManualPath(layout.bin, layout.bin), fs::path(installed).lexically_normal());
    WriteFile(own, "<html></html>");
    EXPECT_EQ(HelpManualPath(layout.bin, layout.bin), own);
}

} // namespace
} // namespace feedrail
