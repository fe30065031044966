#pragma once

#include <QObject>

class QWidget;

namespace feedrail {

// While a send loop runs, the window takes no clicks and no keys: this filter
// swallows them all and remembers whether Esc was among them.
class InputBlocker : public QObject {
    Q_OBJECT
public:
    // Takes the input of `window` only: other windows, such as a message box
    // raised meanwhile, keep theirs.
    explicit InputBlocker(QWidget& window) : window_(window) {}

    // Whether Esc was pressed since the last call.
    bool TakeEscape();
    // Lets the clicks on `button` through (none with nullptr); its keys stay
    // blocked, and an Esc there is remembered as anywhere else.
    void LetClicksThrough(QWidget* button) { clickable_ = button; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Blocks(QObject* watched) const;
    bool ForClickable(QObject* watched, QEvent* event) const;

    QWidget& window_;
    QWidget* clickable_ = nullptr;
    bool escapePressed_ = false;
};

} // namespace feedrail
