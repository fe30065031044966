#include "about/widgets/TAbout.h"
#include "app/widgets/ProgramEditor.h"
#include "app/widgets/Tpunch_d.h"
#include "filelist/widgets/TLsFileListView26.h"
#include "profiles/widgets/TForm2.h"
#include "serial/EVaCommError.h"
#include "support/PseudoTerminal.h"
#include "support/TempFolder.h"
#include "support/widgets/FakeMessages.h"
#include "support/widgets/PumpEvents.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace feedrail {
namespace {

using test::FakeMessages;
using test::PumpFor;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

QStringList Items(const QComboBox& list) {
    QStringList items;
    for (int i = 0; i < list.count(); ++i) {
        items << list.itemText(i);
    }
    return items;
}

// The real main window, offscreen, on a program folder of its own.
class MainWindowTest : public ::testing::Test {
protected:
    void Start(const std::string& profiles, const std::string& utilities = {}) {
        if (!profiles.empty()) {
            WriteFile(folder_.File("DNC.ini"), profiles);
        }
        if (!utilities.empty()) {
            WriteFile(folder_.File("DNCUtilities.ini"), utilities);
        }
        window_ = std::make_unique<Tpunch_d>(folder_.Path() + "/", messages_);
    }

    const MainWindowControls& Controls() const { return window_->Controls(); }
    QString Status() const { return Controls().Label3->text(); }
    // Shows the test's folder in the file pane with `name` selected.
    void SelectInFolder(const char* name) {
        TLsFileListView26& files = *Controls().LsFileListView261;
        files.SetDirectory(QString::fromStdString(folder_.Path()));
        files.setCurrentItem(files.findItems(name, Qt::MatchExactly).front());
    }
    std::string Profiles() const { return ReadFile(folder_.File("DNC.ini")); }

    TempFolder folder_;
    FakeMessages messages_;
    std::unique_ptr<Tpunch_d> window_;
};

TEST_F(MainWindowTest, StartUpListsMachinesShortcutsAndUtilities) {
    Start("[Zeta Mill]\nDefaultFileFilter=tap\nDefaultExt=.tap\nCommBaudRate=4800\n"
          "[dirs]\nDir1=Mill,/nc/mill\nDir3=Archive 2,/srv/archive\n"
          "[Alpha Lathe]\nDefaultFileFilter=nc\n"
          "[DIRS]\n",
          "[Utilities]\nUtility1=Backplot,plot,2\nUtility2=Editor,/usr/bin/ed\n"
          "Utility4=Broken,x,two\nUtility5=Compare,cmp,1\n");

    EXPECT_EQ(Items(*Controls().ComboBox1), (QStringList{"Zeta Mill", "Alpha Lathe"}));
    EXPECT_EQ(Controls().ComboBox1->currentText(), "Zeta Mill");
    EXPECT_EQ(Items(*Controls().ComboBox2), (QStringList{"MILL", "ARCHIVE 2"}));
    EXPECT_EQ(window_->State().DirPaths, (std::vector<std::string>{"/nc/mill", "/srv/archive"}));
    QStringList menu;
    for (const QAction* action : Controls().Utilities1->actions()) {
        menu << action->text();
    }
    EXPECT_EQ(menu, (QStringList{"&Renumber", "Compare", "Editor", "Backplot", "Print &Columns...",
                                 "Compare &with Stored Program"}));
    EXPECT_EQ(messages_.Errors, QStringList{"'two' is not a valid integer value"});
    EXPECT_EQ(window_->Settings().CommBaudRate, 4800);
    EXPECT_EQ(window_->Settings().DefaultFileFilter, "tap");

    EXPECT_EQ(window_->windowTitle(), "Feedrail ");
    EXPECT_EQ(Status(), "Serial Port");
    EXPECT_EQ(Controls().StaticText1->text(), "Not Connected");
    EXPECT_TRUE(window_->CommOpenTimer1().isActive());
    EXPECT_TRUE(window_->DefaultDirectoryTimer1().isActive());
    EXPECT_FALSE(window_->Comm1().Active());

    // The filter and extension stay those of the first machine.
    Controls().ComboBox1->setCurrentIndex(1);
    window_->ComboBox1Change();
    EXPECT_EQ(window_->Settings().DefaultFileFilter, "tap");
    EXPECT_EQ(window_->Settings().DefaultExt, ".tap");
}

TEST_F(MainWindowTest, MachineSelectionWritesTheWholeProfileBack) {
    Start("; keep this comment\n[Fanuc]\nCommParity=Even\nPunchType=3\nDefaultDir=" +
          folder_.Path() + "\n[Dirs]\nDir2=Here," + folder_.Path() + "/\n");
    window_->DefaultDirectoryTimer1Timer();

    EXPECT_EQ(window_->Settings().CommBaudRate, 2400) << "the dialog's default wins";
    EXPECT_EQ(window_->Settings().CommParity, 'E');
    EXPECT_EQ(Profiles(), "; keep this comment\n[Fanuc]\nCommParity=E\nPunchType=3\nDefaultDir=" +
                              folder_.Path() +
                              "/\nCommBaudRate=2400\nCommPort=2\n"
                              "CommHandshake=0\nCommDataBits=8\nCommStopBits=1\nEOB=0\n"
                              "PunchWait=0\nLeader=0\n[Dirs]\nDir2=Here," +
                              folder_.Path() + "/\n");
    EXPECT_EQ(Controls().LsFileListView261->Directory(),
              QString::fromStdString(folder_.Path() + "/"));
    EXPECT_EQ(window_->windowTitle(), QString::fromStdString("Feedrail [" + folder_.Path() + "/]"));
    EXPECT_TRUE(window_->CommOpenTimer1().isActive());
}

TEST_F(MainWindowTest, WithoutMachinesNothingIsWrittenAndDefaultsApply) {
    Start("");
    window_->DefaultDirectoryTimer1Timer();
    window_->CommOpenTimer1Timer();
    EXPECT_FALSE(std::filesystem::exists(folder_.File("DNC.ini")));
    EXPECT_EQ(Controls().StaticText1->text(),
              "600 Baud, 8 Data Bits, 1 Stop Bits, ASCII Format, com2");
}

// The other end of a pseudo-terminal, linked as com2 beside the program,
// stands in for the machine.
TEST_F(MainWindowTest, ThePortOpensThroughAComLinkAndShowsReady) {
    test::PseudoTerminal machine;
    std::filesystem::create_symlink(machine.SlavePath(), folder_.File("com2"));
    Start("[Fanuc]\nCommPort=2\nCommBaudRate=9600\nCommDataBits=7\nCommStopBits=2\nPunchType=3\n");
    window_->CommOpenTimer1Timer();
    EXPECT_EQ(Status(), "COM2 Ready");
    EXPECT_EQ(Controls().StaticText1->text(),
              "9600 Baud, 7 Data Bits, 2 Stop Bits, ISO Format, com2");
    EXPECT_TRUE(window_->Comm1().Active());
    EXPECT_FALSE(window_->CommOpenTimer1().isActive());
}

TEST_F(MainWindowTest, AMissingPortShowsTheComponentsMessage) {
    Start("[Fanuc]\nCommPort=200\nCommBaudRate=38400\n");
    window_->CommOpenTimer1Timer();
    EXPECT_EQ(Status(), "Invalid port number (COM200)");
    EXPECT_EQ(Controls().StaticText1->text(),
              "38400 Baud, 8 Data Bits, 1 Stop Bits, ASCII Format, com200");
}

TEST_F(MainWindowTest, ClearEmptiesTheEditorAndStopKeepsIt) {
    Start("[M]\nCommPort=200\n");
    window_->Editor().SetText("%\nG1\n%\n");
    Controls().Edit7->setText("part.nc");
    window_->State().CurrentFile = "/nc/part.nc";

    // Stop of a requested send.
    window_->SendButtonClick();
    EXPECT_FALSE(Controls().SendButton->isEnabled());
    EXPECT_EQ(Controls().ClearButton->text(), "Stop");
    window_->ClearButtonClick();
    EXPECT_EQ(window_->Editor().Text(), "%\nG1\n%\n");
    EXPECT_EQ(Controls().ClearButton->text(), "Clear");
    for (const QPushButton* button : {Controls().SendButton, Controls().ReceiveButton,
                                      Controls().SaveButton, Controls().PrintWindowButton}) {
        EXPECT_TRUE(button->isEnabled()) << button->objectName().toStdString();
    }
    EXPECT_EQ(Status(), "Send Cancelled");
    EXPECT_FALSE(window_->State().SendPending) << "the port-open tick would start the send";

    window_->ClearButtonClick();
    EXPECT_EQ(window_->Editor().Text(), "");
    EXPECT_EQ(QApplication::clipboard()->text(), "%\nG1\n%\n");
    EXPECT_EQ(Controls().Edit7->text(), "");
    EXPECT_EQ(window_->State().CurrentFile, "");

    window_->CommOpenTimer1Timer();
    EXPECT_FALSE(window_->State().StopPending);
}

TEST_F(MainWindowTest, CloseShowsItsStatusAndClosesTheWindowOnTheTimer) {
    Start("[M]\nCommPort=200\n");
    window_->show();
    window_->Editor().SetText("G1\n");
    window_->CloseButtonClick();
    EXPECT_EQ(Status(), "Closing Feedrail");
    EXPECT_EQ(window_->Editor().Text(), "");
    EXPECT_TRUE(window_->CloseTimer1().isActive());
    EXPECT_EQ(window_->CloseTimer1().interval(), 1500);
    window_->CommOpenTimer1Timer();
    EXPECT_EQ(Status(), "Closing Feedrail") << "a closing program opened the port";
    EXPECT_TRUE(window_->isVisible());
    window_->CloseTimer1Timer();
    EXPECT_FALSE(window_->isVisible());
}

TEST_F(MainWindowTest, EscClosesLikeTheCloseButton) {
    Start("[M]\nCommPort=200\n");
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(window_.get(), &escape);
    EXPECT_EQ(Status(), "Closing Feedrail");
    EXPECT_TRUE(window_->CloseTimer1().isActive());
}

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

TEST_F(MainWindowTest, ErrorsEscapingHandlersAreShown) {
    Start("[M]\nCommPort=200\n");
    window_->Guard([] { throw EVaCommError("Write error (5), Input/output error"); });
    EXPECT_EQ(messages_.Errors, QStringList{"Write error (5), Input/output error"});
    window_->CommOpenTimer1Timer();
    window_->Guard([] { throw EVaCommError("Write error (5), Input/output error"); });
    EXPECT_EQ(messages_.Messages,
              QStringList{"Async32 error: Write error (5), Input/output error"});
    window_->Guard([] { throw std::runtime_error("Unable to write to /x/DNC.ini"); });
    EXPECT_EQ(messages_.Errors.back(), "Unable to write to /x/DNC.ini");
}

TEST_F(MainWindowTest, EnterRunsGetOnlyWhereTheFocusedControlDoesNotUseIt) {
    WriteFile(folder_.File("O1000.nc"), "%\nG1\n%\n");
    std::filesystem::create_directory(folder_.File("sub"));
    Start("[M]\nCommPort=200\n");
    window_->show();
    QApplication::setActiveWindow(window_.get());
    TLsFileListView26& files = *Controls().LsFileListView261;
    files.SetDirectory(QString::fromStdString(folder_.Path()));
    const auto pressEnter = [](QWidget* target) {
        target->setFocus();
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
    };

    files.setCurrentItem(files.findItems("sub", Qt::MatchExactly).front());
    pressEnter(&files);
    EXPECT_EQ(files.Directory(), QString::fromStdString(folder_.File("sub") + "/"));
    EXPECT_EQ(messages_.Messages, QStringList()) << "Get ran after the list opened the folder";

    messages_.SaveAnswer.reset();
    pressEnter(Controls().SaveButton);
    PumpFor(300);
    EXPECT_EQ(messages_.Messages, QStringList()) << "Enter on the Save button ran Get";
    EXPECT_EQ(messages_.LastSaveRequest.filters.size(), 2) << "Enter did not press Save";

    pressEnter(Controls().ComboBox1);
    EXPECT_EQ(messages_.Messages, QStringList()) << "Enter in the machine list ran Get";

    pressEnter(Controls().Edit7);
    EXPECT_EQ(messages_.Messages, QStringList{"No File Selected"});

    window_->Editor().SetText("G1");
    Controls().Memo1->setCursorPosition(0, 2);
    pressEnter(Controls().Memo1);
    EXPECT_EQ(window_->Editor().Text(), "G1\n") << "Enter in the editor broke no line";
    EXPECT_EQ(messages_.Messages.size(), 1) << "Enter in the editor ran Get";
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(Controls().Memo1, &escape);
    EXPECT_FALSE(window_->CloseTimer1().isActive()) << "Esc in the editor closes the window";
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

TEST_F(MainWindowTest, AProfileInAnotherCodePageSurvivesMachineSelectionByteForByte) {
    const std::string profiles = "[Fr\xE4se]\nCommPort=200\nCommBaudRate=600\nPunchType=1\n"
                                 "CommHandshake=0\nCommParity=N\nCommDataBits=8\nCommStopBits=1\n"
                                 "EOB=0\nPunchWait=0\nLeader=0\nDefaultDir=" +
                                 folder_.File("M\xFChle/") + "\n";
    Start(profiles);
    window_->DefaultDirectoryTimer1Timer();
    EXPECT_EQ(Controls().ComboBox1->currentText(), QString::fromLatin1("Fr\xE4se"));
    EXPECT_EQ(Profiles(), profiles);
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

TEST_F(MainWindowTest, ClosingTheWindowWithTheAboutBoxOpenEndsTheProgram) {
    Start("[M]\nCommPort=200\n");
    window_->show();
    window_->Controls().About1->trigger();
    ASSERT_TRUE(window_->findChild<TAbout*>()->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the about box blocks the window";
    window_->close();
    EXPECT_FALSE(window_->isVisible());
    for (const QWidget* widget : QApplication::topLevelWidgets()) {
        EXPECT_FALSE(widget->isVisible()) << widget->objectName().toStdString();
    }
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

TEST_F(MainWindowTest, TheMachineListDropsDownTenRowsAtMost) {
    std::string profiles;
    for (int i = 1; i <= 20; ++i) {
        profiles += "[Machine " + std::to_string(i) + "]\nCommPort=200\n";
    }
    Start(profiles);
    window_->show();
    QComboBox& machines = *Controls().ComboBox1;
    machines.showPopup();
    const int row = machines.view()->sizeHintForRow(0);
    EXPECT_LE(machines.view()->height(), 11 * row);
    machines.hidePopup();
}

TEST_F(MainWindowTest, TheWindowShowsItsColumnsAtTheDesignSizeAndGrowsThePaneAndEditor) {
    WriteFile(folder_.File("O1000.nc"), "%\n");
    Start("[M]\nCommPort=200\n");
    window_->adjustSize();
    window_->show();
    TLsFileListView26& files = *Controls().LsFileListView261;
    files.SetDirectory(QString::fromStdString(folder_.Path()));
    QApplication::processEvents();
    EXPECT_LE(window_->width(), 680);
    EXPECT_LE(window_->height(), 420);
    const QHeaderView& header = *files.header();
    const int modified = 3;
    const QString date = files.topLevelItem(0)->text(modified);
    EXPECT_GT(header.sectionSize(modified), files.fontMetrics().horizontalAdvance(date));
    EXPECT_LE(header.sectionViewportPosition(modified) + header.sectionSize(modified),
              files.viewport()->width())
        << "the Modified column is cut";
    EXPECT_GE(Controls().Memo1->height(), 190);

    const QSize pane = files.size();
    const QSize editor = Controls().Memo1->size();
    window_->resize(1000, 700);
    QApplication::processEvents();
    EXPECT_GT(files.width(), pane.width());
    EXPECT_GT(files.height(), pane.height());
    EXPECT_GT(Controls().Memo1->width(), editor.width());
    EXPECT_GT(Controls().Memo1->height(), editor.height());
}

// Alt and a letter reach one control: no two buttons or menus of the window
// share a mnemonic, nor two items of one menu.
TEST_F(MainWindowTest, NoTwoMnemonicsOfTheWindowCollide) {
    WriteFile(folder_.File("DNCUtilities.ini"), "[Utilities]\nUtility1=&Setup,true,0\n");
    Start("[M]\nCommPort=200\n");
    const auto mnemonic = [](const QString& text) {
        const int at = QString(text).replace(QLatin1String("&&"), QLatin1String("__")).indexOf('&');
        return at >= 0 && at + 1 < text.size() ? text[at + 1].toLower() : QChar();
    };
    const auto expectUnique = [&](const QStringList& texts, const QString& where) {
        std::map<QChar, QString> seen;
        for (const QString& text : texts) {
            const QChar letter = mnemonic(text);
            if (!letter.isNull()) {
                EXPECT_EQ(seen.count(letter), 0U)
                    << where.toStdString() << ": " << text.toStdString() << " and "
                    << seen[letter].toStdString();
                seen[letter] = text;
            }
        }
    };
    QStringList window;
    for (const QAbstractButton* button : window_->findChildren<QAbstractButton*>()) {
        if (button->window() == window_.get()) {
            window << button->text();
        }
    }
    for (const QAction* menu : window_->menuBar()->actions()) {
        window << menu->text();
    }
    expectUnique(window, "the window");
    for (const QMenu* menu : window_->menuBar()->findChildren<QMenu*>()) {
        QStringList items;
        for (const QAction* item : menu->actions()) {
            items << item->text();
        }
        expectUnique(items, menu->title());
    }
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

// A long status wraps in its place, and a long port name is cut in its
// place: the editor, the buttons and the file pane stay put.
TEST_F(MainWindowTest, ALongStatusOrPortNameLeavesTheLayoutAlone) {
    Start("[M]\nCommDevice=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K5XYZ-if00-port0\n");
    window_->show();
    window_->CommOpenTimer1Timer();
    test::PumpFor(50);
    const auto* machineLabel = window_->findChild<QLabel*>(QStringLiteral("Label5"));
    ASSERT_NE(machineLabel, nullptr);
    EXPECT_LT(Controls().LsFileListView261->geometry().right(), machineLabel->geometry().left());
    EXPECT_TRUE(Controls().StaticText1->toolTip().endsWith(QStringLiteral("-port0")));
    const QRect editor = Controls().Memo1->geometry();
    window_->ShowStatus(
        QStringLiteral("The port /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K5XYZ-"
                       "if00-port0 (COM2) is gone: unplugged or switched off?"));
    test::PumpFor(50);
    EXPECT_EQ(Controls().Memo1->geometry().x(), editor.x());
    EXPECT_EQ(Controls().Memo1->geometry().width(), editor.width());
}

} // namespace
} // namespace feedrail
