#include "filelist/widgets/FileTypes.h"

#include "common/widgets/TextBridge.h"

#include <QFileInfo>

namespace feedrail {

std::string FileTypes::TypeName(const FileRow& row) {
    return TypeOf(row).name.toStdString();
}

QIcon FileTypes::Icon(const FileRow& row) {
    if (row.Kind == RowKind::Drive) {
        return icons_.icon(row.TypeName == "Network Disk" ? QAbstractFileIconProvider::Network
                                                          : QAbstractFileIconProvider::Drive);
    }
    return TypeOf(row).icon;
}

const FileTypes::Type& FileTypes::TypeOf(const FileRow& row) {
    const QFileInfo info(DisplayPath(row.Path));
    // Folders share one entry, under a key no extension can be.
    const QString key = row.Kind == RowKind::Folder ? QStringLiteral("/") : info.suffix().toLower();
    if (const auto found = known_.constFind(key); found != known_.constEnd()) {
        return *found;
    }
    Type type;
    if (row.Kind == RowKind::Folder) {
        type = {types_.mimeTypeForName(QStringLiteral("inode/directory")).comment(),
                icons_.icon(QAbstractFileIconProvider::Folder)};
    } else {
        const QMimeType mime =
            types_.mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
        type.name = !mime.isDefault()         ? mime.comment()
                    : info.suffix().isEmpty() ? QStringLiteral("File")
                                              : info.suffix().toUpper() + QStringLiteral(" File");
        type.icon = QIcon::fromTheme(mime.iconName(), icons_.icon(QAbstractFileIconProvider::File));
    }
    return *known_.insert(key, type);
}

} // namespace feedrail
