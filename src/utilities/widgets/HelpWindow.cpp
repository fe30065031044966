#include "utilities/widgets/HelpWindow.h"

#include "common/ProfileFolder.h"
#include "common/ProgramDirectory.h"
#include "common/widgets/TextBridge.h"
#include "common/widgets/UserMessages.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace feedrail {

HelpWindow::HelpWindow(std::string programDir, UserMessages& messages, QWidget* parent)
    : QDialog(parent), programDir_(std::move(programDir)), messages_(messages),
      browser_(new QTextBrowser(this)) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Feedrail Help"));
    browser_->setObjectName(QStringLiteral("HelpBrowser"));
    browser_->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    resize(720, 560);
}

void HelpWindow::ShowIndex() {
    const QString path = DisplayPath(HelpManualPath(programDir_, ProgramDirectory()));
    if (!QFileInfo(path).isFile()) {
        messages_.ShowError(QStringLiteral("The help file ") + path +
                            QStringLiteral(" is missing."));
        return;
    }
    QUrl url = QUrl::fromLocalFile(path);
    url.setFragment(QStringLiteral("Topic1"));
    browser_->setSource(url);
    show();
    raise();
}

} // namespace feedrail
