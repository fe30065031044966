#pragma once

#include <QFile>
#include <QString>
#include <string>

namespace feedrail {

// Paths and file names cross between the core and the windows in the file
// system's own encoding of names.
inline std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

inline QString DisplayPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

} // namespace feedrail
