#pragma once

#include <QDialog>

class QLineEdit;

namespace feedrail {

// "Send to any folder": the folder to copy the selected files to, typed or
// picked with Browse.
class SendToFolderDialog : public QDialog {
    Q_OBJECT
public:
    SendToFolderDialog(const QString& folder, QWidget* parent);

    QString Folder() const;

private:
    void Browse();

    QLineEdit* path_;
};

} // namespace feedrail
