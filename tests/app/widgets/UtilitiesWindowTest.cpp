#include "app/widgets/Tpunch_d.h"
#include "compare/widgets/CompareDialog.h"
#include "filelist/widgets/TLsFileListView26.h"
#include "support/TempFolder.h"
#include "support/widgets/FakeMessages.h"
#include "support/widgets/PumpEvents.h"
#include "utilities/widgets/HelpWindow.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTextBrowser>
#include <filesystem>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>

namespace feedrail {
namespace {

using test::FakeMessages;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

// A program that writes its argument count, working folder and arguments,
// one to a line, to a file named after itself.
void WriteRecorder(const std::string& path) {
    WriteFile(path, "#!/bin/sh\n{ echo \"$#\"; pwd; for a in \"$@\"; do echo \"$a\"; done; } "
                    ">\"$0.tmp\" && mv \"$0.tmp\" \"$0.out\"\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

// What the recorder at `path` was started with; empty when it never ran.
std::string Recorded(const std::string& path) {
    QElapsedTimer clock;
    clock.start();
    while (!std::filesystem::exists(path + ".out") && clock.elapsed() < 5000) {
        QApplication::processEvents();
    }
    if (!std::filesystem::exists(path + ".out")) {
        return {};
    }
    std::string record = ReadFile(path + ".out");
    std::filesystem::remove(path + ".out");
    return record;
}

class UtilitiesWindowTest : public ::testing::Test {
protected:
    UtilitiesWindowTest() {
        std::filesystem::create_directories(folder_.File("tools"));
        std::filesystem::create_directories(folder_.File("nc/sub"));
        WriteRecorder(folder_.File("plansheet"));
        WriteRecorder(folder_.File("local"));
        WriteRecorder(folder_.File("tools/full"));
        WriteFile(folder_.File("nc/O1000.nc"), "%\nG1\n%\n");
        WriteFile(folder_.File("nc/O 'odd' $HOME; x.nc"), "%\n");
        WriteFile(folder_.File("DNC.ini"), "[M]\nCommPort=200\n");
        WriteFile(folder_.File("DNCUtilities.ini"),
                  "[Utilities]\nUtility1=Loaded,local,1\nUtility2=Selected," +
                      folder_.File("tools/full") +
                      ",2\nUtility5=Plain,local\n"
                      "Utility6=Gone,missing,0\n");
        window_ = std::make_unique<Tpunch_d>(folder_.Path() + "/", messages_);
        Pane().SetDirectory(QString::fromStdString(folder_.File("nc")));
    }

    TLsFileListView26& Pane() { return *window_->Controls().LsFileListView261; }
    void Select(const char* name) {
        Pane().setCurrentItem(Pane().findItems(QString::fromUtf8(name), Qt::MatchExactly).front());
    }
    QAction& Entry(int number) {
        return *window_->Controls().Utilities1->findChild<QAction*>(
            QStringLiteral("Utility%1").arg(number));
    }
    std::string Started(const std::string& argument) {
        return "1\n" + folder_.Path() + "\n" + argument + "\n";
    }

    TempFolder folder_;
    FakeMessages messages_;
    std::unique_ptr<Tpunch_d> window_;
};

TEST_F(UtilitiesWindowTest, EachEntryStartsItsProgramWithTheFileItsModeAsksFor) {
    QStringList menu;
    for (const QAction* action : window_->Controls().Utilities1->actions()) {
        menu << action->text();
    }
    EXPECT_EQ(menu, (QStringList{"&Renumber", "Gone", "Plain", "Selected", "Loaded",
                                 "Print &Columns...", "Compare &with Stored Program"}));

    Entry(1).trigger();
    EXPECT_EQ(messages_.Messages, QStringList{"Need Filename"});
    Entry(3).trigger();
    EXPECT_EQ(Recorded(folder_.File("local")), Started(""));

    Select("O1000.nc");
    window_->GetButtonClick();
    Pane().clearSelection();
    Entry(2).trigger();
    EXPECT_EQ(Recorded(folder_.File("tools/full")), Started(folder_.File("nc/O1000.nc")))
        << "mode 2 without a selection takes the loaded file";
    Select("O 'odd' $HOME; x.nc");
    Entry(2).trigger();
    EXPECT_EQ(Recorded(folder_.File("tools/full")),
              Started(folder_.File("nc/O 'odd' $HOME; x.nc")));
    Entry(1).trigger();
    EXPECT_EQ(Recorded(folder_.File("local")), Started(folder_.File("nc/O1000.nc")));

    Entry(4).trigger();
    EXPECT_EQ(messages_.Errors,
              QStringList{QString::fromStdString("Cannot start " + folder_.File("missing") +
                                                 ": No such file or directory")});
}

TEST_F(UtilitiesWindowTest, SetupSheetStartsWithTheSelectedItemFolderOrFile) {
    window_->Controls().SetupSheetButton->click();
    EXPECT_EQ(messages_.Messages, QStringList{"No File Selected"});
    Select("sub");
    window_->Controls().SetupSheetButton->click();
    EXPECT_EQ(Recorded(folder_.File("plansheet")), Started(folder_.File("nc/sub")));
}

// Names copied from old machines are often Latin-1: the file shows with
// replacement characters, but Save and the utilities keep its own bytes.
TEST_F(UtilitiesWindowTest, AFileNamedInBytesThatAreNotUtf8KeepsItsNameThroughSaveAndUtilities) {
    const std::string name = folder_.File("nc/O\xe9\xff.nc");
    WriteFile(name, "%\nO1\n%\n");
    Pane().Refresh();
    Select("O\xe9\xff.nc");
    window_->GetButtonClick();
    window_->Editor().SetText("%\nO1\nG1\n%\n");
    messages_.SaveAnswer = QFile::decodeName(QByteArray::fromStdString(name));
    window_->SaveButtonClick();
    window_->SaveTimerTimer();
    EXPECT_EQ(ReadFile(name), "%\nO1\nG1\n%\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.File("nc")),
                            std::filesystem::directory_iterator()),
              4)
        << "Save wrote a new file";
    EXPECT_EQ(window_->Controls().Label3->text(), "File Saved");

    Entry(1).trigger();
    EXPECT_EQ(Recorded(folder_.File("local")), Started(name)) << "the loaded file";
    Select("O\xe9\xff.nc");
    Entry(2).trigger();
    EXPECT_EQ(Recorded(folder_.File("tools/full")), Started(name)) << "the selected file";
    window_->Controls().SetupSheetButton->click();
    EXPECT_EQ(Recorded(folder_.File("plansheet")), Started(name)) << "the setup sheet";
    EXPECT_EQ(messages_.Errors, QStringList());
}

TEST_F(UtilitiesWindowTest, HelpIndexShowsTheManualAtItsFirstTopic) {
    window_->Index1Click();
    EXPECT_EQ(messages_.Errors,
              QStringList{QString::fromStdString(
                  "The help file " + folder_.File("feedrail-help.html") + " is missing.")});
    std::filesystem::copy_file(FEEDRAIL_HELP_FILE, folder_.File("feedrail-help.html"));
    window_->Controls().Index1->trigger();
    const QTextBrowser& browser = window_->Help().Browser();
    EXPECT_TRUE(window_->Help().isVisible());
    EXPECT_EQ(browser.source().fragment(), "Topic1");
    EXPECT_TRUE(browser.toPlainText().contains("Sending a program"));
}

// The editor's program against the stored one of its number in the
// machine's folder; a program without a number or a number stored nowhere
// is said so.
TEST_F(UtilitiesWindowTest, CompareWithStoredProgramFindsTheStoredOneOfTheEditorsNumber) {
    window_->Settings().DefaultDir = folder_.File("nc") + "/";
    const struct {
        const char* editor;
        QString said;
    } cases[] = {
        {"%\nO1000\nG1\n%\n", "1 line differs"},
        {"%\nO2000\nG1\n%\n",
         "No stored program O2000 in " + QString::fromStdString(folder_.File("nc")) + "/."},
        {"%\nG1\n%\n", "The program in the editor has no program number (O or :) at its head "
                       "to look up."},
    };
    for (const auto& c : cases) {
        messages_.Messages.clear();
        window_->Editor().SetText(c.editor);
        window_->Controls().CompareWithStored1->trigger();
        const QList<CompareDialog*> opened = window_->findChildren<CompareDialog*>();
        if (opened.isEmpty()) {
            EXPECT_EQ(messages_.Messages, QStringList{c.said}) << c.editor;
            continue;
        }
        ASSERT_EQ(opened.size(), 1);
        std::unique_ptr<CompareDialog> dialog(opened.front());
        EXPECT_EQ(dialog->windowTitle(), "Compare O1000.nc with the editor");
        EXPECT_TRUE(test::PumpUntil([&] { return dialog->Summary() == c.said; }, 10000))
            << dialog->Summary().toStdString();
    }
}

} // namespace
} // namespace feedrail
