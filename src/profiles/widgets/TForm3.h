#pragma once

#include <QDialog>

class QLineEdit;

namespace feedrail {

class MachineListHost;

// "Add Machine": adds a name to the main window's machine list. The field
// keeps its text from one use to the next.
class TForm3 : public QDialog {
    Q_OBJECT
public:
    TForm3(MachineListHost& machines, QWidget* parent);

    void OkClick();

private:
    MachineListHost& machines_;
    QLineEdit* nameField_;
};

} // namespace feedrail
