#include "profiles/UtilityFile.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace feedrail {
namespace {

using test::TempFolder;
using test::WriteFile;

TEST(UtilityFileTest, ReadsDefinedEntriesNumberedInKeyOrder) {
    TempFolder folder;
    WriteFile(folder.File("DNCUtilities.ini"), "[utilities]\n"
                                               "Utility1=Backplot,plot,2\n"
                                               "Utility2=Editor,/usr/bin/gedit\n"
                                               "Utility4=\n"
                                               "Utility5=Compare,diff-tool, 1\n"
                                               "Utility10=Hex,hexview,$1\n"
                                               "Utility11=Ignored,x,1\n");
    const UtilityList list = UtilityFile(folder.File("DNCUtilities.ini")).ReadUtilities();
    EXPECT_TRUE(list.Errors.empty());
    ASSERT_EQ(list.Commands.size(), 4u);
    const struct {
        int number;
        const char* caption;
        const char* program;
        std::int32_t mode;
    } expected[] = {
        {1, "Backplot", "plot", UtilityNeedsSelectedFile},
        {2, "Editor", "/usr/bin/gedit", UtilityNeedsNoFile},
        {3, "Compare", "diff-tool", UtilityNeedsLoadedFile},
        {4, "Hex", "hexview", UtilityNeedsLoadedFile},
    };
    for (std::size_t i = 0; i < list.Commands.size(); ++i) {
        EXPECT_EQ(list.Commands[i].Number, expected[i].number);
        EXPECT_EQ(list.Commands[i].Caption, expected[i].caption);
        EXPECT_EQ(list.Commands[i].Program, expected[i].program);
        EXPECT_EQ(list.Commands[i].Mode, expected[i].mode);
    }
}

TEST(UtilityFileTest, AnEntryWithABadModeIsReportedAndLeftOut) {
    TempFolder folder;
    WriteFile(folder.File("DNCUtilities.ini"), "[Utilities]\n"
                                               "Utility1=Broken,tool,two\n"
                                               "Utility2=Backplot,plot,2\n"
                                               "Utility3=Trailing comma,tool,\n");
    const UtilityList list = UtilityFile(folder.File("DNCUtilities.ini")).ReadUtilities();
    EXPECT_EQ(list.Errors, std::vector<std::string>{"'two' is not a valid integer value"});
    ASSERT_EQ(list.Commands.size(), 2u);
    EXPECT_EQ(list.Commands[0].Caption, "Backplot");
    EXPECT_EQ(list.Commands[0].Number, 1);
    EXPECT_EQ(list.Commands[1].Mode, UtilityNeedsNoFile);
}

TEST(UtilityFileTest, AMissingFileGivesNoEntries) {
    TempFolder folder;
    const UtilityList list = UtilityFile(folder.File("DNCUtilities.ini")).ReadUtilities();
    EXPECT_TRUE(list.Commands.empty());
    EXPECT_TRUE(list.Errors.empty());
}

TEST(UtilityFileTest, BareProgramNamesStartFromTheProgramsFolder) {
    EXPECT_EQ(UtilityProgramPath("plot", "/opt/feedrail/"), "/opt/feedrail/plot");
    EXPECT_EQ(UtilityProgramPath("", "/opt/feedrail/"), "/opt/feedrail/");
    EXPECT_EQ(UtilityProgramPath("/usr/bin/gedit", "/opt/feedrail/"), "/usr/bin/gedit");
    EXPECT_EQ(UtilityProgramPath("tools/plot", "/opt/feedrail/"), "tools/plot");
}

} // namespace
} // namespace feedrail
