#pragma once

#include "session/TransferProgress.h"

#include <QString>
#include <optional>

class QLabel;
class QProgressBar;
class QWidget;

namespace feedrail {

// How far a transfer has come, in the window: its figures in the status
// text, a bar while it runs (a send's percent of bytes; a receive, without a
// known end, only moves), and a send's percent at the head of the title.
class ProgressView {
public:
    ProgressView(QWidget& window, QLabel& text, QProgressBar& bar);

    // The title without the progress: the folder shown.
    void SetCaption(const QString& caption);
    // `running`: a transfer is under way, not one that has just been filed.
    void Show(const TransferProgress& progress, bool running);
    // The bar and the title's percent go; the last figures stay readable.
    void End();

private:
    void ShowTitle();

    QWidget& window_;
    QLabel& text_;
    QProgressBar& bar_;
    QString caption_;
    std::optional<int> percent_;
};

} // namespace feedrail
