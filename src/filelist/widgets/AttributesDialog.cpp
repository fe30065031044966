#include "filelist/widgets/AttributesDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace feedrail {
namespace {

QCheckBox* Box(const char* caption, bool checked, QWidget* parent) {
    auto* box = new QCheckBox(QLatin1String(caption), parent);
    box->setObjectName(QLatin1String(caption));
    box->setChecked(checked);
    return box;
}

} // namespace

AttributesDialog::AttributesDialog(const QString& name, const ItemAttributes& current,
                                   QWidget* parent)
    : QDialog(parent), readOnly_(Box("ReadOnly", current.ReadOnly, this)),
      hidden_(Box("Hidden", current.Hidden, this)) {
    setWindowTitle(QStringLiteral("Set Attributes"));
    QCheckBox* archive = Box("Archive", false, this);
    QCheckBox* system = Box("System", false, this);
    archive->setEnabled(false);
    system->setEnabled(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QGridLayout(this);
    auto* label = new QLabel(name, this);
    label->setObjectName(QStringLiteral("FileName"));
    layout->addWidget(label, 0, 0, 1, 2);
    layout->addWidget(readOnly_, 1, 0);
    layout->addWidget(archive, 1, 1);
    layout->addWidget(hidden_, 2, 0);
    layout->addWidget(system, 2, 1);
    layout->addWidget(buttons, 3, 0, 1, 2);
    setFixedSize(266, 172);
}

ItemAttributes AttributesDialog::Chosen() const {
    return {readOnly_->isChecked(), hidden_->isChecked()};
}

} // namespace feedrail
