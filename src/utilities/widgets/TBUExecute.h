#pragma once

#include <QString>
#include <string>

namespace feedrail {

class UserMessages;

// Starts external programs for the window, without waiting for them and
// without a shell: the argument reaches the program as its bytes, whatever
// blanks, quotes or "$" it holds and whatever encoding its name was written
// in. A file that is not executable (a PDF, a spreadsheet) is opened with the
// desktop's handler for it. Whatever cannot be started is reported with its
// path and the reason.
class TBUExecute {
public:
    explicit TBUExecute(UserMessages& messages) : messages_(messages) {}

    // Whether the program started (or the document opened).
    bool Execute(const std::string& program, const std::string& argument,
                 const std::string& workingDirectory);

private:
    void Refuse(const std::string& program, const QString& reason);

    UserMessages& messages_;
};

} // namespace feedrail
