#pragma once

#include "filelist/ItemAttributes.h"

#include <QString>
#include <optional>

namespace feedrail {

// What the file list asks of the desktop: its dialogs for a folder name, a
// Send To folder and attributes, and its program for a file. Behind an
// interface so that tests can answer.
class FileListDesktop {
public:
    virtual ~FileListDesktop() = default;

    // "Add New Folder": the name entered; nothing when cancelled.
    virtual std::optional<QString> AskNewFolderName() = 0;
    // "Send to any folder", proposing `folder`: the folder entered.
    virtual std::optional<QString> AskSendToFolder(const QString& folder) = 0;
    // "Set Attributes" of the item `name`: the attributes chosen.
    virtual std::optional<ItemAttributes> AskAttributes(const QString& name,
                                                        const ItemAttributes& current) = 0;
    // Hands a file to the desktop's program for it; false when that fails.
    virtual bool OpenWithDesktop(const QString& path) = 0;
};

} // namespace feedrail
