#include "line/widgets/LineMonitor.h"

#include "common/AtomicFile.h"
#include "common/widgets/UserMessages.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCharFormat>
#include <QVBoxLayout>
#include <cstring>

namespace feedrail {
namespace {

// Sent in the palette's link colour, received in a green that reads on the
// window's ground, light or dark.
QColor DirectionColour(const QPalette& palette, bool sent) {
    if (sent) {
        return palette.color(QPalette::Link);
    }
    return palette.color(QPalette::Base).lightness() > 128 ? QColor(0x1b, 0x6e, 0x20)
                                                           : QColor(0x8b, 0xd9, 0x8f);
}

} // namespace

LineMonitor::LineMonitor(Source source, UserMessages& messages, QWidget* parent)
    : QWidget(parent), source_(std::move(source)), messages_(messages) {
    setObjectName(QStringLiteral("LineMonitor"));
    shown_ = new QPlainTextEdit(this);
    shown_->setObjectName(QStringLiteral("LineMonitorText"));
    shown_->setReadOnly(true);
    shown_->setMaximumBlockCount(ShownLines);
    shown_->setLineWrapMode(QPlainTextEdit::NoWrap);
    shown_->setFont(QFont(QStringLiteral("monospace")));
    view_ = new QComboBox(this);
    view_->setObjectName(QStringLiteral("LineMonitorView"));
    view_->addItems({QStringLiteral("Text"), QStringLiteral("Hex")});
    pause_ = new QPushButton(QStringLiteral("Pause"), this);
    pause_->setObjectName(QStringLiteral("LineMonitorPause"));
    auto* clear = new QPushButton(QStringLiteral("Clear"), this);
    clear->setObjectName(QStringLiteral("LineMonitorClear"));
    auto* save = new QPushButton(QStringLiteral("Save..."), this);
    save->setObjectName(QStringLiteral("LineMonitorSave"));
    auto* buttons = new QHBoxLayout;
    for (QWidget* widget : std::initializer_list<QWidget*>{view_, pause_, clear, save}) {
        buttons->addWidget(widget);
    }
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(buttons);
    layout->addWidget(shown_, 1);
    connect(view_, &QComboBox::currentIndexChanged, this, [this] { ShowAgain(); });
    connect(pause_, &QPushButton::clicked, this, [this] { TogglePause(); });
    connect(clear, &QPushButton::clicked, this, [this] { Clear(); });
    connect(save, &QPushButton::clicked, this, [this] { Save(); });
    connect(&timer_, &QTimer::timeout, this, [this] { TakeTraffic(); });
    timer_.setInterval(TakeIntervalMs);
}

void LineMonitor::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    timer_.start();
}

void LineMonitor::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    timer_.stop();
}

void LineMonitor::TakeTraffic() {
    std::uint64_t dropped = 0;
    std::vector<TappedBytes> pieces = source_(dropped);
    if (dropped > 0 && !paused_) {
        ShowDropped(dropped);
    }
    for (TappedBytes& piece : pieces) {
        if (!paused_) {
            Show(piece);
        }
        Keep(std::move(piece));
    }
    if (!pieces.empty() && !paused_) {
        shown_->verticalScrollBar()->setValue(shown_->verticalScrollBar()->maximum());
    }
}

QString LineMonitor::ShownText() const {
    return shown_->toPlainText();
}

// The oldest bytes go once the ring holds RingLimit, so that a day of
// traffic never grows the window; a piece counts what it costs beside its
// bytes, so that a trickle of single characters is bounded too.
void LineMonitor::Keep(TappedBytes piece) {
    ringBytes_ += Cost(piece);
    ring_.push_back(std::move(piece));
    while (ringBytes_ > RingLimit && !ring_.empty()) {
        ringBytes_ -= Cost(ring_.front());
        ring_.pop_front();
    }
}

std::size_t LineMonitor::Cost(const TappedBytes& piece) {
    return sizeof piece + piece.Bytes.capacity();
}

void LineMonitor::Show(const TappedBytes& piece) {
    QTextCharFormat format;
    format.setForeground(DirectionColour(palette(), piece.Sent));
    QTextCursor cursor(shown_->document());
    cursor.movePosition(QTextCursor::End);
    for (const TrafficLine& line : TrafficLines(piece, View())) {
        if (!shown_->document()->isEmpty()) {
            cursor.insertBlock();
        }
        cursor.insertText(QString::fromStdString(TrafficLineText(line)), format);
    }
}

void LineMonitor::ShowDropped(std::uint64_t dropped) {
    QTextCursor cursor(shown_->document());
    cursor.movePosition(QTextCursor::End);
    if (!shown_->document()->isEmpty()) {
        cursor.insertBlock();
    }
    cursor.insertText(QString::fromStdString(TrafficDroppedText(dropped)), QTextCharFormat());
}

// A change of view, or the end of a pause, shows what the ring keeps, as
// far as the view's lines reach.
void LineMonitor::ShowAgain() {
    shown_->clear();
    std::size_t bytes = 0;
    auto first = ring_.end();
    while (first != ring_.begin() && bytes < static_cast<std::size_t>(ShownLines) * 16) {
        --first;
        bytes += first->Bytes.size();
    }
    for (auto piece = first; piece != ring_.end(); ++piece) {
        Show(*piece);
    }
}

void LineMonitor::TogglePause() {
    paused_ = !paused_;
    pause_->setText(paused_ ? QStringLiteral("Resume") : QStringLiteral("Pause"));
    if (!paused_) {
        ShowAgain();
    }
}

void LineMonitor::Clear() {
    ring_.clear();
    ringBytes_ = 0;
    shown_->clear();
}

void LineMonitor::Save() {
    const std::optional<QString> chosen = messages_.AskSaveFileName(
        {{}, QStringLiteral("line.txt"), {QStringLiteral("Text files (*.txt)")}, "txt"});
    if (!chosen) {
        return;
    }
    const std::string path = chosen->toStdString();
    const QByteArray text = RingText().toUtf8();
    if (const int error =
            ReplaceFileContent(path, {text.constData(), static_cast<std::size_t>(text.size())})) {
        messages_.ShowError(QStringLiteral("Cannot save %1: %2")
                                .arg(*chosen, QString::fromLocal8Bit(std::strerror(error))));
    }
}

QString LineMonitor::RingText() const {
    QString text;
    for (const TappedBytes& piece : ring_) {
        for (const TrafficLine& line : TrafficLines(piece, View())) {
            text += QString::fromStdString(TrafficLineText(line)) + QLatin1Char('\n');
        }
    }
    return text;
}

TrafficView LineMonitor::View() const {
    return view_->currentIndex() == 1 ? TrafficView::Hex : TrafficView::Text;
}

} // namespace feedrail
