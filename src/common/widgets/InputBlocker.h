#pragma once

#include <QObject>

namespace feedrail {

// While a send loop runs, the window takes no clicks and no keys: this filter
// swallows them all and remembers whether Esc was among them.
class InputBlocker : public QObject {
    Q_OBJECT
public:
    // Whether Esc was pressed since the last call.
    bool TakeEscape();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool escapePressed_ = false;
};

} // namespace feedrail
