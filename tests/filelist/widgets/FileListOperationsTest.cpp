#include "filelist/widgets/FileListOperations.h"

#include "filelist/widgets/FileListFixture.h"
#include "filelist/widgets/FindDialog.h"
#include "filelist/widgets/PictureViewer.h"
#include "filelist/widgets/TextViewer.h"

#include <QClipboard>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <sys/stat.h>

namespace feedrail {
namespace {

using test::FileListFixture;
using test::Q;
using test::ReadFile;
using test::WriteFile;

class FileListOperationsTest : public FileListFixture {
protected:
    FileListOperations& Operations() { return list_.Operations(); }
    bool Exists(const std::string& name) const {
        return std::filesystem::exists(folder_.File(name));
    }
};

const QString FolderError =
    "ERROR - Folders can't be cut or copied \r                in this component";

TEST_F(FileListOperationsTest, CutOfASelectionWithAFolderMovesOnlyItsFilesAtPaste) {
    Select({"O1000.nc", "sub", "O2000.tap"});
    Press(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(messages_.Errors, QStringList{FolderError});
    list_.SetDirectory(Path("sub"));
    Press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Captions(), (QStringList{"inner.nc", "O1000.nc", "O2000.tap"}));
    EXPECT_FALSE(Exists("O1000.nc"));
    EXPECT_EQ(ReadFile(folder_.File("sub/O1000.nc")), "%\nO1000\nG0 X1\n%\n");
    EXPECT_FALSE(list_.ContextMenu().Paste->isEnabled()) << "a paste forgets the files";
    EXPECT_EQ(messages_.Errors.size(), 1);
}

TEST_F(FileListOperationsTest, CopyPasteAsksBeforeReplacingAndCopiesIntoItsOwnFolder) {
    WriteFile(folder_.File("sub/O1000.nc"), "old");
    Select({"O1000.nc"});
    Press(Qt::Key_C, Qt::ControlModifier);
    list_.SetDirectory(Path("sub"));
    messages_.ConfirmAnswer = false;
    Press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(messages_.Questions,
              QStringList{Path("sub/O1000.nc") + " already exists. Replace it?"});
    EXPECT_EQ(ReadFile(folder_.File("sub/O1000.nc")), "old");

    list_.SetDirectory(Folder());
    Select({"O1000.nc"});
    list_.ContextMenu().Copy->trigger();
    list_.SetDirectory(Path("sub"));
    messages_.ConfirmAnswer = true;
    list_.ContextMenu().Paste->trigger();
    EXPECT_EQ(ReadFile(folder_.File("sub/O1000.nc")), "%\nO1000\nG0 X1\n%\n");
    EXPECT_TRUE(Exists("O1000.nc"));

    list_.SetDirectory(Folder());
    Select({"O2000.tap"});
    Press(Qt::Key_C, Qt::ControlModifier);
    Press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_NE(Item("Copy of O2000.tap"), nullptr);
    EXPECT_EQ(messages_.Errors, QStringList());
    Operations().Paste();
    EXPECT_EQ(messages_.Messages, QStringList{"No file(s) selected"});
}

TEST_F(FileListOperationsTest, DeleteAsksNamingTheItemsAndMovesThemToTheTrash) {
    const QTemporaryDir data;
    const QByteArray oldData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    Select({"O1000.nc", "sub"});
    messages_.ConfirmAnswer = false;
    Press(Qt::Key_Delete);
    EXPECT_EQ(messages_.Questions, QStringList{"Move these 2 items to the trash?\n" + Path("sub") +
                                               "\n" + Path("O1000.nc")});
    EXPECT_TRUE(Exists("O1000.nc"));
    messages_.ConfirmAnswer = true;
    list_.ContextMenu().Delete->trigger();
    Select({"O3000"});
    Press(Qt::Key_Delete);
    qputenv("XDG_DATA_HOME", oldData);
    EXPECT_EQ(messages_.Questions.back(), "Move " + Path("O3000") + " to the trash?");
    EXPECT_EQ(messages_.Errors, QStringList());
    EXPECT_EQ(Captions(), (QStringList{"notes.txt", "O2000.tap"}));
    const std::string trash = QFile::encodeName(data.path()).toStdString() + "/Trash/files/";
    EXPECT_EQ(ReadFile(trash + "O1000.nc"), "%\nO1000\nG0 X1\n%\n");
    EXPECT_EQ(ReadFile(trash + "sub/inner.nc"), "%\nO9000\n%\n");
    EXPECT_EQ(ReadFile(trash + "O3000"), "%\nO3000\n%\n");
}

TEST_F(FileListOperationsTest, RenameInPlaceRefusesAnExistingName) {
    const auto renameTo = [this](const QString& name) {
        Press(Qt::Key_F2);
        auto* editor = list_.findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        editor->setText(name);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(editor, &enter);
        QApplication::processEvents();
        QApplication::processEvents();
    };
    Select({"O1000.nc"});
    renameTo("O2000.tap");
    EXPECT_EQ(messages_.Errors,
              QStringList{"Cannot rename " + Path("O1000.nc") + " to O2000.tap: File exists"});
    EXPECT_EQ(ReadFile(folder_.File("O2000.tap")), "%\nO2000\n%\n");
    EXPECT_EQ(Item("O1000.nc")->text(0), "O1000.nc");

    Select({"O1000.nc"});
    renameTo("O1001.nc");
    EXPECT_FALSE(Exists("O1000.nc"));
    EXPECT_EQ(ReadFile(folder_.File("O1001.nc")), "%\nO1000\nG0 X1\n%\n");
    EXPECT_EQ(list_.SelectedPath(), folder_.File("O1001.nc"));

    list_.SetReadOnly(true);
    Press(Qt::Key_F2);
    EXPECT_EQ(messages_.Messages, QStringList{"It's ReadOnly"});
    list_.SetReadOnly(false);
    ::chmod(folder_.File("O3000").c_str(), 0444);
    list_.Refresh();
    Select({"O3000"});
    Press(Qt::Key_F2);
    EXPECT_EQ(messages_.Messages, (QStringList{"It's ReadOnly", "It's ReadOnly"}));
}

TEST_F(FileListOperationsTest, NewFolderAndAttributesAskTheirDialogs) {
    desktop_.FolderName = "Mill";
    Press(Qt::Key_N, Qt::ControlModifier);
    EXPECT_TRUE(std::filesystem::is_directory(folder_.File("Mill")));
    EXPECT_EQ(list_.SelectedPath(), folder_.File("Mill"));
    Press(Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(messages_.Errors,
              QStringList{"Cannot create the folder " + Path("Mill") + ": File exists"});
    list_.SetReadOnly(true);
    list_.ContextMenu().NewFolder->trigger();
    EXPECT_EQ(messages_.Messages, QStringList{"It's ReadOnly! "});
    EXPECT_EQ(desktop_.Asked.size(), 2);

    Select({"O2000.tap"});
    desktop_.Attributes = ItemAttributes{true, true};
    list_.ContextMenu().Attributes->trigger();
    EXPECT_EQ(desktop_.Asked.back(), "Set Attributes O2000.tap");
    EXPECT_EQ(desktop_.ShownAttributes, (ItemAttributes{false, false}));
    EXPECT_FALSE(Exists("O2000.tap"));
    EXPECT_EQ(ReadFile(folder_.File(".O2000.tap")), "%\nO2000\n%\n");
    EXPECT_EQ(list_.SelectedPath(), folder_.File(".O2000.tap"));
    EXPECT_EQ(Item(".O2000.tap")->text(4), "RH");
}

TEST_F(FileListOperationsTest, SendToCopiesToAnyFolderOrPutsNamesOrContentsOnTheClipboard) {
    std::filesystem::create_directory(folder_.File("out"));
    desktop_.SendToFolder = Path("out");
    Select({"O1000.nc", "sub", "O3000"});
    list_.ContextMenu().AnyFolder->trigger();
    EXPECT_EQ(desktop_.Asked, QStringList{"Send to any folder " + Folder()});
    EXPECT_EQ(messages_.Errors, QStringList{FolderError});
    EXPECT_EQ(ReadFile(folder_.File("out/O1000.nc")), "%\nO1000\nG0 X1\n%\n");
    EXPECT_EQ(ReadFile(folder_.File("out/O3000")), "%\nO3000\n%\n");
    EXPECT_TRUE(Exists("O1000.nc"));

    Select({"O1000.nc", "sub"});
    list_.ContextMenu().ClipboardAsFileName->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), Path("sub") + "\n" + Path("O1000.nc"));
    list_.ContextMenu().ClipboardAsContents->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), "%\nO1000\nG0 X1\n%\n");

    QImage picture(3, 2, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(Path("part.png")));
    list_.Refresh();
    Select({"part.png"});
    list_.ContextMenu().ClipboardAsContents->trigger();
    EXPECT_EQ(QApplication::clipboard()->image().size(), QSize(3, 2));
}

TEST_F(FileListOperationsTest, ViewShowsTextAndPicturesInWindowsOfTheirOwn) {
    QImage picture(5, 4, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save(Path("part.bmp")));
    WriteFile(folder_.File("broken.png"), "not a picture");
    WriteFile(folder_.File("O5000.min"), "%\nO5000\n%\n");
    WriteFile(folder_.File("DNC.ini"), "[Okuma]\nDefaultFileFilter=min\n");
    list_.Refresh();

    Select({"O1000.nc"});
    Press(Qt::Key_F, Qt::ControlModifier);
    Select({"O5000.min"});
    list_.ContextMenu().View->trigger();
    Select({"part.bmp"});
    Press(Qt::Key_F, Qt::ControlModifier);
    Select({"broken.png"});
    Press(Qt::Key_F, Qt::ControlModifier);

    QStringList texts;
    for (const TextViewer* viewer : list_.findChildren<TextViewer*>()) {
        texts << viewer->windowTitle() + ": " + viewer->Text();
    }
    texts.sort();
    EXPECT_EQ(texts, (QStringList{Path("O1000.nc") + ": %\nO1000\nG0 X1\n%\n",
                                  Path("O5000.min") + ": %\nO5000\n%\n"}));
    const QList<PictureViewer*> pictures = list_.findChildren<PictureViewer*>();
    ASSERT_EQ(pictures.size(), 1);
    EXPECT_EQ(pictures.front()->PictureSize(), QSize(5, 4));
    EXPECT_EQ(messages_.Errors, QStringList{"ERROR - Can't View file  " + Path("broken.png")});
}

TEST_F(FileListOperationsTest, FindListsMatchesBelowTheFolderAndOpensOneInThePane) {
    std::filesystem::create_directories(folder_.File("sub/deeper"));
    WriteFile(folder_.File("sub/deeper/O1000.tap"), "%\n");
    Press(Qt::Key_F3);
    FindDialog* finder = Operations().Finder();
    ASSERT_NE(finder, nullptr);
    EXPECT_TRUE(finder->isVisible());
    finder->Pattern().setText("O1000*");
    finder->Search();
    QStringList matches;
    for (int row = 0; row < finder->Matches().count(); ++row) {
        matches << finder->Matches().item(row)->text();
    }
    EXPECT_EQ(matches, (QStringList{Path("O1000.nc"), Path("sub/deeper/O1000.tap")}));
    finder->Matches().setCurrentRow(1);
    emit finder->Matches().itemActivated(finder->Matches().item(1));
    EXPECT_EQ(list_.Directory(), Path("sub/deeper/"));
    EXPECT_EQ(list_.SelectedPath(), folder_.File("sub/deeper/O1000.tap"));
}

// Two names that read alike on screen, one of them not UTF-8: renaming and
// deleting act on the row's own file, never on the other.
TEST_F(FileListOperationsTest, ItemsWhoseNamesReadAlikeAreEachTheirOwn) {
    WriteFile(folder_.File("D\xfcse.nc"), "latin-1\n");
    WriteFile(folder_.File("D\xef\xbf\xbdse.nc"), "utf-8\n");
    list_.Refresh();
    const auto selectBytes = [this](const std::string& path) {
        for (int i = 0; i < list_.topLevelItemCount(); ++i) {
            list_.setCurrentItem(list_.topLevelItem(i));
            if (list_.CurrentRow()->Path == path) {
                return true;
            }
        }
        return false;
    };
    ASSERT_TRUE(selectBytes(folder_.File("D\xfcse.nc")));
    Press(Qt::Key_F2);
    auto* editor = list_.findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("Duese.nc"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(editor, &enter);
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(ReadFile(folder_.File("Duese.nc")), "latin-1\n");
    EXPECT_EQ(ReadFile(folder_.File("D\xef\xbf\xbdse.nc")), "utf-8\n");

    const QTemporaryDir data;
    const QByteArray oldData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    ASSERT_TRUE(selectBytes(folder_.File("D\xef\xbf\xbdse.nc")));
    messages_.ConfirmAnswer = true;
    list_.ContextMenu().Delete->trigger();
    qputenv("XDG_DATA_HOME", oldData);
    EXPECT_EQ(ReadFile(folder_.File("Duese.nc")), "latin-1\n");
    EXPECT_FALSE(std::filesystem::exists(folder_.File("D\xef\xbf\xbdse.nc")));
}

} // namespace
} // namespace feedrail
