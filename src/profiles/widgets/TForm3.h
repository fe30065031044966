#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

namespace feedrail {

class MachineListHost;
class PortField;

// "Add Machine": adds a name to the main window's machine list, with the
// device it is reached through. The fields keep their text from one use to
// the next.
class TForm3 : public QDialog {
    Q_OBJECT
public:
    TForm3(MachineListHost& machines, QWidget* parent);

    void OkClick();
    // The device picked for the machine OK last added; empty when none was
    // picked or no machine was added.
    const QString& AddedPort() const { return addedPort_; }
    // The machine OK last added; empty when none was.
    const QString& AddedName() const { return addedName_; }

private:
    MachineListHost& machines_;
    QLineEdit* nameField_;
    PortField* portField_;
    QString addedPort_;
    QString addedName_;
};

} // namespace feedrail
