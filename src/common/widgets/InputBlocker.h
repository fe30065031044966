#pragma once

#include <QObject>

class QWidget;

namespace feedrail {

// While a loop runs inside a handler (a renumbering), the window takes no clicks and no keys: this
// filter swallows them all and remembers whether Esc was among them.
class InputBlocker : public QObject {
    Q_OBJECT
public:
    // Takes the input of `window` only: other windows, such as a message box
    // raised meanwhile, keep theirs.
    explicit InputBlocker(QWidget& window) : window_(window) {}

    // Whether Esc was pressed since the last call.
    bool TakeEscape();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Blocks(QObject* watched) const;

    QWidget& window_;
    bool escapePressed_ = false;
};

} // namespace feedrail
