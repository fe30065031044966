#pragma once

#include <QList>
#include <QString>

namespace feedrail {

// The serial ports present, for the operator to pick from. A port is named by
// its link in the by-id folder when it has one: that name stays with the
// adapter whichever USB socket it is in and whatever order the adapters came
// up in, where /dev/ttyUSB0 does not.
class PortList {
public:
    struct Port {
        QString path;
        // What the adapter says it is, so that two adapters can be told apart;
        // may be empty.
        QString description;
    };

    explicit PortList(QString byIdFolder = QStringLiteral("/dev/serial/by-id"));

    // Sorted by path, so that the by-id names come first.
    QList<Port> Ports() const;

private:
    QString byIdFolder_;
};

} // namespace feedrail
