#include "filelist/widgets/MountedDrives.h"

#include "common/widgets/TextBridge.h"
#include "filelist/DriveRows.h"

#include <QDir>
#include <QSet>
#include <QStorageInfo>
#include <algorithm>

namespace feedrail {
namespace {

DriveVolume Volume(const QStorageInfo& storage) {
    DriveVolume volume;
    volume.MountPoint = LocalPath(storage.rootPath());
    volume.Label = LocalPath(storage.name());
    volume.FileSystem = storage.fileSystemType().toStdString();
    volume.Device = storage.device().toStdString();
    if (storage.isReady()) {
        volume.TotalBytes = static_cast<std::uint64_t>(std::max<qint64>(storage.bytesTotal(), 0));
        volume.FreeBytes = static_cast<std::uint64_t>(std::max<qint64>(storage.bytesFree(), 0));
    }
    return volume;
}

} // namespace

std::vector<FileRow> MountedDriveRows() {
    std::vector<FileRow> rows;
    QSet<QString> seen;
    for (const QStorageInfo& storage : QStorageInfo::mountedVolumes()) {
        if (!storage.isValid() || seen.contains(storage.rootPath())) {
            continue;
        }
        const DriveVolume volume = Volume(storage);
        if (IsBrowsableVolume(volume)) {
            seen.insert(storage.rootPath());
            rows.push_back(DriveRow(volume, "/sys"));
        }
    }
    return rows;
}

bool IsDriveReady(const QString& root) {
    const QStorageInfo storage(root);
    return storage.isValid() && storage.isReady() &&
           QDir::cleanPath(storage.rootPath()) == QDir::cleanPath(root);
}

} // namespace feedrail
