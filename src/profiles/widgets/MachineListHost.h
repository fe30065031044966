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
    // Takes the entry `name` added last out of the list again and shows
    // `shown`, without running machine selection.
    virtual void RemoveMachine(const QString& name, const QString& shown) = 0;
};

} // namespace feedrail
