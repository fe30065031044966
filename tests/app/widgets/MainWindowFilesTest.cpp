#include "MainWindowFixture.h"

namespace feedrail {
namespace {

using namespace test;

TEST_F(MainWindowTest, GetLoadsTheSelectedFileAndReportsFailures) {
    WriteFile(folder_.File("O1000.nc"), "%\r\nO1000\r\nG0 X1\r\n%\r\n");
    std::filesystem::create_directory(folder_.File("sub"));
    Start("[M]\nCommPort=200\n");
    TLsFileListView26& files = *Controls().LsFileListView261;
    files.SetDirectory(QString::fromStdString(folder_.Path()));

    window_->GetButtonClick();
    EXPECT_EQ(messages_.Messages, QStringList{"No File Selected"});

    files.setCurrentItem(files.findItems("O1000.nc", Qt::MatchExactly).front());
    window_->GetButtonClick();
    EXPECT_EQ(window_->Editor().Text(), "%\nO1000\nG0 X1\n%\n");
    EXPECT_EQ(window_->Editor().EditorLineCount(), 4);
    EXPECT_EQ(Controls().Edit7->text(), "O1000.nc");
    EXPECT_EQ(window_->State().CurrentFile, folder_.File("O1000.nc"));

    files.setCurrentItem(files.findItems("sub", Qt::MatchExactly).front());
    window_->GetButtonClick();
    EXPECT_EQ(messages_.Errors, QStringList{QString::fromStdString(
                                    "Cannot load " + folder_.File("sub") + ": Is a directory")});
    EXPECT_EQ(window_->Editor().Text(), "%\nO1000\nG0 X1\n%\n");
    EXPECT_EQ(Controls().Edit7->text(), "O1000.nc");
    EXPECT_EQ(window_->State().CurrentFile, folder_.File("O1000.nc"))
        << "a send would log the file that failed to load";
}

TEST_F(MainWindowTest, SaveWritesTheEditorAfterTheDialogAndReportsFailures) {
    Start("[M]\nCommPort=200\nDefaultFileFilter=nc\n");
    Controls().LsFileListView261->SetDirectory(QString::fromStdString(folder_.Path()));
    window_->Editor().SetText("%\nO2000\n%\n");
    Controls().Edit7->setText("O2000.nc");

    messages_.SaveAnswer.reset();
    window_->SaveButtonClick();
    EXPECT_FALSE(window_->SaveTimer().isActive());
    EXPECT_EQ(messages_.LastSaveRequest.filters,
              (QStringList{"CNC files (*.nc)", "All files (*.*)"}));
    EXPECT_EQ(messages_.LastSaveRequest.defaultSuffix, "nc");
    EXPECT_EQ(messages_.LastSaveRequest.proposedName, "O2000.nc");
    EXPECT_EQ(messages_.LastSaveRequest.folder, QString::fromStdString(folder_.Path() + "/"));

    WriteFile(folder_.File("O2000.nc"), "old program\n");
    messages_.SaveAnswer = QString::fromStdString(folder_.File("O2000.nc"));
    window_->SaveButtonClick();
    EXPECT_TRUE(window_->SaveTimer().isActive());
    EXPECT_EQ(window_->SaveTimer().interval(), 500);
    window_->SaveTimerTimer();
    EXPECT_EQ(ReadFile(folder_.File("O2000.nc")), "%\nO2000\n%\n");
    EXPECT_EQ(Status(), "File Saved");

    // The status line no longer claims the save before.
    messages_.SaveAnswer = QString::fromStdString(folder_.File("gone/O3000.nc"));
    window_->SaveButtonClick();
    window_->SaveTimerTimer();
    const QString failure = QString::fromStdString("Cannot save " + folder_.File("gone/O3000.nc") +
                                                   ": No such file or directory");
    EXPECT_EQ(messages_.Errors, QStringList{failure});
    EXPECT_EQ(Status(), failure);
    EXPECT_EQ(Controls().Edit7->text(), "O2000.nc");
}

// With earlier versions kept, Save never loses a program filed under its
// name meanwhile; the window's own file is simply replaced.
TEST_F(MainWindowTest, SaveKeepsAProgramThatCameUnderTheNameMeanwhile) {
    Start("[M]\nCommPort=200\nKeepVersions=1\n");
    window_->DefaultDirectoryTimer1Timer();
    WriteFile(folder_.File("O2000.nc"), "%\nO2000 (OLD)\n%\n");
    window_->OpenProgram(folder_.File("O2000.nc"));
    messages_.SaveAnswer = QString::fromStdString(folder_.File("O2000.nc"));
    const auto save = [this] {
        window_->SaveButtonClick();
        window_->SaveTimerTimer();
    };
    save();
    EXPECT_FALSE(std::filesystem::exists(folder_.File("versions"))) << "the window's own file";
    WriteFile(folder_.File("received.tmp"), "%\nO2000 (RECEIVED)\n%\n");
    std::filesystem::rename(folder_.File("received.tmp"), folder_.File("O2000.nc"));
    save();
    EXPECT_EQ(ReadFile(folder_.File("O2000.nc")), "%\nO2000 (OLD)\n%\n");
    std::vector<std::string> kept;
    for (const auto& entry : std::filesystem::directory_iterator(folder_.File("versions"))) {
        kept.push_back(ReadFile(entry.path().string()));
    }
    EXPECT_EQ(kept, std::vector<std::string>{"%\nO2000 (RECEIVED)\n%\n"});
}

TEST_F(MainWindowTest, ShortcutsAndOneLevelUpMoveThePaneAndTheCaption) {
    std::filesystem::create_directories(folder_.File("nc/mill"));
    Start("[Dirs]\nDir1=Mill," + folder_.File("nc/mill") + "\nDir2=Gone,/no/such/folder\n");
    Controls().ComboBox2->setCurrentIndex(0);
    window_->ComboBox2Change();
    EXPECT_EQ(window_->windowTitle(),
              QString::fromStdString("Feedrail [" + folder_.File("nc/mill") + "/]"));
    Controls().ComboBox2->setCurrentIndex(1);
    window_->ComboBox2Change();
    EXPECT_EQ(window_->windowTitle(),
              QString::fromStdString("Feedrail [" + folder_.File("nc/mill") + "/]"));
    window_->BitBtn1Click();
    EXPECT_EQ(window_->windowTitle(),
              QString::fromStdString("Feedrail [" + folder_.File("nc") + "/]"));
}

TEST_F(MainWindowTest, GetAsksBeforeAnUnsavedReceivedProgramIsReplaced) {
    WriteFile(folder_.File("O1000.nc"), "%\nG1\n%\n");
    Start("[M]\nCommPort=200\n");
    SelectInFolder("O1000.nc");
    window_->Editor().SetText("%\nO2000\n");
    window_->State().ReceivedUnsaved = true;
    messages_.ConfirmAnswer = false;
    window_->GetButtonClick();
    EXPECT_EQ(messages_.Questions, QStringList{"Discard the received program?"});
    EXPECT_EQ(window_->Editor().Text(), "%\nO2000\n");
    messages_.ConfirmAnswer = true;
    window_->GetButtonClick();
    EXPECT_EQ(window_->Editor().Text(), "%\nG1\n%\n");
}

TEST_F(MainWindowTest, SaveRefusesToReplaceAReadOnlyProgram) {
    Start("[M]\nCommPort=200\n");
    WriteFile(folder_.File("O1000.nc"), "kept\n");
    std::filesystem::permissions(folder_.File("O1000.nc"), std::filesystem::perms::owner_read |
                                                               std::filesystem::perms::group_read |
                                                               std::filesystem::perms::others_read);
    window_->Editor().SetText("%\nG1\n%\n");
    messages_.SaveAnswer = QString::fromStdString(folder_.File("O1000.nc"));
    window_->SaveButtonClick();
    window_->SaveTimerTimer();
    EXPECT_EQ(ReadFile(folder_.File("O1000.nc")), "kept\n");
    EXPECT_EQ(messages_.Errors,
              QStringList{QString::fromStdString("Cannot save " + folder_.File("O1000.nc") +
                                                 ": Permission denied")});
    EXPECT_NE(Status(), "File Saved");
}

TEST_F(MainWindowTest, FoldersThatDifferOnlyInCaseAreTwoFolders) {
    std::filesystem::create_directories(folder_.File("nc/mill"));
    std::filesystem::create_directories(folder_.File("nc/Mill"));
    Start("[M]\nCommPort=200\nDefaultDir=" + folder_.File("nc/Mill") + "\n[Dirs]\nDir1=Lower," +
          folder_.File("nc/mill/") + "\nDir2=Upper," + folder_.File("nc/Mill/") + "\n");
    Controls().ComboBox2->setCurrentIndex(0);
    window_->ComboBox2Change();
    window_->ComboBox1Change();
    EXPECT_EQ(Controls().ComboBox2->currentIndex(), 1);
    EXPECT_EQ(Controls().LsFileListView261->Directory(),
              QString::fromStdString(folder_.File("nc/Mill") + "/"));
}

// Typed or renumbered changes are not thrown away by Get without a question.
TEST_F(MainWindowTest, GetAsksBeforeUnsavedEditsAreReplaced) {
    WriteFile(folder_.File("O1000.nc"), "%\nO1000\n%\n");
    Start("[M]\nCommPort=200\n");
    SelectInFolder("O1000.nc");
    window_->Editor().SetText("%\nO2000\n%\n");
    Controls().Memo1->insertAt(QStringLiteral("\nG1 X5"), 3, 0);
    messages_.ConfirmAnswer = false;
    window_->GetButtonClick();
    EXPECT_EQ(messages_.Questions,
              QStringList{"Discard the changes to the program in the editor?"});
    EXPECT_EQ(window_->Editor().Text(), "%\nO2000\n%\n\nG1 X5");
    messages_.ConfirmAnswer = true;
    window_->GetButtonClick();
    EXPECT_EQ(window_->Editor().Text(), "%\nO1000\n%\n");
}

// A received program is offered its program number as a name, and the pane
// shows the file once it is saved.
TEST_F(MainWindowTest, SavingAReceivedProgramProposesItsNumberAndListsIt) {
    Start("[M]\nCommPort=200\nDefaultExt=.nc\n");
    TLsFileListView26& files = *Controls().LsFileListView261;
    files.SetDirectory(QString::fromStdString(folder_.Path()));
    window_->State().ReceivedLines = 4;
    for (const char* line : {"%", "(PART)", "O2000", "G1", "%"}) {
        window_->Editor().AppendReceivedLine(line);
    }
    messages_.SaveAnswer = QString::fromStdString(folder_.File("O2000.nc"));
    window_->SaveButtonClick();
    EXPECT_EQ(messages_.LastSaveRequest.proposedName, "O2000.nc");
    window_->SaveTimerTimer();
    EXPECT_EQ(files.findItems("O2000.nc", Qt::MatchExactly).size(), 1);
}

// A machine whose folder is not there never shows the files of the machine
// before: the pane is empty and names the missing folder.
TEST_F(MainWindowTest, AMachineWhoseFolderIsMissingShowsNoOtherMachinesFiles) {
    std::filesystem::create_directory(folder_.File("mill"));
    WriteFile(folder_.File("mill/O1000.nc"), "%\nO1000\n%\n");
    Start("[Mill]\nCommPort=200\nDefaultDir=" + folder_.File("mill") + "\n[Lathe]\nCommPort=200\n" +
          "DefaultDir=" + folder_.File("lathe") + "\n");
    window_->ComboBox1Change();
    ASSERT_EQ(Controls().LsFileListView261->topLevelItemCount(), 1);
    Controls().ComboBox1->setCurrentIndex(1);
    window_->ComboBox1Change();
    EXPECT_EQ(Controls().LsFileListView261->topLevelItemCount(), 0);
    EXPECT_EQ(window_->windowTitle(),
              QString::fromStdString("Feedrail [" + folder_.File("lathe") + "/]"));
    EXPECT_EQ(Status().toStdString(),
              "The folder " + folder_.File("lathe") + "/ of Lathe does not exist");
}

// Double-click or Enter on a part program loads it as Get does: ".nc", the
// profile's extension and its file filter make a part program.
TEST_F(MainWindowTest, OpeningAPartProgramInThePaneLoadsIt) {
    for (const char* name : {"O1000.nc", "O2000.tap", "O3000.min"}) {
        WriteFile(folder_.File(name), std::string("%\n") + name + "\n%\n");
    }
    Start("[M]\nCommPort=200\nDefaultExt=.tap\nDefaultFileFilter=min\n");
    TLsFileListView26& files = *Controls().LsFileListView261;
    files.SetDirectory(QString::fromStdString(folder_.Path()));
    for (const char* name : {"O1000.nc", "O2000.tap", "O3000.min"}) {
        files.setCurrentItem(files.findItems(name, Qt::MatchExactly).front());
        files.Open();
        EXPECT_EQ(window_->Editor().Text(), std::string("%\n") + name + "\n%\n");
        EXPECT_EQ(Controls().Edit7->text().toStdString(), name);
    }
    EXPECT_TRUE(messages_.Errors.isEmpty()) << messages_.Errors.join("; ").toStdString();
}

// Two names that read alike on screen: Get loads the row's own file.
TEST_F(MainWindowTest, GetLoadsTheFileOfTheRowWhateverItsNameBytes) {
    WriteFile(folder_.File("D\xfcse.nc"), "latin-1\n");
    WriteFile(folder_.File("D\xef\xbf\xbdse.nc"), "utf-8\n");
    Start("[M]\nCommPort=200\n");
    TLsFileListView26& files = *Controls().LsFileListView261;
    files.SetDirectory(QString::fromStdString(folder_.Path()));
    int loaded = 0;
    for (int i = 0; i < files.topLevelItemCount(); ++i) {
        files.setCurrentItem(files.topLevelItem(i));
        const std::string path = files.CurrentRow()->Path;
        if (!path.ends_with("se.nc")) {
            continue;
        }
        ++loaded;
        window_->GetButtonClick();
        EXPECT_EQ(window_->Editor().Text(), ReadFile(path)) << path;
        EXPECT_EQ(window_->State().CurrentFile, path);
    }
    EXPECT_EQ(loaded, 2);
}

} // namespace
} // namespace feedrail
