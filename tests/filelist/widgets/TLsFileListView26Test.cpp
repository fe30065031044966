#include "filelist/widgets/TLsFileListView26.h"

#include "compare/widgets/CompareDialog.h"
#include "filelist/DateText.h"
#include "filelist/widgets/FileListFixture.h"
#include "filelist/widgets/FileListMenu.h"
#include "support/widgets/PumpEvents.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLocale>
#include <QMenu>
#include <QTimer>
#include <ctime>
#include <memory>
#include <sys/stat.h>
#include <utime.h>

namespace feedrail {
namespace {

using test::FileListFixture;
using test::PumpUntil;
using test::Q;
using test::WriteFile;

class TLsFileListView26Test : public FileListFixture {};

QStringList HeaderLabels(const QTreeWidget& list) {
    QStringList labels;
    for (int column = 0; column < list.columnCount(); ++column) {
        labels << list.headerItem()->text(column);
    }
    return labels;
}

TEST_F(TLsFileListView26Test, AFolderListsItsFoldersFirstThenItsFilesByName) {
    EXPECT_EQ(list_.Directory(), Folder());
    EXPECT_EQ(Captions(), (QStringList{"sub", "notes.txt", "O1000.nc", "O2000.tap", "O3000"}));
    EXPECT_EQ(HeaderLabels(list_),
              (QStringList{"Name", "Size(Bytes)", "Type", "Modified", "Attributes"}));
    EXPECT_EQ(list_.SelectedCount(), 0) << "a fill selects nothing";
    EXPECT_EQ(list_.currentItem(), list_.topLevelItem(0));
    const QTreeWidgetItem& program = *Item("O1000.nc");
    EXPECT_EQ(program.text(1), "16");
    EXPECT_EQ(program.textAlignment(1) & Qt::AlignRight, Qt::AlignRight);
    EXPECT_EQ(program.text(4), "");
    EXPECT_FALSE(program.icon(0).isNull());
    for (const QString& name : Captions()) {
        EXPECT_FALSE(Item(name)->text(2).isEmpty()) << name.toStdString();
    }
    // A type the desktop does not know is named after the extension.
    WriteFile(folder_.File("data.qq7"), std::string("\0\1\2", 3));
    WriteFile(folder_.File("blob"), std::string("\0\1\2", 3));
    // The type is the extension's: a name the desktop knows whole is no
    // type for the other names without an extension.
    WriteFile(folder_.File("README"), "read me\n");
    list_.Refresh();
    EXPECT_EQ(Item("data.qq7")->text(2), "QQ7 File");
    for (const char* name : {"blob", "README", "O3000"}) {
        EXPECT_EQ(Item(name)->text(2), "File") << name;
    }
}

TEST_F(TLsFileListView26Test, TheKeysNavigateOpenAndRefresh) {
    const struct {
        QString from;
        QString select;
        int key;
        QString to;
    } cases[] = {
        {Folder(), "sub", Qt::Key_Return, Path("sub/")},
        {Path("sub/"), "", Qt::Key_Backspace, Folder()},
        {"/", "", Qt::Key_Backspace, "Drives"},
        {"Drives", "", Qt::Key_Backspace, "Drives"},
        {"Drives", " (/)  ", Qt::Key_Enter, "/"},
        {Folder(), "O1000.nc", Qt::Key_Down, Folder()},
    };
    for (const auto& c : cases) {
        list_.SetDirectory(c.from);
        const auto found = list_.findItems(c.select, Qt::MatchStartsWith);
        if (!c.select.isEmpty() && !found.isEmpty()) {
            list_.setCurrentItem(found.front());
        }
        Press(c.key);
        EXPECT_EQ(list_.Directory(), c.to) << c.from.toStdString() << " " << c.key;
    }
    EXPECT_EQ(list_.SelectedPath(), folder_.File("O2000.tap")) << "Down moves the selection";

    Select({"O1000.nc"});
    Press(Qt::Key_Return);
    desktop_.OpenAnswer = false;
    Press(Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(desktop_.Opened, (QStringList{Path("O1000.nc"), Path("O1000.nc")}));
    EXPECT_EQ(messages_.Errors, QStringList{"ERROR - Can't Open file  " + Path("O1000.nc") +
                                            ": no program is set to open it"});

    WriteFile(folder_.File("O4000.nc"), "%\n");
    EXPECT_EQ(Item("O4000.nc"), nullptr);
    Press(Qt::Key_F5);
    EXPECT_NE(Item("O4000.nc"), nullptr);
    EXPECT_EQ(list_.SelectedPath(), folder_.File("O1000.nc")) << "a refresh keeps the selection";
}

// A file the desktop cannot open says why; one that is no regular file or
// cannot be read is not handed to the desktop at all.
TEST_F(TLsFileListView26Test, AFileThatCannotBeOpenedSaysWhy) {
    ASSERT_EQ(::mkfifo(folder_.File("pipe.txt").c_str(), 0644), 0);
    std::filesystem::create_symlink(folder_.File("gone.txt"), folder_.File("link.txt"));
    list_.Refresh();
    const struct {
        const char* name;
        bool desktopOpens;
        QString why;
        bool handedOn;
    } cases[] = {
        {"notes.txt", false, "no program is set to open it", true},
        {"pipe.txt", true, "it is no file but a device, pipe or socket", false},
        {"link.txt", true, "No such file or directory", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        messages_.Errors.clear();
        desktop_.Opened.clear();
        desktop_.OpenAnswer = c.desktopOpens;
        Select({c.name});
        Press(Qt::Key_Return);
        EXPECT_EQ(messages_.Errors,
                  QStringList{"ERROR - Can't Open file  " + Path(c.name) + ": " + c.why});
        EXPECT_EQ(desktop_.Opened.size(), c.handedOn ? 1 : 0);
    }
}

TEST_F(TLsFileListView26Test, DirectoryValuesThatAreNoFolderOrTheSameLeaveTheList) {
    int changes = 0;
    QObject::connect(&list_, &TLsFileListView26::Changed, [&changes] { ++changes; });
    for (const QString& value :
         {Path("gone"), Path("O1000.nc"), QString(), Folder(), Q(folder_.Path() + "/sub/..")}) {
        list_.SetDirectory(value);
    }
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(list_.Directory(), Folder());
    list_.SetDirectory(Q(folder_.Path()));
    EXPECT_EQ(changes, 0) << "the same folder without its slash";
    std::filesystem::create_directory(folder_.File("Sub"));
    list_.SetDirectory(Path("Sub"));
    EXPECT_EQ(list_.Directory(), Path("Sub/")) << "folder names are case-sensitive";
    EXPECT_GE(changes, 1);
}

TEST_F(TLsFileListView26Test, TheContextMenuHoldsItsEntriesInOrder) {
    QStringList entries;
    for (const QAction* action : list_.ContextMenu().Menu->actions()) {
        entries << action->text();
    }
    EXPECT_EQ(entries, (QStringList{"&Open", "&View", "Co&mpare", "", "Se&nd To", "", "Cu&t",
                                    "&Copy", "&Paste", "", "&Rename", "&Delete", "",
                                    "&Attributes ...", "", "&New Folder ..."}));
    QStringList sendTo;
    for (const QAction* action : list_.ContextMenu().SendTo->actions()) {
        sendTo << action->text();
    }
    EXPECT_EQ(sendTo,
              (QStringList{"Any Folder ...", "Clipboard as Contents", "Clipboard as FileName"}));
}

TEST_F(TLsFileListView26Test, MenuEntriesAreEnabledForWhatIsSelected) {
    // One letter per entry: Open, View, Compare, Send To, Any Folder, Clipboard as
    // Contents, Clipboard as FileName, Cut, Copy, Paste, Rename, Delete,
    // Attributes, New Folder; 1 enabled, 0 disabled.
    const struct {
        QString directory;
        QStringList selected;
        bool copiedFirst;
        const char* enabled;
    } cases[] = {
        {Folder(), {}, false, "00000000000001"},
        {Folder(), {"O1000.nc"}, false, "11011111101111"},
        {Folder(), {"O3000"}, false, "10011111101111"},
        {Folder(), {"notes.txt"}, true, "11011111111111"},
        {Folder(), {"sub"}, false, "10011011101111"},
        {Folder(), {"O1000.nc", "O2000.tap"}, false, "11111111100111"},
        {Folder(), {}, true, "00000000010001"},
        {"Drives", {" (/)  "}, false, "10010010000000"},
        {"Drives", {}, true, "00000000000000"},
    };
    for (const auto& c : cases) {
        TLsFileListView26 list;
        list.SetMessages(&messages_);
        list.SetDirectory(Folder());
        if (c.copiedFirst) {
            list.setCurrentItem(list.findItems("O2000.tap", Qt::MatchExactly).front());
            list.Operations().Copy();
        }
        list.SetDirectory(c.directory);
        list.clearSelection();
        for (const QString& caption : c.selected) {
            QTreeWidgetItem* item = list.findItems(caption, Qt::MatchStartsWith).front();
            if (caption == c.selected.front()) {
                list.setCurrentItem(item);
            }
            item->setSelected(true);
        }
        const FileListMenu& menu = list.ContextMenu();
        std::string enabled;
        for (const QAction* entry :
             {menu.Open, menu.View, menu.Compare, menu.SendTo->menuAction(), menu.AnyFolder,
              menu.ClipboardAsContents, menu.ClipboardAsFileName, menu.Cut, menu.Copy, menu.Paste,
              menu.Rename, menu.Delete, menu.Attributes, menu.NewFolder}) {
            enabled += entry->isEnabled() ? '1' : '0';
        }
        EXPECT_EQ(enabled, c.enabled)
            << c.directory.toStdString() << " " << c.selected.join(',').toStdString();
    }
}

// Compare takes two programs selected, or one against the editor's program.
TEST_F(TLsFileListView26Test, CompareOpensTwoProgramsOrOneAgainstTheEditor) {
    list_.SetEditorText([] { return std::string("%\nO1000\nG0 X2\n%\n"); });
    const struct {
        QStringList selected;
        const char* title;
        const char* summary;
    } cases[] = {
        {{"O1000.nc", "O3000"}, "Compare O1000.nc with O3000", "2 lines differ"},
        {{"O1000.nc"}, "Compare O1000.nc with the editor", "1 line differs"},
    };
    for (const auto& c : cases) {
        Select(c.selected);
        ASSERT_TRUE(list_.ContextMenu().Compare->isEnabled());
        list_.ContextMenu().Compare->trigger();
        const QList<CompareDialog*> opened = list_.findChildren<CompareDialog*>();
        ASSERT_EQ(opened.size(), 1);
        std::unique_ptr<CompareDialog> dialog(opened.front());
        EXPECT_EQ(dialog->windowTitle().toStdString(), c.title);
        EXPECT_TRUE(PumpUntil([&] { return dialog->Summary() == c.summary; }, 10000))
            << dialog->Summary().toStdString();
    }
}

TEST_F(TLsFileListView26Test, KeysOfDisabledEntriesDoNothing) {
    list_.clearSelection();
    for (const int key : {Qt::Key_Delete, Qt::Key_F2}) {
        Press(key);
    }
    for (const int key : {Qt::Key_C, Qt::Key_X, Qt::Key_V, Qt::Key_F}) {
        Press(key, Qt::ControlModifier);
    }
    list_.SetDirectory("Drives");
    list_.setCurrentItem(list_.topLevelItem(0));
    Press(Qt::Key_N, Qt::ControlModifier);
    Press(Qt::Key_Delete);
    Press(Qt::Key_F3);
    EXPECT_EQ(messages_.Messages, QStringList());
    EXPECT_EQ(messages_.Errors, QStringList());
    EXPECT_EQ(messages_.Questions, QStringList());
    EXPECT_EQ(desktop_.Asked, QStringList());
    EXPECT_EQ(list_.Operations().Finder(), nullptr);
    list_.SetDirectory(Folder());
    Press(Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(desktop_.Asked, QStringList{"Add New Folder"});
}

TEST_F(TLsFileListView26Test, HeaderClicksSortAndTheSameColumnAgainReverses) {
    WriteFile(folder_.File("big.nc"), std::string(5000, 'x'));
    list_.Refresh();
    const QStringList byName = {"sub", "big.nc", "notes.txt", "O1000.nc", "O2000.tap", "O3000"};
    EXPECT_EQ(Captions(), byName);
    Select({"O2000.tap"});
    list_.header()->sectionClicked(1);
    EXPECT_EQ(Captions(),
              (QStringList{"big.nc", "O1000.nc", "O3000", "O2000.tap", "notes.txt", "sub"}));
    EXPECT_EQ(list_.header()->sortIndicatorOrder(), Qt::DescendingOrder);
    list_.header()->sectionClicked(1);
    EXPECT_EQ(Captions(),
              (QStringList{"sub", "notes.txt", "O2000.tap", "O3000", "O1000.nc", "big.nc"}));
    EXPECT_EQ(list_.SelectedPath(), folder_.File("O2000.tap")) << "sorting keeps the selection";
    list_.Refresh();
    EXPECT_EQ(Captions(), byName) << "a fill sorts by name again";
}

// A program filed into the shown folder joins the list in the order shown,
// without the folder being listed again.
TEST_F(TLsFileListView26Test, AnAddedFileJoinsTheShownFolderInItsPlace) {
    Select({"O2000.tap"});
    list_.header()->sectionClicked(1);
    WriteFile(folder_.File("O1500.nc"), "%\nO1500\n%\n");
    WriteFile(folder_.File("unannounced.nc"), "%\n");
    WriteFile(folder_.File("sub/O7.nc"), "%\n");
    list_.ShowAddedFile(folder_.File("sub/O7.nc"));
    list_.ShowAddedFile(folder_.File("O1500.nc"));
    EXPECT_EQ(Captions(),
              (QStringList{"O1000.nc", "O3000", "O2000.tap", "O1500.nc", "notes.txt", "sub"}))
        << "by size, descending, as sorted";
    EXPECT_EQ(list_.SelectedPath(), folder_.File("O2000.tap"));
    list_.setCurrentItem(Item("O1500.nc"));
    EXPECT_EQ(list_.CurrentRow()->Path, folder_.File("O1500.nc"));
    EXPECT_EQ(Item("O1500.nc")->text(1), "10");

    list_.SetMask(QStringLiteral("*.tap"));
    WriteFile(folder_.File("O1600.nc"), "%\n");
    list_.ShowAddedFile(folder_.File("O1600.nc"));
    EXPECT_EQ(Captions(), (QStringList{"sub", "O2000.tap"})) << "the mask lets it in";
}

// Without a format of its own the list shows dates as the desktop does.
TEST_F(TLsFileListView26Test, DatesFollowTheUsersLocaleUntilAFormatIsSet) {
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 2;
    local.tm_mday = 4;
    local.tm_hour = 17;
    local.tm_min = 6;
    local.tm_isdst = -1;
    const std::time_t modified = std::mktime(&local);
    const utimbuf times{modified, modified};
    ASSERT_EQ(::utime(folder_.File("O1000.nc").c_str(), &times), 0);
    const QLocale before;
    const struct {
        QLocale locale;
        QString shown;
    } cases[] = {
        {QLocale(QLocale::German, QLocale::Germany), "04.03.26 17:06"},
        {QLocale(QLocale::English, QLocale::UnitedKingdom), "04/03/2026 17:06"},
        {QLocale(QLocale::Swedish, QLocale::Sweden), "2026-03-04 17:06"},
    };
    for (const auto& c : cases) {
        QLocale::setDefault(c.locale);
        list_.Refresh();
        EXPECT_EQ(Item("O1000.nc")->text(3), c.shown) << c.locale.name().toStdString();
    }
    list_.SetDateFormat(dfDMY);
    EXPECT_EQ(Item("O1000.nc")->text(3), "04/03/2026 17:06") << "a set format wins";
    QLocale::setDefault(before);
}

TEST_F(TLsFileListView26Test, PropertiesRefillTheListWhenTheyChange) {
    // The files were written just now.
    for (const TDateFormat format : {dfYMD, dfDMY, dfMDY}) {
        list_.SetDateFormat(format);
        EXPECT_EQ(Item("O1000.nc")->text(3).left(10),
                  Q(DateText(std::time(nullptr), format)).left(10));
        EXPECT_EQ(Item("O1000.nc")->text(3).size(), 16);
    }
    EXPECT_EQ(list_.DateFormat(), dfMDY);
    list_.SetMask("*.nc;*.TAP");
    EXPECT_EQ(list_.Mask(), "*.nc;*.TAP");
    EXPECT_EQ(Captions(), (QStringList{"sub", "O1000.nc", "O2000.tap"}));
    list_.SetShowFolders(false);
    EXPECT_FALSE(list_.ShowFolders());
    EXPECT_EQ(Captions(), (QStringList{"O1000.nc", "O2000.tap"}));
    WriteFile(folder_.File(".hidden.nc"), "%\n");
    list_.SetFileType({ftReadOnly});
    EXPECT_EQ(Captions(), (QStringList{"O1000.nc", "O2000.tap"}));
    list_.SetFileType({ftReadOnly, ftHidden});
    EXPECT_EQ(list_.FileType(), (TFileTypes{ftReadOnly, ftHidden}));
    EXPECT_EQ(Captions(), (QStringList{".hidden.nc", "O1000.nc", "O2000.tap"}));
    EXPECT_EQ(Item(".hidden.nc")->text(4), "H");
    list_.SetMask("*.*");
    EXPECT_EQ(Captions().size(), 5);
}

TEST_F(TLsFileListView26Test, TheDrivesViewShowsMountedFileSystemsInItsOwnColumns) {
    list_.SetColumnWidths({240, 0, 0, 100, 0});
    list_.SetDirectory("dRIVES");
    EXPECT_EQ(list_.Directory(), "Drives");
    EXPECT_EQ(HeaderLabels(list_),
              (QStringList{"Name", "Type", "Disk Size", "Free Space", "Attributes"}));
    QTreeWidgetItem* root = list_.findItems(" (/)  ", Qt::MatchStartsWith).value(0);
    ASSERT_NE(root, nullptr);
    EXPECT_FALSE(root->text(1).isEmpty());
    EXPECT_TRUE(root->text(2).endsWith(" Mb"));
    EXPECT_EQ(list_.findItems("(/proc)", Qt::MatchContains), QList<QTreeWidgetItem*>());
    EXPECT_EQ(list_.findItems("(/sys)", Qt::MatchContains), QList<QTreeWidgetItem*>());
    // The drive type takes the modified column's width, the sizes those of
    // size and type.
    const std::vector<bool> hidden = {false, false, true, true, true};
    for (int column = 0; column < 5; ++column) {
        EXPECT_EQ(list_.isColumnHidden(column), hidden[static_cast<std::size_t>(column)]) << column;
    }
    list_.setCurrentItem(root);
    EXPECT_EQ(list_.SelectedPath(), "/");
    list_.SetDirectory(Folder());
    EXPECT_FALSE(list_.isColumnHidden(3));
    EXPECT_TRUE(list_.isColumnHidden(1));
}

TEST_F(TLsFileListView26Test, DoubleClickAndTheMenuFollowTheirSwitches) {
    // A double-click selects the row it opens.
    list_.setCurrentItem(Item("sub"));
    list_.SetDblClickEnabled(false);
    EXPECT_FALSE(list_.DblClickEnabled());
    list_.itemDoubleClicked(Item("sub"), 0);
    EXPECT_EQ(list_.Directory(), Folder());
    list_.SetDblClickEnabled(true);
    list_.itemDoubleClicked(Item("sub"), 0);
    EXPECT_EQ(list_.Directory(), Path("sub/"));

    const QPoint mouse = list_.viewport()->mapToGlobal(QPoint(20, 20));
    list_.SetPopUpMenuEnabled(false);
    EXPECT_FALSE(list_.PopUpMenuEnabled());
    QContextMenuEvent off(QContextMenuEvent::Mouse, QPoint(20, 20), mouse);
    QApplication::sendEvent(list_.viewport(), &off);
    EXPECT_FALSE(off.isAccepted());
    list_.SetPopUpMenuEnabled(true);
    QPoint shown;
    QTimer::singleShot(0, &list_, [this, &shown] {
        shown = list_.ContextMenu().Menu->pos();
        list_.ContextMenu().Menu->close();
    });
    QContextMenuEvent on(QContextMenuEvent::Mouse, QPoint(20, 20), mouse);
    QApplication::sendEvent(list_.viewport(), &on);
    EXPECT_EQ(shown, mouse + QPoint(10, 10)) << "the menu opens right of and below the mouse";

    EXPECT_TRUE(list_.MultiSelect());
    list_.SetMultiSelect(false);
    EXPECT_FALSE(list_.MultiSelect());
    EXPECT_EQ(list_.selectionMode(), QAbstractItemView::SingleSelection);
}

} // namespace
} // namespace feedrail
