#pragma once

#include <QFile>
#include <QString>
#include <cstring>
#include <string>

namespace feedrail {

// How texts cross between the core (std::string) and the windows (QString).

// Paths and file names: in the file system's own encoding of names.
inline std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

inline QString DisplayPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// Part programs and profile texts are bytes in whatever code page they were
// written in: Latin-1 gives each byte one character and takes it back
// unchanged.
inline QString BytesText(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

inline std::string TextBytes(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// The system's text for an errno value.
inline QString SystemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace feedrail
