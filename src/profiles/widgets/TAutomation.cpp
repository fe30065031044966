#include "profiles/widgets/TAutomation.h"

#include "common/widgets/TextBridge.h"
#include "common/widgets/UserMessages.h"
#include "profiles/IniFile.h"
#include "profiles/ProfileFile.h"
#include "profiles/widgets/MachineListHost.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>

namespace feedrail {

TAutomation::TAutomation(MachineListHost& machines, std::string profilePath, UserMessages& messages,
                         QWidget* parent)
    : QDialog(parent), machines_(machines), profilePath_(std::move(profilePath)),
      messages_(messages), machine_(new QLabel(this)),
      autoReceive_(new QCheckBox(QStringLiteral("Auto Receive: save every program the machine "
                                                "punches while the window is idle"),
                                 this)),
      receiveDir_(new QLineEdit(this)),
      remoteRequest_(new QCheckBox(
          QStringLiteral("Remote Request: send the program a request from the machine names"),
          this)),
      transferLog_(new QCheckBox(
          QStringLiteral("Transfer Log: add every transfer to feedrail-transfers.log"), this)),
      keepVersions_(new QCheckBox(QStringLiteral("Keep earlier versions: a program received "
                                                 "under a name that exists takes it, and the "
                                                 "earlier file moves to versions/"),
                                  this)) {
    setObjectName(QStringLiteral("Automation"));
    setWindowTitle(QStringLiteral("Automation"));
    machine_->setObjectName(QStringLiteral("MachineName"));
    autoReceive_->setObjectName(QStringLiteral("AutoReceive"));
    receiveDir_->setObjectName(QStringLiteral("ReceiveDir"));
    receiveDir_->setPlaceholderText(QStringLiteral("the machine's folder"));
    remoteRequest_->setObjectName(QStringLiteral("RemoteRequest"));
    transferLog_->setObjectName(QStringLiteral("TransferLog"));
    keepVersions_->setObjectName(QStringLiteral("KeepVersions"));

    auto* folder = new QFormLayout;
    folder->addRow(QStringLiteral("Machine:"), machine_);
    folder->addRow(QStringLiteral("Receive folder:"), receiveDir_);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* save = buttons->addButton(QStringLiteral("Save"), QDialogButtonBox::AcceptRole);
    save->setObjectName(QStringLiteral("SaveButton"));
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(folder);
    for (QCheckBox* box : {autoReceive_, keepVersions_, remoteRequest_, transferLog_}) {
        layout->addWidget(box);
    }
    layout->addWidget(buttons);
    connect(save, &QPushButton::clicked, this, &TAutomation::SaveClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TAutomation::LoadSettings() {
    const QString machine = machines_.CurrentMachine();
    const AutomationSettings settings =
        ReadAutomationSettings(IniFile(profilePath_), TextBytes(machine));
    machine_->setText(machine);
    autoReceive_->setChecked(settings.AutoReceive);
    receiveDir_->setText(BytesText(settings.ReceiveDir));
    remoteRequest_->setChecked(settings.RemoteRequest);
    transferLog_->setChecked(settings.TransferLog);
    keepVersions_->setChecked(settings.KeepVersions);
}

// Without a machine there is no section to write: nothing is, and the
// dialog says so rather than closing as if it had saved.
void TAutomation::SaveClick() {
    const std::string machine = TextBytes(machines_.CurrentMachine());
    if (machine.empty()) {
        messages_.ShowError(QStringLiteral("Add a machine in DNC Settings first"));
        return;
    }
    if (!OfferMissingFolder(machine)) {
        return;
    }
    try {
        WriteAutomationSettings(IniFile(profilePath_), machine, Shown());
    } catch (const std::exception& error) {
        messages_.ShowError(QString::fromStdString(error.what()));
        return;
    }
    accept();
}

// A receive folder that is not there is made on request; declined, the
// settings are saved as they are and programs go to the next place.
bool TAutomation::OfferMissingFolder(const std::string& machine) {
    const AutomationSettings shown = Shown();
    if (!shown.AutoReceive || shown.ReceiveDir.empty()) {
        return true;
    }
    const IniFile profiles(profilePath_);
    const std::string folder = ReceiveFolderOf(
        shown.ReceiveDir, WithTrailingSeparator(profiles.ReadString(machine, "DefaultDir", "")),
        profilePath_.substr(0, profilePath_.rfind('/') + 1));
    std::error_code error;
    if (std::filesystem::is_directory(folder, error) ||
        !messages_.Confirm(QStringLiteral("The receive folder %1 does not exist. Make it?")
                               .arg(DisplayPath(folder)))) {
        return true;
    }
    if (!std::filesystem::create_directories(folder, error) && error) {
        messages_.ShowError(QStringLiteral("Cannot make %1: %2")
                                .arg(DisplayPath(folder), SystemReason(error.value())));
        return false;
    }
    return true;
}

void TAutomation::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    LoadSettings();
}

AutomationSettings TAutomation::Shown() const {
    AutomationSettings settings;
    settings.AutoReceive = autoReceive_->isChecked();
    settings.ReceiveDir = WithTrailingSeparator(TextBytes(receiveDir_->text()));
    settings.RemoteRequest = remoteRequest_->isChecked();
    settings.TransferLog = transferLog_->isChecked();
    settings.KeepVersions = keepVersions_->isChecked();
    return settings;
}

} // namespace feedrail
