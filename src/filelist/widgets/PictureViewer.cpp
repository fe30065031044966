#include "filelist/widgets/PictureViewer.h"

#include "common/RegularFile.h"
#include "common/widgets/TextBridge.h"

#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QScreen>

namespace feedrail {

bool PictureViewer::Show(const std::string& path, QWidget* parent) {
    const RegularFileRead file = ReadRegularFile(path);
    const QImage picture = file.outcome == RegularFileRead::Read
                               ? QImage::fromData(QByteArray::fromStdString(file.content))
                               : QImage();
    if (picture.isNull()) {
        return false;
    }
    auto* viewer = new PictureViewer(DisplayPath(path), picture, parent);
    viewer->show();
    return true;
}

PictureViewer::PictureViewer(const QString& path, const QImage& picture, QWidget* parent)
    : QScrollArea(parent), size_(picture.size()) {
    setWindowFlag(Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(path);
    auto* label = new QLabel(this);
    label->setPixmap(QPixmap::fromImage(picture));
    setWidget(label);
    const QSize room = QGuiApplication::primaryScreen()->availableSize() * 3 / 4;
    resize(size_.grownBy(QMargins(2, 2, 2, 2)).boundedTo(room));
}

} // namespace feedrail
