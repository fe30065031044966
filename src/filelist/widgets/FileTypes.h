#pragma once

#include "filelist/FileRow.h"

#include <QFileIconProvider>
#include <QHash>
#include <QIcon>
#include <QMimeDatabase>
#include <QString>

namespace feedrail {

// Type names and icons of the file pane's rows, told from the names alone:
// a folder of thousands of programs is listed without opening one of them.
// What is learnt about one extension serves every name that has it.
class FileTypes {
public:
    // The desktop's name for a file's type; a type it does not know is named
    // after the extension ("NC File"), a file without one "File".
    std::string TypeName(const FileRow& row);
    QIcon Icon(const FileRow& row);

private:
    struct Type {
        QString name;
        QIcon icon;
    };
    const Type& TypeOf(const FileRow& row);

    QMimeDatabase types_;
    QFileIconProvider icons_;
    QHash<QString, Type> known_;
};

} // namespace feedrail
