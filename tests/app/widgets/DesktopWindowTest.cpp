#include "app/widgets/EditorFind.h"
#include "app/widgets/ProgramEditor.h"
#include "app/widgets/Tpunch_d.h"
#include "app/widgets/WindowPlace.h"
#include "common/widgets/ReadableColours.h"
#include "filelist/widgets/TLsFileListView26.h"
#include "support/TempFolder.h"
#include "support/widgets/FakeMessages.h"
#include "utilities/widgets/HelpWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSet>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace feedrail {
namespace {

using test::FakeMessages;
using test::TempFolder;
using test::WriteFile;

// The real main window, offscreen, as the desktop sees it.
class DesktopWindowTest : public ::testing::Test {
protected:
    DesktopWindowTest() { WriteFile(folder_.File("DNC.ini"), "[Mill]\nCommPort=2\n"); }

    std::unique_ptr<Tpunch_d> NewWindow() {
        return std::make_unique<Tpunch_d>(folder_.Path() + "/", messages_);
    }
    void ShowActive(Tpunch_d& window) {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    TempFolder folder_;
    FakeMessages messages_;
};

TEST_F(DesktopWindowTest, TheWindowHasItsIconAndMaximizes) {
    const auto window = NewWindow();
    EXPECT_FALSE(window->windowIcon().pixmap(64).isNull())
        << "the icon, read from the program's resources";
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
}

// The Alt letters of the window's buttons and menus.
QSet<QKeySequence> Mnemonics(const Tpunch_d& window) {
    QSet<QKeySequence> keys;
    for (const QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
        keys << QKeySequence::mnemonic(button->text());
    }
    for (const QAction* menu : window.menuBar()->actions()) {
        keys << QKeySequence::mnemonic(menu->text());
    }
    keys.remove(QKeySequence());
    return keys;
}

TEST_F(DesktopWindowTest, SaveHelpAndCloseKeysMeetNoAltLetter) {
    const auto window = NewWindow();
    const QSet<QKeySequence> mnemonics = Mnemonics(*window);
    EXPECT_TRUE(mnemonics.contains(QKeySequence(Qt::ALT | Qt::Key_S))) << "Send's";
    const MainWindowControls& controls = window->Controls();
    const struct {
        const QAction* action;
        QKeySequence key;
    } cases[] = {
        {controls.SaveShortcut, QKeySequence(Qt::CTRL | Qt::Key_S)},
        {controls.Index1, QKeySequence(Qt::Key_F1)},
        {controls.CloseShortcut, QKeySequence(Qt::CTRL | Qt::Key_Q)},
        {controls.Find1, QKeySequence(Qt::CTRL | Qt::Key_F)},
        {controls.FindNext1, QKeySequence(Qt::Key_F3)},
        {controls.GoToLine1, QKeySequence(Qt::CTRL | Qt::Key_L)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.action->shortcut(), c.key) << c.action->objectName().toStdString();
        EXPECT_FALSE(mnemonics.contains(c.key)) << c.key.toString().toStdString();
    }
}

TEST_F(DesktopWindowTest, TheKeysSaveShowTheManualAndClose) {
    WriteFile(folder_.File("O1234.nc"), "%\nO1234\nG0X1.\nM30\n%\n");
    const auto window = NewWindow();
    ShowActive(*window);
    window->OpenProgram(folder_.File("O1234.nc"));
    window->Controls().Memo1->setFocus();
    messages_.SaveAnswer = QString::fromStdString(folder_.File("O1234-copy.nc"));
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(messages_.LastSaveRequest.proposedName, "O1234.nc") << "Ctrl+S asks where to save";
    QTest::keyClick(window.get(), Qt::Key_F1);
    EXPECT_TRUE(window->Help().isVisible() || !messages_.Errors.isEmpty())
        << "F1 shows the manual, or says why it cannot";
    QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(window->isVisible()) << "Ctrl+Q closes the window";
}

// The line the editor's caret is on, from 1.
int CaretLine(const ProgramEditor& editor) {
    int line = 0;
    int index = 0;
    editor.getCursorPosition(&line, &index);
    return line + 1;
}

TEST_F(DesktopWindowTest, FindGoToLineAndTheFilePaneKeepsItsOwnKeys) {
    WriteFile(folder_.File("O1234.nc"), "%\nO1234\nG0 X10\nG1 X1 Y2\nG1 x1\nG1 X1 Y3\nM30\n%\n");
    const auto window = NewWindow();
    ShowActive(*window);
    window->OpenProgram(folder_.File("O1234.nc"));
    ProgramEditor& editor = *window->Controls().Memo1;
    editor.setFocus();
    QTest::keyClick(&editor, Qt::Key_F, Qt::ControlModifier);
    EditorFind& find = window->Find();
    ASSERT_TRUE(find.isVisible()) << "Ctrl+F in the editor";
    find.findChild<QLineEdit*>(QStringLiteral("FindText"))->setText(QStringLiteral("X1"));
    find.findChild<QCheckBox*>(QStringLiteral("WholeWord"))->setChecked(true);
    find.findChild<QCheckBox*>(QStringLiteral("MatchCase"))->setChecked(true);
    QTest::keyClick(find.findChild<QLineEdit*>(QStringLiteral("FindText")), Qt::Key_Return);
    EXPECT_EQ(CaretLine(editor), 4) << "not X10, not x1";
    editor.setFocus();
    const struct { int line; } nextMatches[] = {{6}, {4}};
    for (const auto& next : nextMatches) {
        QTest::keyClick(&editor, Qt::Key_F3);
        EXPECT_EQ(CaretLine(editor), next.line) << "F3, from the start again past the end";
    }
    QTimer::singleShot(0, [] {
        auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        box->setIntValue(7);
        box->accept();
    });
    QTest::keyClick(&editor, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(CaretLine(editor), 7) << "Ctrl+L, not the text component's line cut";
    EXPECT_EQ(editor.lines(), 9);

    find.hide();
    ShowActive(*window);
    window->Controls().LsFileListView261->SetDirectory(QString::fromStdString(folder_.Path()));
    window->Controls().LsFileListView261->setFocus();
    QTest::keyClick(window->Controls().LsFileListView261, Qt::Key_F3);
    EXPECT_FALSE(find.isVisible());
    EXPECT_NE(window->Controls().LsFileListView261->findChild<QDialog*>(), nullptr)
        << "F3 in the file pane finds files";
}

// What "Open With Feedrail" or the command line hands over is loaded as Get
// loads it.
TEST_F(DesktopWindowTest, AProgramHandedOverIsLoadedAsGetLoadsIt) {
    WriteFile(folder_.File("O2000.tap"), "%\nO2000\nM30\n%\n");
    const struct {
        std::string name;
        std::string editor;
        QString field;
        qsizetype errors;
    } cases[] = {
        {"O2000.tap", "%\nO2000\nM30\n%\n", "O2000.tap", 0},
        {"missing.nc", "", "", 1},
    };
    for (const auto& c : cases) {
        messages_.Errors.clear();
        const auto window = NewWindow();
        window->OpenProgram(folder_.File(c.name));
        EXPECT_EQ(window->Editor().Text(), c.editor) << c.name;
        EXPECT_EQ(window->Controls().Edit7->text(), c.field) << c.name;
        EXPECT_EQ(messages_.Errors.size(), c.errors) << c.name;
    }
}

TEST_F(DesktopWindowTest, SizeAndPlaceAreKeptFromOneRunToTheNext) {
    EXPECT_FALSE(NewWindow()->RestorePlace()) << "a first start";
    const struct {
        const char* name;
        bool maximized;
    } cases[] = {{"normal", false}, {"maximized", true}};
    for (const auto& c : cases) {
        auto window = NewWindow();
        window->show();
        window->setGeometry(30, 40, 700, 450);
        if (c.maximized) {
            window->showMaximized();
        }
        window->close();
        window = NewWindow();
        EXPECT_TRUE(window->RestorePlace()) << c.name;
        EXPECT_EQ(window->isMaximized(), c.maximized) << c.name;
        EXPECT_EQ(window->normalGeometry().size(), QSize(700, 450)) << c.name;
    }
    EXPECT_TRUE(std::filesystem::exists(folder_.File(WindowPlace::FileName)));
    WriteFile(folder_.File(WindowPlace::FileName), "[MainWindow]\nGeometry=@ByteArray(rubbish)\n");
    EXPECT_FALSE(NewWindow()->RestorePlace()) << "a damaged file";
}

QPalette DarkPalette() {
    QPalette dark;
    for (const auto role : {QPalette::Window, QPalette::Button}) {
        dark.setColor(role, QColor(0x35, 0x35, 0x35));
    }
    dark.setColor(QPalette::Base, QColor(0x2a, 0x2a, 0x2a));
    for (const auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
        dark.setColor(role, Qt::white);
    }
    return dark;
}

// The controls that choose colours of their own still read under a light and
// under a dark desktop palette.
TEST_F(DesktopWindowTest, ItsOwnColoursReadOnALightAndADarkPalette) {
    const QPalette before = QApplication::palette();
    const struct {
        const char* name;
        QPalette palette;
    } palettes[] = {{"light", QApplication::style()->standardPalette()}, {"dark", DarkPalette()}};
    for (const auto& p : palettes) {
        QApplication::setPalette(p.palette);
        const auto window = NewWindow();
        const MainWindowControls& controls = window->Controls();
        const struct {
            const QWidget* widget;
            QPalette::ColorRole text;
            QPalette::ColorRole ground;
        } cases[] = {
            {controls.ReceiveButton, QPalette::ButtonText, QPalette::Button},
            {controls.Label3, QPalette::WindowText, QPalette::Window},
            {controls.Edit7, QPalette::Text, QPalette::Base},
        };
        for (const auto& c : cases) {
            const QPalette& colours = c.widget->palette();
            EXPECT_GE(ContrastRatio(colours.color(QPalette::Active, c.text),
                                    colours.color(QPalette::Active, c.ground)),
                      4.5)
                << p.name << " " << c.widget->objectName().toStdString();
        }
        EXPECT_NE(controls.ReceiveButton->palette().color(QPalette::Active, QPalette::ButtonText),
                  p.palette.color(QPalette::ButtonText))
            << p.name << ": Receive stands out in red";
    }
    QApplication::setPalette(before);
}

} // namespace
} // namespace feedrail
