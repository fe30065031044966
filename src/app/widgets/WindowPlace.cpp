#include "app/widgets/WindowPlace.h"

#include <QSettings>
#include <QWidget>

namespace feedrail {
namespace {

const QString GeometryKey = QStringLiteral("MainWindow/Geometry");
const QString LineMonitorKey = QStringLiteral("MainWindow/LineMonitor");

} // namespace

WindowPlace::WindowPlace(const QString& profileFolder)
    : path_(profileFolder + QLatin1String(FileName)) {}

bool WindowPlace::Restore(QWidget& window) const {
    const QSettings file(path_, QSettings::IniFormat);
    const QByteArray geometry = file.value(GeometryKey).toByteArray();
    return !geometry.isEmpty() && window.restoreGeometry(geometry);
}

void WindowPlace::Save(const QWidget& window) const {
    QSettings file(path_, QSettings::IniFormat);
    file.setValue(GeometryKey, window.saveGeometry());
}

bool WindowPlace::LineMonitorShown() const {
    return QSettings(path_, QSettings::IniFormat).value(LineMonitorKey, false).toBool();
}

void WindowPlace::SaveLineMonitorShown(bool shown) const {
    QSettings(path_, QSettings::IniFormat).setValue(LineMonitorKey, shown);
}

} // namespace feedrail
