#include "profiles/widgets/PortList.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>
#include <algorithm>
#include <utility>

namespace feedrail {
namespace {

// The device each link of the folder leads to, and the link.
QHash<QString, QString> LinksByDevice(const QString& folder) {
    QHash<QString, QString> links;
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        const QString device = entry.canonicalFilePath();
        if (!device.isEmpty() && !links.contains(device)) {
            links.insert(device, entry.absoluteFilePath());
        }
    }
    return links;
}

QString Description(const QSerialPortInfo& info) {
    const QString description = info.description();
    const QString maker = info.manufacturer();
    if (maker.isEmpty() || description.contains(maker, Qt::CaseInsensitive)) {
        return description;
    }
    return description.isEmpty() ? maker : description + QStringLiteral(" (") + maker + ')';
}

} // namespace

PortList::PortList(QString byIdFolder) : byIdFolder_(std::move(byIdFolder)) {}

QList<PortList::Port> PortList::Ports() const {
    QHash<QString, QString> links = LinksByDevice(byIdFolder_);
    QList<Port> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const QString link = links.take(QFileInfo(info.systemLocation()).canonicalFilePath());
        ports.append({link.isEmpty() ? info.systemLocation() : link, Description(info)});
    }
    // The system links serial devices alone under by-id: one the port scan
    // passed over is a port all the same.
    for (auto link = links.cbegin(); link != links.cend(); ++link) {
        ports.append({link.value(), QString()});
    }
    std::ranges::sort(ports, {}, &Port::path);
    return ports;
}

} // namespace feedrail
