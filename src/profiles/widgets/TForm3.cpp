#include "profiles/widgets/TForm3.h"

#include "common/widgets/DesignFont.h"
#include "profiles/widgets/MachineListHost.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace feedrail {

TForm3::TForm3(MachineListHost& machines, QWidget* parent)
    : QDialog(parent), machines_(machines), nameField_(new QLineEdit(this)) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Add Machine"));
    UseDesignFont(*this);
    setFixedSize(187, 109);
    auto* label = new QLabel(QStringLiteral("Machine Name:"), this);
    label->move(32, 12);
    nameField_->setObjectName(QStringLiteral("Edit1"));
    nameField_->setGeometry(32, 32, 121, 21);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OkButton"));
    ok->setGeometry(8, 72, 75, 25);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    cancel->setGeometry(104, 72, 75, 25);
    connect(ok, &QPushButton::clicked, this, &TForm3::OkClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm3::OkClick() {
    if (!nameField_->text().isEmpty()) {
        machines_.AddMachine(nameField_->text());
    }
    accept();
}

} // namespace feedrail
