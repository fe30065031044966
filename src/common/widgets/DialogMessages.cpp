#include "common/widgets/DialogMessages.h"

#include <QFileDialog>
#include <QMessageBox>

namespace feedrail {
namespace {

// "*.*" means every file, as it does where the filters come from; on Linux it
// would need a dot and hide programs named O1000.
QStringList EveryFileForStarDotStar(QStringList filters) {
    for (QString& filter : filters) {
        filter.replace(QStringLiteral("(*.*)"), QStringLiteral("(*)"));
    }
    return filters;
}

} // namespace

void DialogMessages::ShowMessage(const QString& text) {
    QMessageBox::information(parent_, QStringLiteral("Feedrail"), text);
}

void DialogMessages::ShowError(const QString& text) {
    QMessageBox::critical(parent_, QStringLiteral("Feedrail"), text);
}

bool DialogMessages::Confirm(const QString& question) {
    return QMessageBox::question(parent_, QStringLiteral("Feedrail"), question) == QMessageBox::Yes;
}

std::optional<QString> DialogMessages::AskSaveFileName(const SaveRequest& request) {
    QFileDialog dialog(parent_);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setDirectory(request.folder);
    dialog.selectFile(request.proposedName);
    dialog.setNameFilters(EveryFileForStarDotStar(request.filters));
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front();
}

std::optional<QString> DialogMessages::AskFolder(const QString& start) {
    const QString folder = QFileDialog::getExistingDirectory(parent_, QString(), start);
    return folder.isEmpty() ? std::nullopt : std::optional<QString>(folder);
}

} // namespace feedrail
