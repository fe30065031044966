#pragma once

#include <QWidget>
#include <string>

class QPlainTextEdit;

namespace feedrail {

// A window that shows a text file, read-only. The file's bytes are shown as
// they are, whatever code page it was written in.
class TextViewer : public QWidget {
    Q_OBJECT
public:
    // Opens a viewer of `path` that closes with `parent`; false when the file
    // cannot be read.
    static bool Show(const std::string& path, QWidget* parent);

    QString Text() const;

private:
    TextViewer(const QString& path, const QString& text, QWidget* parent);

    QPlainTextEdit* text_;
};

} // namespace feedrail
