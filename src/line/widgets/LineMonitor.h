#pragma once

#include "line/TrafficText.h"

#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

class QComboBox;
class QPlainTextEdit;
class QPushButton;

namespace feedrail {

class UserMessages;

// A pane that shows the bytes on the machine's line each way as they pass,
// with their times: as text (control characters by name, parity overlined)
// or in hex, what was sent and what was received each in a colour of its
// own. What it shows it also keeps, up to RingLimit bytes, newest first to
// stay, for Save; Pause holds the view, not the keeping.
class LineMonitor : public QWidget {
public:
    // Moves out what crossed the line since it was last asked, and tells the
    // bytes lost meanwhile.
    using Source = std::function<std::vector<TappedBytes>(std::uint64_t& dropped)>;

    LineMonitor(Source source, UserMessages& messages, QWidget* parent);

    // Takes what has come from the source and shows it unless paused; the
    // pane's own timer calls it while it is shown.
    void TakeTraffic();
    // What the pane shows, as plain text.
    QString ShownText() const;

    static constexpr std::size_t RingLimit = 16 * 1024 * 1024;
    static constexpr int TakeIntervalMs = 100;
    // The lines the view holds; the ring keeps more for Save.
    static constexpr int ShownLines = 20000;

protected:
    // The pane takes from the line only while it is shown.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Keep(TappedBytes piece);
    static std::size_t Cost(const TappedBytes& piece);
    void Show(const TappedBytes& piece);
    void ShowDropped(std::uint64_t dropped);
    void ShowAgain();
    void TogglePause();
    void Clear();
    void Save();
    QString RingText() const;
    TrafficView View() const;

    Source source_;
    UserMessages& messages_;
    QPlainTextEdit* shown_;
    QComboBox* view_;
    QPushButton* pause_;
    QTimer timer_;
    std::deque<TappedBytes> ring_;
    std::size_t ringBytes_ = 0;
    bool paused_ = false;
};

} // namespace feedrail
