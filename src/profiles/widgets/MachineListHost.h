#pragma once

#include <QString>

namespace feedrail {

// The main window's machine list, as the settings dialogs see it.
class MachineListHost {
public:
    virtual ~MachineListHost() = default;

    // The machine shown in the list: the profile section the dialogs use.
    virtual QString CurrentMachine() const = 0;
    // Appends a machine and selects it, without running machine selection.
    virtual void AddMachine(const QString& name) = 0;
};

} // namespace feedrail
