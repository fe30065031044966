#include "app/widgets/Tpunch_d.h"
#include "common/widgets/TextBridge.h"
#include "common/widgets/UserMessages.h"
#include "serial/EVaCommError.h"
#include "serial/device/DevicePath.h"
#include "transfer/PortSetup.h"

#include <QLabel>

// The window's port: opened with the machine's settings, and what the status
// line says of it.

namespace feedrail {

QString Tpunch_d::ApplyPortSettings() {
    ShowStatus(QStringLiteral(" "));
    QString failure;
    errorHookInstalled_ = true;
    try {
        line_.OpenPort();
        // A device server may take seconds to answer: Ready once it has.
        if (line_.Port().Connecting()) {
            ShowStatus(QStringLiteral("Connecting to ") +
                       BytesText(PortTitle(line_.Port().DeviceName())));
        } else {
            ShowPortReady();
        }
    } catch (const EVaCommError& error) {
        failure = QString::fromStdString(error.what());
        const std::string path = line_.Port().DevicePath();
        if (DanglingLink(path)) {
            failure = BytesText(PortTitle(line_.Port().DeviceName())) +
                      QStringLiteral(": the link ") + DisplayPath(path) +
                      QStringLiteral(" points to ") + DisplayPath(LinkTarget(path)) +
                      QStringLiteral(", which is not there");
        }
        ShowStatus(failure);
        // Once a session is enough: the port opens again at every selection.
        if (!error.Advice().empty() && error.Advice() != shownAdvice_) {
            shownAdvice_ = error.Advice();
            messages_.ShowError(QString::fromLocal8Bit(error.Advice()));
        }
    }
    const QString summary = BytesText(SettingsSummary(activeSettings_, line_.Port().DeviceName()));
    controls_.StaticText1->setText(summary);
    controls_.StaticText1->setToolTip(summary);
    return failure;
}

void Tpunch_d::ShowPortReady() {
    const QString notice = ProfileNotice();
    ShowStatus(BytesText(PortTitle(line_.Port().DeviceName())) + QStringLiteral(" Ready") +
               (notice.isEmpty() ? QString() : QStringLiteral(". ") + notice));
}

} // namespace feedrail
