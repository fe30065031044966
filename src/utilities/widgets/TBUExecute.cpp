#include "utilities/widgets/TBUExecute.h"

#include "common/widgets/TextBridge.h"
#include "common/widgets/UserMessages.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>
#include <cerrno>

namespace feedrail {
bool TBUExecute::Execute(const QString& program, const QString& argument,
                         const QString& workingDirectory) {
    const QFileInfo info(program);
    if (!info.exists()) {
        Refuse(program, SystemReason(ENOENT));
        return false;
    }
    if (info.isDir()) {
        Refuse(program, SystemReason(EISDIR));
        return false;
    }
    if (!info.isExecutable()) {
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath()))) {
            Refuse(program, QStringLiteral("no program is set to open it"));
            return false;
        }
        return true;
    }
    QProcess process;
    process.setProgram(info.absoluteFilePath());
    process.setArguments({argument});
    process.setWorkingDirectory(workingDirectory);
    if (!process.startDetached()) {
        Refuse(program, process.errorString());
        return false;
    }
    return true;
}

void TBUExecute::Refuse(const QString& program, const QString& reason) {
    messages_.ShowError(QStringLiteral("Cannot start ") + program + QStringLiteral(": ") + reason);
}

} // namespace feedrail
