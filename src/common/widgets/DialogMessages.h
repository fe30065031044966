#pragma once

#include "common/widgets/UserMessages.h"

class QWidget;

namespace feedrail {

// The real message boxes and save dialog.
class DialogMessages : public UserMessages {
public:
    void SetParent(QWidget* parent) { parent_ = parent; }

    void ShowMessage(const QString& text) override;
    void ShowError(const QString& text) override;
    bool Confirm(const QString& question) override;
    std::optional<QString> AskSaveFileName(const SaveRequest& request) override;
    std::optional<QString> AskFolder(const QString& start) override;

private:
    QWidget* parent_ = nullptr;
};

} // namespace feedrail
