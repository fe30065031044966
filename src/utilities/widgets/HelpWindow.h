#pragma once

#include <QDialog>
#include <string>

class QTextBrowser;

namespace feedrail {

class UserMessages;

// The operator's manual, an HTML file beside the program, in a window of
// its own; links within the manual work.
class HelpWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* FileName = "feedrail-help.html";

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
