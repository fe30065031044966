#pragma once

#include "common/widgets/UserMessages.h"

#include <QStringList>

namespace feedrail::test {

// Message boxes that record what they would have shown, and a save dialog
// that answers with a prepared path.
class FakeMessages : public UserMessages {
public:
    void ShowMessage(const QString& text) override { Messages << text; }
    void ShowError(const QString& text) override { Errors << text; }
    bool Confirm(const QString& question) override {
        Questions << question;
        return ConfirmAnswer;
    }
    std::optional<QString> AskSaveFileName(const SaveRequest& request) override {
        LastSaveRequest = request;
        return SaveAnswer;
    }

    std::optional<QString> AskFolder(const QString& start) override {
        FolderStart = start;
        return FolderAnswer;
    }

    QStringList Messages;
    QStringList Errors;
    QStringList Questions;
    bool ConfirmAnswer = true;
    SaveRequest LastSaveRequest;
    std::optional<QString> SaveAnswer;
    QString FolderStart;
    std::optional<QString> FolderAnswer;
};

} // namespace feedrail::test
