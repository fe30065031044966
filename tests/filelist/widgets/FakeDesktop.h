#pragma once

#include "filelist/widgets/FileListDesktop.h"

#include <QStringList>

namespace feedrail::test {

// Dialogs that answer with prepared values and a desktop that records the
// files handed to it.
class FakeDesktop : public FileListDesktop {
public:
    std::optional<QString> AskNewFolderName() override {
        Asked << QStringLiteral("Add New Folder");
        return FolderName;
    }
    std::optional<QString> AskSendToFolder(const QString& folder) override {
        Asked << QStringLiteral("Send to any folder ") + folder;
        return SendToFolder;
    }
    std::optional<ItemAttributes> AskAttributes(const QString& name,
                                                const ItemAttributes& current) override {
        Asked << QStringLiteral("Set Attributes ") + name;
        ShownAttributes = current;
        return Attributes;
    }
    bool OpenWithDesktop(const QString& path) override {
        Opened << path;
        return OpenAnswer;
    }

    QStringList Asked;
    QStringList Opened;
    std::optional<QString> FolderName;
    std::optional<QString> SendToFolder;
    std::optional<ItemAttributes> Attributes;
    ItemAttributes ShownAttributes;
    bool OpenAnswer = true;
};

} // namespace feedrail::test
