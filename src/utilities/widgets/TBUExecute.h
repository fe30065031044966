#pragma once

#include <QString>

namespace feedrail {

class UserMessages;

// Starts external programs for the window, without waiting for them and
// without a shell: the argument reaches the program as it is, whatever
// blanks, quotes or "$" it holds. A file that is not executable (a PDF, a
// spreadsheet) is opened with the desktop's handler for it. Whatever cannot
// be started is reported with its path and the reason.
class TBUExecute {
public:
    explicit TBUExecute(UserMessages& messages) : messages_(messages) {}

    // Whether the program started (or the document opened).
    bool Execute(const QString& program, const QString& argument, const QString& workingDirectory);

private:
    void Refuse(const QString& program, const QString& reason);

    UserMessages& messages_;
};

} // namespace feedrail
