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
    // Only the extension counts, in its own case ("*.C" and "*.c" are two
    // types): whole-name patterns such as "README" or "*.tar.gz" would make
    // the first name listed decide for every other name of its extension.
    // Folders share one entry, under a key no extension can be.
    const QString suffix = QFileInfo(DisplayPath(row.Caption)).suffix();
    const QString key = row.Kind == RowKind::Folder ? QStringLiteral("/") : suffix;
    if (const auto found = known_.constFind(key); found != known_.constEnd()) {
        return *found;
    }
    Type type;
    if (row.Kind == RowKind::Folder) {
        type = {types_.mimeTypeForName(QStringLiteral("inode/directory")).comment(),
                icons_.icon(QAbstractFileIconProvider::Folder)};
    } else if (suffix.isEmpty()) {
        type = {QStringLiteral("File"), icons_.icon(QAbstractFileIconProvider::File)};
    } else {
        const QMimeType mime =
            types_.mimeTypeForFile(QStringLiteral("name.") + suffix, QMimeDatabase::MatchExtension);
        type.name = mime.isDefault() ? suffix.toUpper() + QStringLiteral(" File") : mime.comment();
        type.icon = QIcon::fromTheme(mime.iconName(), icons_.icon(QAbstractFileIconProvider::File));
    }
    return *known_.insert(key, type);
}

} // namespace feedrail
