#include "MainWindowFixture.h"

namespace feedrail {
namespace {

using namespace test;

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
