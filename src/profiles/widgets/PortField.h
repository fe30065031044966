#pragma once

#include "profiles/widgets/PortList.h"

#include <QComboBox>

namespace feedrail {

// The device a machine is reached through: a port picked from those present
// or a path or network address typed in. The list shows each port with what
// the adapter says it is; the field holds the port's path alone. It lists the
// ports again each time it opens, so that an adapter plugged in meanwhile
// shows up.
class PortField : public QComboBox {
    Q_OBJECT
public:
    PortField(const QString& emptyMeaning, QWidget* parent);

    // The text without surrounding blanks, as the profile holds it.
    QString Text() const;
    void SetText(const QString& text);
    void SetPortList(PortList ports);

    void showPopup() override;

private:
    void ListPorts();
    void ShowPathOf(int index);

    PortList ports_;
};

} // namespace feedrail
