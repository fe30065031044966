#include "filelist/widgets/TLsFileListView26.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QStorageInfo>
#include <QUrl>

namespace feedrail {
namespace {

enum Column { NameColumn, SizeColumn, TypeColumn, ModifiedColumn, AttributesColumn };
constexpr int PathRole = Qt::UserRole;

QString WithSlash(QString folder) {
    if (!folder.endsWith(QLatin1Char('/'))) {
        folder += QLatin1Char('/');
    }
    return folder;
}

QString Attributes(const QFileInfo& info) {
    QString attributes;
    attributes += info.isWritable() ? QString() : QStringLiteral("R");
    attributes += info.isHidden() ? QStringLiteral("H") : QString();
    return attributes;
}

} // namespace

TLsFileListView26::TLsFileListView26(QWidget* parent) : QTreeWidget(parent) {
    setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size(Bytes)"), QStringLiteral("Type"),
                     QStringLiteral("Modified"), QStringLiteral("Attributes")});
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    header()->setStretchLastSection(false);
    // Columns fit their content; the name takes what room is left.
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    connect(this, &QTreeWidget::itemSelectionChanged, this, &TLsFileListView26::Changed);
    connect(this, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item, int) { OpenItem(item); });
}

void TLsFileListView26::SetDirectory(const QString& directory) {
    if (directory == directory_) {
        return;
    }
    if (directory == QLatin1String(DrivesView)) {
        directory_ = QLatin1String(DrivesView);
        FillDrives();
        return;
    }
    const QFileInfo info(directory);
    if (directory.isEmpty() || !info.isDir()) {
        return;
    }
    directory_ = WithSlash(QDir::cleanPath(info.absoluteFilePath()));
    Fill();
}

void TLsFileListView26::OneLevelUp() {
    if (directory_ == QLatin1String(DrivesView) || directory_.isEmpty()) {
        return;
    }
    if (directory_ == QLatin1String("/")) {
        SetDirectory(QLatin1String(DrivesView));
        return;
    }
    QDir folder(directory_);
    folder.cdUp();
    SetDirectory(folder.absolutePath());
}

QString TLsFileListView26::SelectedPath() const {
    const QList<QTreeWidgetItem*> items = selectedItems();
    return items.isEmpty() ? QString() : items.front()->data(NameColumn, PathRole).toString();
}

int TLsFileListView26::SelectedCount() const {
    return static_cast<int>(selectedItems().size());
}

void TLsFileListView26::SetColumnWidths(const QList<int>& widths) {
    for (int column = 0; column < widths.size() && column < columnCount(); ++column) {
        setColumnHidden(column, widths[column] == 0);
    }
}

void TLsFileListView26::Fill() {
    clear();
    const QFileInfoList entries =
        QDir(directory_)
            .entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                           QDir::DirsFirst | QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& entry : entries) {
        auto* item = new QTreeWidgetItem(this);
        item->setText(NameColumn, entry.fileName());
        item->setData(NameColumn, PathRole, entry.absoluteFilePath());
        item->setText(SizeColumn, entry.isDir() ? QString() : QString::number(entry.size()));
        item->setText(TypeColumn, entry.isDir() ? QStringLiteral("Folder") : entry.suffix());
        item->setText(ModifiedColumn,
                      entry.lastModified().toString(QStringLiteral("yyyy-MM-dd hh:mm")));
        item->setText(AttributesColumn, Attributes(entry));
    }
    emit Changed();
}

void TLsFileListView26::FillDrives() {
    clear();
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady()) {
            continue;
        }
        auto* item = new QTreeWidgetItem(this);
        item->setText(NameColumn, volume.rootPath());
        item->setData(NameColumn, PathRole, WithSlash(volume.rootPath()));
        item->setText(TypeColumn, QString::fromUtf8(volume.fileSystemType()));
    }
    emit Changed();
}

void TLsFileListView26::OpenItem(QTreeWidgetItem* item) {
    const QString path = item->data(NameColumn, PathRole).toString();
    if (QFileInfo(path).isDir()) {
        SetDirectory(path);
    } else {
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
}

} // namespace feedrail
