#include "filelist/widgets/SendToFolderDialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace feedrail {

SendToFolderDialog::SendToFolderDialog(const QString& folder, QWidget* parent)
    : QDialog(parent), path_(new QLineEdit(folder, this)) {
    setWindowTitle(QStringLiteral("Send to any folder"));
    path_->setObjectName(QStringLiteral("Path"));
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    QPushButton* browse =
        buttons->addButton(QStringLiteral("Browse"), QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, &SendToFolderDialog::Browse);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Please enter the send to path"), this));
    layout->addWidget(path_);
    layout->addWidget(buttons);
    resize(360, sizeHint().height());
}

QString SendToFolderDialog::Folder() const {
    return path_->text();
}

void SendToFolderDialog::Browse() {
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Please specify a directory"), path_->text());
    if (!folder.isEmpty()) {
        path_->setText(folder);
    }
}

} // namespace feedrail
