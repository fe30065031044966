#pragma once

#include <QImage>
#include <QScrollArea>
#include <string>

namespace feedrail {

// A window that shows a picture file at its own size, scrolled when larger
// than the window.
class PictureViewer : public QScrollArea {
    Q_OBJECT
public:
    // Opens a viewer of `path` that closes with `parent`; false when the file
    // is not a picture that can be read.
    static bool Show(const std::string& path, QWidget* parent);

    QSize PictureSize() const { return size_; }

private:
    PictureViewer(const QString& path, const QImage& picture, QWidget* parent);

    QSize size_;
};

} // namespace feedrail
