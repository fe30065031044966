#pragma once

#include "filelist/widgets/FileListDesktop.h"

class QWidget;

namespace feedrail {

// The real dialogs and the desktop's own handler of files.
class DesktopDialogs : public FileListDesktop {
public:
    explicit DesktopDialogs(QWidget* parent) : parent_(parent) {}

    std::optional<QString> AskNewFolderName() override;
    std::optional<QString> AskSendToFolder(const QString& folder) override;
    std::optional<ItemAttributes> AskAttributes(const QString& name,
                                                const ItemAttributes& current) override;
    bool OpenWithDesktop(const QString& path) override;

private:
    QWidget* parent_;
};

} // namespace feedrail
