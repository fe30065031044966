#include "filelist/widgets/FileListOperations.h"

#include "common/RegularFile.h"
#include "common/widgets/TextBridge.h"
#include "common/widgets/UserMessages.h"
#include "filelist/FileTransfer.h"
#include "filelist/ItemAttributes.h"
#include "filelist/ItemNames.h"
#include "filelist/OperationError.h"
#include "filelist/Trash.h"
#include "filelist/widgets/FileListDesktop.h"
#include "filelist/widgets/FindDialog.h"
#include "filelist/widgets/PictureViewer.h"
#include "filelist/widgets/TLsFileListView26.h"
#include "filelist/widgets/TextViewer.h"

#include <QAbstractItemDelegate>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

namespace feedrail {
namespace {

QString FromCore(const std::string& text) {
    return QString::fromStdString(text);
}

QStringList FromCore(const std::vector<std::string>& texts) {
    QStringList list;
    for (const std::string& text : texts) {
        list << FromCore(text);
    }
    return list;
}

QString DeleteQuestion(const std::vector<FileRow>& rows) {
    if (rows.size() == 1) {
        return QStringLiteral("Move ") + DisplayPath(rows.front().Path) +
               QStringLiteral(" to the trash?");
    }
    QString question = QStringLiteral("Move these %1 items to the trash?").arg(rows.size());
    for (const FileRow& row : rows) {
        question += QLatin1Char('\n') + DisplayPath(row.Path);
    }
    return question;
}

} // namespace

FileListOperations::FileListOperations(TLsFileListView26& list, std::string profilePath)
    : list_(list), viewKinds_(std::move(profilePath)) {
    QObject::connect(&list_, &QTreeWidget::itemChanged, &list_,
                     [this](QTreeWidgetItem* item, int column) { EditEnded(item, column); });
    // An edit that ends without a new name changes no item; one with a new
    // name has changed it before the editor closes.
    QObject::connect(list_.itemDelegate(), &QAbstractItemDelegate::closeEditor, &list_,
                     [this] { renaming_.clear(); });
}

MenuState FileListOperations::State() const {
    MenuState state;
    state.DrivesView = list_.InDrivesView();
    const std::vector<FileRow> rows = list_.SelectedRows();
    state.Selected = !rows.empty();
    state.ItemsSelected = state.Selected && !state.DrivesView;
    state.OneItemSelected = state.ItemsSelected && rows.size() == 1;
    const FileRow* current = list_.CurrentRow();
    state.FileCurrent = current != nullptr && current->Kind == RowKind::File;
    state.Viewable = state.FileCurrent && viewKinds_.KindOf(current->Path) != ViewKind::None;
    state.PasteReady = !remembered_.Empty();
    const auto files = std::count_if(rows.begin(), rows.end(),
                                     [](const FileRow& row) { return row.Kind == RowKind::File; });
    state.Comparable = files == 2 || (files == 1 && list_.ComparesWithEditor());
    return state;
}

// By the row's own bytes, as every operation on an item.
void FileListOperations::View() {
    const FileRow* row = list_.CurrentRow();
    if (row == nullptr) {
        return;
    }
    const QString path = DisplayPath(row->Path);
    bool shown = true;
    switch (viewKinds_.KindOf(row->Path)) {
    case ViewKind::Text:
        shown = TextViewer::Show(row->Path, &list_);
        break;
    case ViewKind::Picture:
        shown = PictureViewer::Show(row->Path, &list_);
        break;
    case ViewKind::Document:
        shown = list_.Desktop().OpenWithDesktop(path);
        break;
    case ViewKind::None:
        break;
    }
    if (!shown) {
        list_.Messages().ShowError(QStringLiteral("ERROR - Can't View file  ") + path);
    }
}

void FileListOperations::Cut() {
    Remember(PasteMode::Move);
}

void FileListOperations::Copy() {
    Remember(PasteMode::Copy);
}

void FileListOperations::Paste() {
    if (remembered_.Empty()) {
        list_.Messages().ShowMessage(QStringLiteral("No file(s) selected"));
        return;
    }
    const std::vector<std::string> paths = remembered_.Paths();
    const PasteMode mode = remembered_.Mode();
    remembered_.Forget();
    Transfer(paths, list_.Directory(), mode);
}

void FileListOperations::Delete() {
    deleteGate_([this] { DeleteSelected(); });
}

void FileListOperations::DeleteSelected() {
    const std::vector<FileRow> rows = list_.SelectedRows();
    if (rows.empty() || !list_.Messages().Confirm(DeleteQuestion(rows))) {
        return;
    }
    QStringList failures;
    for (const FileRow& row : rows) {
        if (const QString failure = Trash(row.Path); !failure.isEmpty()) {
            failures << failure;
        }
    }
    list_.Refresh();
    ShowFailures(failures);
}

// By the item's own bytes: a name that is not UTF-8 must not decode and
// encode again into another file's name. An item on another file system (a
// USB stick) goes to that file system's own trash, as the desktop's does.
QString FileListOperations::Trash(const std::string& path) {
    const std::string trash = HomeTrashFolder();
    struct stat item {};
    struct stat home {};
    const bool elsewhere = ::lstat(path.c_str(), &item) == 0 &&
                           ::stat(std::filesystem::path(trash).parent_path().c_str(), &home) == 0 &&
                           item.st_dev != home.st_dev;
    if (elsewhere && LocalPath(DisplayPath(path)) == path) {
        QFile file(DisplayPath(path));
        return file.moveToTrash() ? QString()
                                  : QStringLiteral("Cannot move ") + DisplayPath(path) +
                                        QStringLiteral(" to the trash: ") + file.errorString();
    }
    return FromCore(MoveToTrash(path, trash, std::chrono::system_clock::now()));
}

void FileListOperations::Rename() {
    QTreeWidgetItem* item = list_.currentItem();
    const FileRow* row = list_.CurrentRow();
    if (item == nullptr || row == nullptr || !item->isSelected()) {
        return;
    }
    if (list_.ReadOnly() || row->Attributes == "R") {
        list_.Messages().ShowMessage(QStringLiteral("It's ReadOnly"));
        return;
    }
    renaming_ = row->Path;
    list_.editItem(item, 0);
}

void FileListOperations::NewFolder() {
    if (list_.ReadOnly()) {
        list_.Messages().ShowMessage(QStringLiteral("It's ReadOnly! "));
        return;
    }
    // The dialog lets other work run, which may move the list elsewhere.
    const std::string folder = LocalPath(list_.Directory());
    const std::optional<QString> name = list_.Desktop().AskNewFolderName();
    if (!name || name->isEmpty()) {
        return;
    }
    const std::string failure = CreateFolder(folder, LocalPath(*name));
    Refill(DisplayPath(PathIn(folder, LocalPath(*name))));
    ShowFailures(failure.empty() ? QStringList() : QStringList{FromCore(failure)});
}

void FileListOperations::Attributes() {
    const FileRow* current = list_.CurrentRow();
    if (current == nullptr || current->Kind == RowKind::Drive) {
        return;
    }
    // A copy: the list may refill while the dialog is open.
    const FileRow row = *current;
    const ItemAttributes attributes = ReadItemAttributes(row.Path);
    const std::optional<ItemAttributes> wanted =
        list_.Desktop().AskAttributes(DisplayPath(row.Caption), attributes);
    if (!wanted || *wanted == attributes) {
        return;
    }
    const AttributeChange change = ChangeAttributes(row.Path, *wanted);
    Refill(DisplayPath(change.Path));
    ShowFailures(change.Error.empty() ? QStringList() : QStringList{FromCore(change.Error)});
}

void FileListOperations::SendToAnyFolder() {
    const std::vector<FileRow> selected = list_.SelectedRows();
    const std::optional<QString> folder = list_.Desktop().AskSendToFolder(list_.Directory());
    if (!folder || folder->isEmpty()) {
        return;
    }
    RememberedFiles files;
    const std::string folderError = files.Remember(selected, PasteMode::Copy);
    if (!folderError.empty()) {
        list_.Messages().ShowError(FromCore(folderError));
    }
    Transfer(files.Paths(), *folder, PasteMode::Copy);
}

void FileListOperations::ClipboardAsContents() {
    const FileRow* row = list_.CurrentRow();
    if (row == nullptr) {
        return;
    }
    const RegularFileRead file = ReadRegularFile(row->Path);
    if (file.outcome != RegularFileRead::Read) {
        ShowFailures({FromCore(OperationError("read", row->Path, file.error))});
        return;
    }
    if (viewKinds_.KindOf(row->Path) == ViewKind::Picture) {
        const QImage picture = QImage::fromData(QByteArray::fromStdString(file.content));
        if (picture.isNull()) {
            ShowFailures({QStringLiteral("Cannot read ") + DisplayPath(row->Path) +
                          QStringLiteral(": not a picture it knows")});
            return;
        }
        QApplication::clipboard()->setImage(picture);
        return;
    }
    QApplication::clipboard()->setText(BytesText(file.content));
}

void FileListOperations::ClipboardAsFileName() {
    QStringList paths;
    for (const FileRow& row : list_.SelectedRows()) {
        paths << DisplayPath(row.Path);
    }
    QApplication::clipboard()->setText(paths.join(QLatin1Char('\n')));
}

void FileListOperations::Find() {
    if (list_.InDrivesView()) {
        return;
    }
    if (finder_ == nullptr) {
        finder_ = new FindDialog(&list_);
        QObject::connect(finder_, &FindDialog::OpenMatch, &list_,
                         [this](const QString& path) { OpenMatch(path); });
    }
    finder_->SetFolder(list_.Directory());
    finder_->show();
    finder_->raise();
    finder_->activateWindow();
}

// The new name is taken after the edit has closed: renaming refills the
// list, and the edited item must outlive its editor.
void FileListOperations::EditEnded(QTreeWidgetItem* item, int column) {
    if (renaming_.empty() || column != 0) {
        return;
    }
    const std::string oldPath = std::exchange(renaming_, std::string());
    const QString newName = item->text(0);
    QTimer::singleShot(0, &list_, [this, oldPath, newName] { FinishRename(oldPath, newName); });
}

void FileListOperations::FinishRename(const std::string& oldPath, const QString& newName) {
    const std::string failure = RenameItem(oldPath, LocalPath(newName));
    const QString renamed = QFileInfo(DisplayPath(oldPath)).dir().filePath(newName);
    list_.Refresh();
    list_.SelectPath(failure.empty() ? renamed : DisplayPath(oldPath));
    ShowFailures(failure.empty() ? QStringList() : QStringList{FromCore(failure)});
}

void FileListOperations::Remember(PasteMode mode) {
    const std::string error = remembered_.Remember(list_.SelectedRows(), mode);
    if (!error.empty()) {
        list_.Messages().ShowError(FromCore(error));
    }
}

void FileListOperations::Transfer(const std::vector<std::string>& paths, const QString& folder,
                                  PasteMode mode) {
    const FileTransfer transfer([this](const std::string& target) {
        return list_.Messages().Confirm(DisplayPath(target) +
                                        QStringLiteral(" already exists. Replace it?"));
    });
    const QStringList failures = FromCore(transfer.Transfer(paths, LocalPath(folder), mode));
    list_.Refresh();
    ShowFailures(failures);
}

void FileListOperations::ShowFailures(const QStringList& failures) {
    if (!failures.isEmpty()) {
        list_.Messages().ShowError(failures.join(QLatin1Char('\n')));
    }
}

void FileListOperations::Refill(const QString& select) {
    list_.Refresh();
    list_.SelectPath(select);
}

void FileListOperations::OpenMatch(const QString& path) {
    list_.SetDirectory(QFileInfo(path).absolutePath());
    list_.SelectPath(path);
}

} // namespace feedrail
