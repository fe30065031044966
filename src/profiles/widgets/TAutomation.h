#pragma once

#include "profiles/AutomationSettings.h"

#include <QDialog>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace feedrail {

class MachineListHost;
class UserMessages;

// "Automation": the unattended-DNC options of the machine selected in the
// main window, read from its profile each time the dialog opens and written
// back by Save.
class TAutomation : public QDialog {
    Q_OBJECT
public:
    TAutomation(MachineListHost& machines, std::string profilePath, UserMessages& messages,
                QWidget* parent);

    void LoadSettings();
    // Writes the options; the dialog closes once they are all written.
    void SaveClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    AutomationSettings Shown() const;
    // Whether saving may go on after the question about a missing folder.
    bool OfferMissingFolder(const std::string& machine);

    MachineListHost& machines_;
    std::string profilePath_;
    UserMessages& messages_;
    QLabel* machine_;
    QCheckBox* autoReceive_;
    QLineEdit* receiveDir_;
    QCheckBox* remoteRequest_;
    QCheckBox* transferLog_;
    QCheckBox* keepVersions_;
};

} // namespace feedrail
