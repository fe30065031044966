#include "app/widgets/ProgressView.h"

#include "line/ProgressText.h"

#include <QLabel>
#include <QProgressBar>
#include <QWidget>

namespace feedrail {

ProgressView::ProgressView(QWidget& window, QLabel& text, QProgressBar& bar)
    : window_(window), text_(text), bar_(bar) {
    bar_.hide();
}

void ProgressView::SetCaption(const QString& caption) {
    caption_ = caption;
    ShowTitle();
}

void ProgressView::Show(const TransferProgress& progress, bool running) {
    const QString figures = QString::fromStdString(ProgressFigures(progress));
    const bool send = progress.Direction == TransferProgress::Way::Send;
    text_.setText(send ? QStringLiteral("Sent %1 of %2 lines, %3")
                             .arg(progress.Lines)
                             .arg(progress.TotalLines)
                             .arg(figures)
                       : QStringLiteral("Received %1 lines, %2").arg(progress.Lines).arg(figures));
    if (!running) {
        return;
    }
    percent_ = progress.Percent();
    bar_.setRange(0, percent_ ? 100 : 0);
    bar_.setValue(percent_.value_or(0));
    bar_.show();
    ShowTitle();
}

void ProgressView::End() {
    percent_.reset();
    bar_.hide();
    ShowTitle();
}

void ProgressView::ShowTitle() {
    window_.setWindowTitle(percent_ ? QStringLiteral("%1 % - %2").arg(*percent_).arg(caption_)
                                    : caption_);
}

} // namespace feedrail
