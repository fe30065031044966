#pragma once

#include "common/widgets/DialogMessages.h"
#include "filelist/FileRow.h"
#include "filelist/FolderListing.h"
#include "filelist/RowOrder.h"
#include "filelist/widgets/DesktopDialogs.h"
#include "filelist/widgets/FileListMenu.h"
#include "filelist/widgets/FileTypes.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace feedrail {

class FileListDesktop;
class FileListOperations;
class UserMessages;

// The file pane's list: the folders and files of one folder, or the drives
// (the mounted file systems; "/" plays the drive root), in five sortable
// columns, with keys and a context menu of file operations. The current
// folder always ends with "/"; "Drives" in any case shows the drives. A
// Changed signal follows every change of its items or its selection.
class TLsFileListView26 : public QTreeWidget {
    Q_OBJECT
public:
    explicit TLsFileListView26(QWidget* parent = nullptr);
    ~TLsFileListView26() override;

    // Shows `folder`, which is not there, as an empty folder: the files of
    // the folder before must not pass for its programs.
    void ShowMissingFolder(const QString& folder);
    QString Directory() const { return directory_; }
    // A folder that does not exist, or the one already shown, leaves the
    // list as it is.
    void SetDirectory(const QString& directory);
    // Each of these refills the list when its value changes.
    QString Mask() const { return mask_; }
    void SetMask(const QString& mask);
    TFileTypes FileType() const { return fileType_; }
    void SetFileType(TFileTypes types);
    bool ShowFolders() const { return showFolders_; }
    void SetShowFolders(bool show);
    // The Modified column's dates: in one of the fixed formats, or, without
    // one (the default), in the user's locale, as the desktop shows them.
    std::optional<TDateFormat> DateFormat() const { return dateFormat_; }
    void SetDateFormat(std::optional<TDateFormat> format);

    bool DblClickEnabled() const { return dblClickEnabled_; }
    void SetDblClickEnabled(bool enabled) { dblClickEnabled_ = enabled; }
    bool PopUpMenuEnabled() const { return popUpMenuEnabled_; }
    void SetPopUpMenuEnabled(bool enabled) { popUpMenuEnabled_ = enabled; }
    // Forbids Rename and New Folder.
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
    bool MultiSelect() const;
    void SetMultiSelect(bool multiSelect);

    // Widths of the columns name, size, type, modified, attributes: 0 hides
    // a column; a shown one is as wide as its content needs, and the name
    // takes the room left.
    void SetColumnWidths(const QList<int>& widths);
    // Where confirmations and failures go; the list's own message boxes
    // until set.
    void SetMessages(UserMessages* messages);
    void SetDesktop(FileListDesktop* desktop);

    // The full path of the row last clicked among the selected ones, as the
    // bytes of its name: a name that is not UTF-8 shows as another.
    std::string SelectedPath() const;
    int SelectedCount() const;
    std::vector<FileRow> SelectedRows() const;
    const FileRow* CurrentRow() const;
    bool InDrivesView() const;
    void SelectPath(const QString& path);

    // Shows a file just made in the folder shown: its row joins the list in
    // its place, without the folder being listed again. A file of another
    // folder changes nothing here.
    void ShowAddedFile(const std::string& path);

    void OneLevelUp();
    // A folder or drive becomes the directory; a file goes to the opener of
    // part programs when it takes it, else to the desktop's program for it.
    void Open();
    // Takes a file that is a part program (and does with it what Get does);
    // whether it did.
    void SetProgramOpener(std::function<bool(const std::string& path)> opener) {
        programOpener_ = std::move(opener);
    }
    // The editor's program, which Compare sets against one file selected.
    void SetEditorText(std::function<std::string()> text) { editorText_ = std::move(text); }
    bool ComparesWithEditor() const { return static_cast<bool>(editorText_); }
    // Compares the two files selected, or the one with the editor's program.
    void Compare();
    void Refresh();
    // As a click on the column's header.
    void SortByColumn(int column);

    // The context menu with its entries enabled for the selection.
    FileListMenu& ContextMenu();
    FileListOperations& Operations() { return *operations_; }
    UserMessages& Messages() const { return *messages_; }
    FileListDesktop& Desktop() const { return *desktop_; }

signals:
    void Changed();

protected:
    // The list's own keys win over the window's shortcuts while it has the
    // focus: Ctrl+F views and F3 finds here, in the editor they find text.
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void ConnectMenu();
    void Fill(const QStringList& keepSelected);
    ListingFilter Filter() const;
    void AddTypeNames();
    void BuildColumns();
    void ShowRows(const QStringList& selected);
    QTreeWidgetItem* NewItem(const FileRow& row, int index);
    QString CellText(const FileRow& row, int column) const;
    QStringList SelectedPaths() const;
    void OpenDrive(const QString& root);
    // A file no part-program opener took: the desktop's program for it.
    void OpenWithDesktop(const std::string& path);
    QAction* MenuKey(const QKeyEvent& event) const;
    bool NavigationKey(const QKeyEvent& event);

    QString directory_;
    QString mask_ = QStringLiteral("*.*");
    TFileTypes fileType_{ftReadOnly, ftHidden, ftSystem, ftArchive};
    bool showFolders_ = true;
    std::optional<TDateFormat> dateFormat_;
    bool dblClickEnabled_ = true;
    bool popUpMenuEnabled_ = true;
    bool readOnly_ = false;
    QList<int> widths_{160, 90, 90, 100, 40};
    std::vector<FileRow> rows_;
    RowOrder order_;
    FileTypes types_;
    DialogMessages ownMessages_;
    DesktopDialogs ownDesktop_;
    UserMessages* messages_;
    FileListDesktop* desktop_;
    std::function<bool(const std::string& path)> programOpener_;
    std::function<std::string()> editorText_;
    FileListMenu menu_;
    std::unique_ptr<FileListOperations> operations_;
};

} // namespace feedrail
