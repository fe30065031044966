#include "utilities/UtilityLaunch.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace feedrail {
namespace {

TEST(UtilityLaunchTest, ProgramsAndFilesAreChosenAsTheModeSays) {
    const struct {
        const char* name;
        std::int32_t mode;
        const char* loaded;
        const char* selected;
        bool needFilename;
        const char* file;
    } cases[] = {
        {"mode 2 takes the selection", 2, "/nc/O1.nc", "/nc/O2.nc", false, "/nc/O2.nc"},
        {"mode 2 falls back to the loaded file", 2, "/nc/O1.nc", "", false, "/nc/O1.nc"},
        {"mode 2 without either", 2, "", "", true, ""},
        {"mode 1 ignores the selection", 1, "/nc/O1.nc", "/nc/O2.nc", false, "/nc/O1.nc"},
        {"mode 1 after Clear", 1, "", "/nc/O2.nc", true, ""},
        {"mode 0 starts without a file", 0, "", "/nc/O2.nc", false, ""},
        {"mode 7 takes the loaded file", 7, "/nc/O1.nc", "", false, "/nc/O1.nc"},
    };
    for (const auto& c : cases) {
        const UtilityTarget target = UtilityFileFor(c.mode, c.loaded, c.selected);
        EXPECT_EQ(target.NeedFilename, c.needFilename) << c.name;
        EXPECT_EQ(target.File, c.file) << c.name;
    }
}

TEST(UtilityLaunchTest, TheSetupSheetProgramMayBeACopiedExe) {
    test::TempFolder folder;
    const std::string dir = folder.Path() + "/";
    EXPECT_EQ(SetupSheetProgram(dir), dir + "plansheet");
    test::WriteFile(folder.File("plansheet.exe"), "");
    EXPECT_EQ(SetupSheetProgram(dir), dir + "plansheet.exe");
    test::WriteFile(folder.File("plansheet"), "");
    EXPECT_EQ(SetupSheetProgram(dir), dir + "plansheet");
}

} // namespace
} // namespace feedrail
