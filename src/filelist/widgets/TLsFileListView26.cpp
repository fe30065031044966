#include "filelist/widgets/TLsFileListView26.h"

#include "common/ProgramDirectory.h"
#include "common/widgets/BusyCursor.h"
#include "common/widgets/TextBridge.h"
#include "compare/widgets/CompareDialog.h"
#include "filelist/FolderListing.h"
#include "filelist/FolderPath.h"
#include "filelist/widgets/FileListOperations.h"
#include "filelist/widgets/MountedDrives.h"
#include "profiles/ProfileFile.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace feedrail {
namespace {

constexpr int PathRole = Qt::UserRole;
constexpr int RowRole = Qt::UserRole + 1;
constexpr int ColumnCount = 5;
constexpr int ModifiedColumn = 3;

const char* const FolderHeaders[ColumnCount] = {"Name", "Size(Bytes)", "Type", "Modified",
                                                "Attributes"};
const char* const DriveHeaders[ColumnCount] = {"Name", "Type", "Disk Size", "Free Space",
                                               "Attributes"};
// Which of the five stored widths each column of a view takes.
constexpr int FolderWidthSlots[ColumnCount] = {0, 1, 2, 3, 4};
constexpr int DriveWidthSlots[ColumnCount] = {0, 3, 1, 2, 4};

// Why the desktop would get nothing it can open: a name that is gone or
// cannot be read, or no file at all; empty for a readable regular file.
QString WhyNoFileToOpen(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return SystemReason(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return QStringLiteral("it is no file but a device, pipe or socket");
    }
    if (::access(path.c_str(), R_OK) != 0) {
        return SystemReason(errno);
    }
    return {};
}

QString DrivesText() {
    return QString::fromLatin1(DrivesView.data(), static_cast<qsizetype>(DrivesView.size()));
}

QString WithSlash(QString folder) {
    if (!folder.endsWith(QLatin1Char('/'))) {
        folder += QLatin1Char('/');
    }
    return folder;
}

bool RightAligned(bool drives, int column) {
    return drives ? (column == 2 || column == 3) : column == 1;
}

Qt::Alignment ColumnAlignment(bool drives, int column) {
    return (RightAligned(drives, column) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

} // namespace

TLsFileListView26::TLsFileListView26(QWidget* parent)
    : QTreeWidget(parent), ownDesktop_(this), messages_(&ownMessages_), desktop_(&ownDesktop_),
      menu_(this), operations_(std::make_unique<FileListOperations>(
                       *this, ProgramDirectory() + std::string(ProfileFile::FileName))) {
    ownMessages_.SetParent(this);
    setRootIsDecorated(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAllColumnsShowFocus(true);
    SetMultiSelect(true);
    setColumnCount(ColumnCount);
    header()->setStretchLastSection(false);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(true);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setSectionResizeMode(RowOrder::NameColumn, QHeaderView::Stretch);
    connect(header(), &QHeaderView::sectionClicked, this, &TLsFileListView26::SortByColumn);
    connect(this, &QTreeWidget::itemSelectionChanged, this, &TLsFileListView26::Changed);
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (dblClickEnabled_) {
            Open();
        }
    });
    ConnectMenu();
    // Until a folder is set, the list shows the drives.
    SetDirectory(DrivesText());
}

TLsFileListView26::~TLsFileListView26() = default;

void TLsFileListView26::ConnectMenu() {
    FileListOperations& operations = *operations_;
    const auto bind = [this](QAction* action, auto handler) {
        connect(action, &QAction::triggered, this, handler);
    };
    bind(menu_.Open, [this] { Open(); });
    bind(menu_.View, [&operations] { operations.View(); });
    bind(menu_.Compare, [this] { Compare(); });
    bind(menu_.AnyFolder, [&operations] { operations.SendToAnyFolder(); });
    bind(menu_.ClipboardAsContents, [&operations] { operations.ClipboardAsContents(); });
    bind(menu_.ClipboardAsFileName, [&operations] { operations.ClipboardAsFileName(); });
    bind(menu_.Cut, [&operations] { operations.Cut(); });
    bind(menu_.Copy, [&operations] { operations.Copy(); });
    bind(menu_.Paste, [&operations] { operations.Paste(); });
    bind(menu_.Rename, [&operations] { operations.Rename(); });
    bind(menu_.Delete, [&operations] { operations.Delete(); });
    bind(menu_.Attributes, [&operations] { operations.Attributes(); });
    bind(menu_.NewFolder, [&operations] { operations.NewFolder(); });
}

void TLsFileListView26::SetDirectory(const QString& directory) {
    if (IsDrivesView(LocalPath(directory))) {
        if (!InDrivesView()) {
            directory_ = DrivesText();
            Fill({});
        }
        return;
    }
    const QFileInfo info(directory);
    if (directory.isEmpty() || !info.isDir()) {
        return;
    }
    // Linux folder names are case-sensitive: only the same text is the same
    // folder.
    const QString folder = WithSlash(QDir::cleanPath(info.absoluteFilePath()));
    if (folder != directory_) {
        directory_ = folder;
        Fill({});
    }
}

void TLsFileListView26::ShowMissingFolder(const QString& folder) {
    directory_ = WithSlash(QDir::cleanPath(folder));
    Fill({});
}

void TLsFileListView26::SetMask(const QString& mask) {
    if (mask != mask_) {
        mask_ = mask;
        Refresh();
    }
}

void TLsFileListView26::SetFileType(TFileTypes types) {
    if (!(types == fileType_)) {
        fileType_ = types;
        Refresh();
    }
}

void TLsFileListView26::SetShowFolders(bool show) {
    if (show != showFolders_) {
        showFolders_ = show;
        Refresh();
    }
}

void TLsFileListView26::SetDateFormat(std::optional<TDateFormat> format) {
    if (format != dateFormat_) {
        dateFormat_ = format;
        Refresh();
    }
}

bool TLsFileListView26::MultiSelect() const {
    return selectionMode() == QAbstractItemView::ExtendedSelection;
}

void TLsFileListView26::SetMultiSelect(bool multiSelect) {
    setSelectionMode(multiSelect ? QAbstractItemView::ExtendedSelection
                                 : QAbstractItemView::SingleSelection);
}

void TLsFileListView26::SetColumnWidths(const QList<int>& widths) {
    for (int slot = 0; slot < widths.size() && slot < ColumnCount; ++slot) {
        widths_[slot] = widths[slot];
    }
    BuildColumns();
}

void TLsFileListView26::SetMessages(UserMessages* messages) {
    messages_ = messages != nullptr ? messages : &ownMessages_;
}

void TLsFileListView26::SetDesktop(FileListDesktop* desktop) {
    desktop_ = desktop != nullptr ? desktop : &ownDesktop_;
}

std::string TLsFileListView26::SelectedPath() const {
    const FileRow* row = CurrentRow();
    return row != nullptr ? row->Path : std::string();
}

int TLsFileListView26::SelectedCount() const {
    return static_cast<int>(selectedItems().size());
}

std::vector<FileRow> TLsFileListView26::SelectedRows() const {
    std::vector<FileRow> rows;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (topLevelItem(i)->isSelected()) {
            rows.push_back(rows_[topLevelItem(i)->data(0, RowRole).toUInt()]);
        }
    }
    return rows;
}

const FileRow* TLsFileListView26::CurrentRow() const {
    const QTreeWidgetItem* item = currentItem();
    if (item == nullptr || !item->isSelected()) {
        const QList<QTreeWidgetItem*> selected = selectedItems();
        item = selected.isEmpty() ? nullptr : selected.front();
    }
    return item != nullptr ? &rows_[item->data(0, RowRole).toUInt()] : nullptr;
}

bool TLsFileListView26::InDrivesView() const {
    return IsDrivesView(LocalPath(directory_));
}

void TLsFileListView26::SelectPath(const QString& path) {
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (topLevelItem(i)->data(0, PathRole).toString() == path) {
            setCurrentItem(topLevelItem(i));
            scrollToItem(topLevelItem(i));
            return;
        }
    }
}

void TLsFileListView26::OneLevelUp() {
    SetDirectory(DisplayPath(LevelUp(LocalPath(directory_))));
}

void TLsFileListView26::Open() {
    const FileRow* row = CurrentRow();
    if (row == nullptr) {
        return;
    }
    const QString path = DisplayPath(row->Path);
    switch (row->Kind) {
    case RowKind::Folder:
        SetDirectory(path);
        break;
    case RowKind::Drive:
        OpenDrive(path);
        break;
    case RowKind::File:
        if (programOpener_ && programOpener_(row->Path)) {
            break;
        }
        OpenWithDesktop(row->Path);
        break;
    }
}

void TLsFileListView26::OpenWithDesktop(const std::string& path) {
    QString why = WhyNoFileToOpen(path);
    if (why.isEmpty() && !desktop_->OpenWithDesktop(DisplayPath(path))) {
        why = QStringLiteral("no program is set to open it");
    }
    if (!why.isEmpty()) {
        messages_->ShowError(QStringLiteral("ERROR - Can't Open file  ") + DisplayPath(path) +
                             QStringLiteral(": ") + why);
    }
}

void TLsFileListView26::Refresh() {
    Fill(SelectedPaths());
}

void TLsFileListView26::ShowAddedFile(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (InDrivesView() || slash == std::string::npos) {
        return;
    }
    const std::string folder = LocalPath(directory_);
    std::error_code error;
    if (!std::filesystem::equivalent(path.substr(0, slash + 1), folder, error)) {
        return;
    }
    std::optional<FileRow> row = ListedRow(folder, path.substr(slash + 1), Filter());
    if (!row) {
        return;
    }
    if (std::ranges::any_of(rows_, [&](const FileRow& shown) { return shown.Path == row->Path; })) {
        // A file made again under a shown name: its size and time change.
        Refresh();
        return;
    }
    row->TypeName = types_.TypeName(*row);
    rows_.push_back(std::move(*row));
    // The rows of the list stay where they are: the new one goes after every
    // row that comes before it.
    int low = 0;
    int high = topLevelItemCount();
    while (low < high) {
        const int middle = (low + high) / 2;
        const auto& shown = rows_[topLevelItem(middle)->data(0, RowRole).toUInt()];
        if (order_.Before(shown, rows_.back())) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    insertTopLevelItem(low, NewItem(rows_.back(), static_cast<int>(rows_.size() - 1)));
    emit Changed();
}

ListingFilter TLsFileListView26::Filter() const {
    return {FileMask(LocalPath(mask_)), fileType_, showFolders_};
}

void TLsFileListView26::SortByColumn(int column) {
    const QStringList selected = SelectedPaths();
    order_.Click(column);
    order_.Sort(rows_);
    BuildColumns();
    ShowRows(selected);
}

void TLsFileListView26::Compare() {
    std::vector<FileRow> files = SelectedRows();
    std::erase_if(files, [](const FileRow& row) { return row.Kind != RowKind::File; });
    const auto source = [](const FileRow& row) {
        return ProgramSource{DisplayPath(row.Caption), row.Path, std::nullopt};
    };
    if (files.size() == 2) {
        CompareDialog::Open(source(files[0]), source(files[1]), this);
    } else if (files.size() == 1 && editorText_) {
        CompareDialog::Open(source(files[0]), {QStringLiteral("the editor"), {}, editorText_()},
                            this);
    }
}

FileListMenu& TLsFileListView26::ContextMenu() {
    menu_.Update(operations_->State());
    return menu_;
}

bool TLsFileListView26::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (MenuKey(*key) != nullptr ||
            (plain && (key->key() == Qt::Key_F3 || key->key() == Qt::Key_F5))) {
            event->accept();
            return true;
        }
    }
    return QTreeWidget::event(event);
}

void TLsFileListView26::keyPressEvent(QKeyEvent* event) {
    if (QAction* action = MenuKey(*event)) {
        ContextMenu();
        if (action->isEnabled()) {
            action->trigger();
        }
        return;
    }
    if (!NavigationKey(*event)) {
        QTreeWidget::keyPressEvent(event);
    }
}

void TLsFileListView26::contextMenuEvent(QContextMenuEvent* event) {
    if (!popUpMenuEnabled_) {
        event->ignore();
        return;
    }
    ContextMenu().Menu->exec(event->globalPos() + QPoint(10, 10));
}

void TLsFileListView26::Fill(const QStringList& keepSelected) {
    {
        const BusyCursor busy;
        if (InDrivesView()) {
            rows_ = MountedDriveRows();
        } else {
            rows_ = ListFolder(LocalPath(directory_), Filter());
            AddTypeNames();
        }
        order_.Reset();
        order_.Sort(rows_);
        BuildColumns();
        ShowRows(keepSelected);
    }
    emit Changed();
}

void TLsFileListView26::AddTypeNames() {
    for (FileRow& row : rows_) {
        row.TypeName = types_.TypeName(row);
    }
}

void TLsFileListView26::BuildColumns() {
    const bool drives = InDrivesView();
    QStringList labels;
    for (int column = 0; column < ColumnCount; ++column) {
        labels << QLatin1String(drives ? DriveHeaders[column] : FolderHeaders[column]);
    }
    setHeaderLabels(labels);
    for (int column = 0; column < ColumnCount; ++column) {
        const int slot = drives ? DriveWidthSlots[column] : FolderWidthSlots[column];
        setColumnHidden(column, widths_[slot] == 0);
        headerItem()->setTextAlignment(column, ColumnAlignment(drives, column));
    }
    header()->setSortIndicator(order_.SortColumn(),
                               order_.Descending() ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void TLsFileListView26::ShowRows(const QStringList& selected) {
    clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(rows_.size()));
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        items << NewItem(rows_[i], static_cast<int>(i));
    }
    addTopLevelItems(items);
    QTreeWidgetItem* current = nullptr;
    for (QTreeWidgetItem* item : items) {
        if (selected.contains(item->data(0, PathRole).toString())) {
            item->setSelected(true);
            current = current != nullptr ? current : item;
        }
    }
    // The first row takes the keyboard's focus without being selected, so
    // that a fill leaves nothing for Get to take.
    current = current != nullptr ? current : (items.isEmpty() ? nullptr : items.front());
    if (current != nullptr) {
        selectionModel()->setCurrentIndex(indexFromItem(current), QItemSelectionModel::NoUpdate);
    }
}

QString TLsFileListView26::CellText(const FileRow& row, int column) const {
    if (column == ModifiedColumn && row.Kind != RowKind::Drive && !dateFormat_) {
        return QLocale().toString(QDateTime::fromSecsSinceEpoch(row.Modified),
                                  QLocale::ShortFormat);
    }
    return QString::fromStdString(SubValue(row, column, dateFormat_.value_or(dfYMD)));
}

QTreeWidgetItem* TLsFileListView26::NewItem(const FileRow& row, int index) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, DisplayPath(row.Caption));
    for (int column = 1; column < ColumnCount; ++column) {
        item->setText(column, CellText(row, column));
        item->setTextAlignment(column, ColumnAlignment(row.Kind == RowKind::Drive, column));
    }
    item->setIcon(0, types_.Icon(row));
    item->setData(0, PathRole, DisplayPath(row.Path));
    item->setData(0, RowRole, index);
    if (row.Kind != RowKind::Drive) {
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
    return item;
}

QStringList TLsFileListView26::SelectedPaths() const {
    QStringList paths;
    for (const QTreeWidgetItem* item : selectedItems()) {
        paths << item->data(0, PathRole).toString();
    }
    return paths;
}

void TLsFileListView26::OpenDrive(const QString& root) {
    if (!IsDriveReady(root)) {
        QApplication::beep();
        messages_->ShowError(QStringLiteral("The drive ") + root + QStringLiteral(" is not ready"));
        return;
    }
    SetDirectory(root);
}

// The keys of menu entries, which act only when their entry is enabled.
QAction* TLsFileListView26::MenuKey(const QKeyEvent& event) const {
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::NoModifier) {
        switch (event.key()) {
        case Qt::Key_Delete:
            return menu_.Delete;
        case Qt::Key_F2:
            return menu_.Rename;
        default:
            return nullptr;
        }
    }
    if (modifiers != Qt::ControlModifier) {
        return nullptr;
    }
    switch (event.key()) {
    case Qt::Key_C:
        return menu_.Copy;
    case Qt::Key_X:
        return menu_.Cut;
    case Qt::Key_V:
        return menu_.Paste;
    case Qt::Key_O:
        return menu_.Open;
    case Qt::Key_F:
        return menu_.View;
    case Qt::Key_N:
        return menu_.NewFolder;
    default:
        return nullptr;
    }
}

bool TLsFileListView26::NavigationKey(const QKeyEvent& event) {
    if ((event.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        return false;
    }
    switch (event.key()) {
    case Qt::Key_Backspace:
        OneLevelUp();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Open();
        return true;
    case Qt::Key_F3:
        operations_->Find();
        return true;
    case Qt::Key_F5:
        Refresh();
        return true;
    default:
        return false;
    }
}

} // namespace feedrail
