#include "filelist/widgets/TextViewer.h"

#include "common/RegularFile.h"
#include "common/widgets/TextBridge.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace feedrail {

bool TextViewer::Show(const std::string& path, QWidget* parent) {
    const RegularFileRead file = ReadRegularFile(path);
    if (file.outcome != RegularFileRead::Read) {
        return false;
    }
    const QString text = BytesText(file.content);
    auto* viewer = new TextViewer(DisplayPath(path), text, parent);
    viewer->show();
    return true;
}

TextViewer::TextViewer(const QString& path, const QString& text, QWidget* parent)
    : QWidget(parent, Qt::Window), text_(new QPlainTextEdit(this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(path);
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->setPlainText(text);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text_);
    resize(640, 480);
}

QString TextViewer::Text() const {
    return text_->toPlainText();
}

} // namespace feedrail
