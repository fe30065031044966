#include "utilities/widgets/TBUExecute.h"

#include "common/widgets/TextBridge.h"
#include "common/widgets/UserMessages.h"
#include "utilities/DetachedProcess.h"

#include <QDesktopServices>
#include <QUrl>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace feedrail {
bool TBUExecute::Execute(const std::string& program, const std::string& argument,
                         const std::string& workingDirectory) {
    struct stat info {};
    if (::stat(program.c_str(), &info) != 0) {
        Refuse(program, SystemReason(errno));
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        Refuse(program, SystemReason(EISDIR));
        return false;
    }
    if (::access(program.c_str(), X_OK) != 0) {
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(DisplayPath(program)))) {
            Refuse(program, QStringLiteral("no program is set to open it"));
            return false;
        }
        return true;
    }
    if (const int error = StartDetached(program, {argument}, workingDirectory)) {
        Refuse(program, SystemReason(error));
        return false;
    }
    return true;
}

void TBUExecute::Refuse(const std::string& program, const QString& reason) {
    messages_.ShowError(QStringLiteral("Cannot start ") + DisplayPath(program) +
                        QStringLiteral(": ") + reason);
}

} // namespace feedrail
