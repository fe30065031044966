#pragma once

#include "transfer/SendFrom.h"

#include <QDialog>
#include <string>
#include <vector>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QPlainTextEdit;
class QSpinBox;

namespace feedrail {

// "Send from...": the operator names the block to start from (a line, a
// sequence number or a tool change) and sees the lines left out and the
// program's head, which may be edited before the send.
class SendFromDialog : public QDialog {
    Q_OBJECT
public:
    SendFromDialog(std::vector<std::string> lines, QWidget* parent);

    // The plan for the chosen start; its Head is the edited head.
    SendFromPlan Plan() const;

private:
    void Replan();

    std::vector<std::string> lines_;
    SendFromPlan plan_;
    bool headShown_ = false;
    QComboBox* way_;
    QSpinBox* value_;
    QLabel* skipped_;
    QPlainTextEdit* head_;
    QDialogButtonBox* buttons_;
};

} // namespace feedrail
