#pragma once

#include <QColor>
#include <QLabel>
#include <functional>

namespace feedrail {

// A label that answers the mouse: while the pointer is over it, its text
// takes `ColorOnEnter` (when `ColorChange` is set) and the application's tool
// tips take `HintColor`; both come back when the pointer leaves.
class TBULabel : public QLabel {
    Q_OBJECT
public:
    explicit TBULabel(QWidget* parent = nullptr);

    bool ColorChange() const { return colorChange_; }
    void SetColorChange(bool change) { colorChange_ = change; }
    QColor ColorOnEnter() const { return colorOnEnter_; }
    void SetColorOnEnter(const QColor& color) { colorOnEnter_ = color; }
    QColor HintColor() const { return hintColor_; }
    void SetHintColor(const QColor& color) { hintColor_ = color; }
    QColor FontColor() const;
    void SetFontColor(const QColor& color);

    void MouseEnter();
    void MouseLeave();

    // Run after the label's own colour change.
    std::function<void()> OnMouseEnter;
    std::function<void()> OnMouseLeave;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    static QColor ApplicationHintColor();
    static void SetApplicationHintColor(const QColor& color);

    bool colorChange_ = true;
    QColor colorOnEnter_;
    QColor hintColor_;
    bool mouseInside_ = false;
    QColor savedFontColor_;
    QColor savedHintColor_;
};

} // namespace feedrail
