#include "filelist/widgets/DesktopDialogs.h"

#include "filelist/widgets/AttributesDialog.h"
#include "filelist/widgets/SendToFolderDialog.h"

#include <QDesktopServices>
#include <QInputDialog>
#include <QUrl>

namespace feedrail {

std::optional<QString> DesktopDialogs::AskNewFolderName() {
    bool ok = false;
    const QString name =
        QInputDialog::getText(parent_, QStringLiteral("Add New Folder"),
                              QStringLiteral("Enter new folder name"), QLineEdit::Normal, {}, &ok);
    return ok ? std::optional<QString>(name) : std::nullopt;
}

std::optional<QString> DesktopDialogs::AskSendToFolder(const QString& folder) {
    SendToFolderDialog dialog(folder, parent_);
    return dialog.exec() == QDialog::Accepted ? std::optional<QString>(dialog.Folder())
                                              : std::nullopt;
}

std::optional<ItemAttributes> DesktopDialogs::AskAttributes(const QString& name,
                                                            const ItemAttributes& current) {
    AttributesDialog dialog(name, current, parent_);
    return dialog.exec() == QDialog::Accepted ? std::optional<ItemAttributes>(dialog.Chosen())
                                              : std::nullopt;
}

bool DesktopDialogs::OpenWithDesktop(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace feedrail
