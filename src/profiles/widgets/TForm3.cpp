#include "profiles/widgets/TForm3.h"

#include "common/widgets/DesignFont.h"
#include "profiles/widgets/MachineListHost.h"
#include "profiles/widgets/PortField.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace feedrail {

TForm3::TForm3(MachineListHost& machines, QWidget* parent)
    : QDialog(parent), machines_(machines), nameField_(new QLineEdit(this)) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Add Machine"));
    UseDesignFont(*this);
    setFixedSize(281, 157);
    auto* label = new QLabel(QStringLiteral("Machine Name:"), this);
    label->move(16, 12);
    nameField_->setObjectName(QStringLiteral("Edit1"));
    nameField_->setGeometry(16, 32, 249, 21);
    portField_ = new PortField(QStringLiteral("Comm Port of the settings"), this);
    portField_->setObjectName(QStringLiteral("DeviceCombo"));
    portField_->setGeometry(16, 80, 249, 22);
    auto* portLabel = new QLabel(QStringLiteral("&Device:"), this);
    portLabel->move(16, 60);
    portLabel->setBuddy(portField_);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OkButton"));
    ok->setGeometry(48, 120, 75, 25);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    cancel->setGeometry(158, 120, 75, 25);
    connect(ok, &QPushButton::clicked, this, &TForm3::OkClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm3::OkClick() {
    addedPort_.clear();
    addedName_.clear();
    if (!nameField_->text().isEmpty()) {
        machines_.AddMachine(nameField_->text());
        addedName_ = nameField_->text();
        addedPort_ = portField_->Text();
    }
    accept();
}

} // namespace feedrail
