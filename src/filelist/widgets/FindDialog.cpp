#include "filelist/widgets/FindDialog.h"

#include "common/widgets/BusyCursor.h"
#include "common/widgets/TextBridge.h"
#include "filelist/FileFind.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace feedrail {

FindDialog::FindDialog(QWidget* parent)
    : QDialog(parent), where_(new QLabel(this)), pattern_(new QLineEdit(QStringLiteral("*"), this)),
      matches_(new QListWidget(this)) {
    setWindowTitle(QStringLiteral("Find"));
    auto* find = new QPushButton(QStringLiteral("&Find"), this);
    find->setDefault(true);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* open = buttons->addButton(QStringLiteral("&Open"), QDialogButtonBox::ActionRole);
    buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(find, &QPushButton::clicked, this, &FindDialog::Search);
    connect(open, &QPushButton::clicked, this, &FindDialog::OpenCurrent);
    connect(matches_, &QListWidget::itemActivated, this, &FindDialog::OpenCurrent);

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Named:"), this), 0, 0);
    layout->addWidget(pattern_, 0, 1);
    layout->addWidget(find, 0, 2);
    layout->addWidget(where_, 1, 0, 1, 3);
    layout->addWidget(matches_, 2, 0, 1, 3);
    layout->addWidget(buttons, 3, 0, 1, 3);
    resize(460, 320);
}

void FindDialog::SetFolder(const QString& folder) {
    folder_ = folder;
    where_->setText(QStringLiteral("In: ") + folder);
}

void FindDialog::Search() {
    const BusyCursor busy;
    matches_->clear();
    const FileMask mask(LocalPath(pattern_->text()));
    for (const std::string& path : FindFiles(LocalPath(folder_), mask)) {
        matches_->addItem(DisplayPath(path));
    }
    if (matches_->count() > 0) {
        matches_->setCurrentRow(0);
    }
}

void FindDialog::OpenCurrent() {
    if (const QListWidgetItem* match = matches_->currentItem()) {
        emit OpenMatch(match->text());
    }
}

} // namespace feedrail
