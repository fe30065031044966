#pragma once

#include <QDialog>
#include <string>

class QTextBrowser;

namespace feedrail {

class UserMessages;

// The operator's manual, an HTML file beside the program or in the
// installed data folder, in a window of its own; links within it work.
class HelpWindow : public QDialog {
    Q_OBJECT
public:
    HelpWindow(std::string programDir, UserMessages& messages, QWidget* parent = nullptr);

    // Help > Index: the manual at its first topic.
    void ShowIndex();
    const QTextBrowser& Browser() const { return *browser_; }

private:
    std::string programDir_;
    UserMessages& messages_;
    QTextBrowser* browser_;
};

} // namespace feedrail
