#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace feedrail {

// What the save dialog is asked.
struct SaveRequest {
    QString folder;
    QString proposedName;
    QStringList filters;
    QString defaultSuffix;
};

// The program's message boxes and file dialog, behind an interface so that
// tests can answer them.
class UserMessages {
public:
    virtual ~UserMessages() = default;

    // A plain box with one OK button.
    virtual void ShowMessage(const QString& text) = 0;
    // An error box.
    virtual void ShowError(const QString& text) = 0;
    // A yes/no question; true for yes.
    virtual bool Confirm(const QString& question) = 0;
    // The path chosen in the save dialog; nothing when cancelled.
    virtual std::optional<QString> AskSaveFileName(const SaveRequest& request) = 0;
    // The folder chosen in the folder dialog, which opens at `start`;
    // nothing when cancelled.
    virtual std::optional<QString> AskFolder(const QString& start) = 0;
};

} // namespace feedrail
