#include "filelist/widgets/PictureViewer.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QScreen>

namespace feedrail {

bool PictureViewer::Show(const QString& path, QWidget* parent) {
    QImageReader reader(path);
    const QImage picture = reader.read();
    if (picture.isNull()) {
        return false;
    }
    auto* viewer = new PictureViewer(path, picture, parent);
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
