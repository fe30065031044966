#include "about/widgets/TBULabel.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEnterEvent>
#include <QToolTip>
#include <gtest/gtest.h>

namespace feedrail {
namespace {

QColor HintColour() {
    return QToolTip::palette().color(QPalette::ToolTipBase);
}

void SetHintColour(const QColor& colour) {
    QPalette colours = QToolTip::palette();
    colours.setColor(QPalette::ToolTipBase, colour);
    QToolTip::setPalette(colours);
}

void Enter(QWidget& widget) {
    QEnterEvent event(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(&widget, &event);
}

void Leave(QWidget& widget) {
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(&widget, &event);
}

TEST(HoverLabel, TheDefaultColoursAreTheSystemsHighlightedTextAndToolTip) {
    const TBULabel label;
    EXPECT_TRUE(label.ColorChange());
    EXPECT_EQ(label.ColorOnEnter(), QApplication::palette().color(QPalette::HighlightedText));
    EXPECT_EQ(label.HintColor(), QApplication::palette().color(QPalette::ToolTipBase));
}

TEST(HoverLabel, ThePointerSwapsTheColoursInAndRestoresThemOnTheWayOut) {
    for (const bool colorChange : {true, false}) {
        SCOPED_TRACE(colorChange);
        SetHintColour(Qt::lightGray);
        TBULabel label;
        label.SetFontColor(Qt::red);
        label.SetColorOnEnter(Qt::yellow);
        label.SetHintColor(Qt::blue);
        label.SetColorChange(colorChange);
        QStringList seen;
        label.OnMouseEnter = [&] { seen << label.FontColor().name() + HintColour().name(); };
        label.OnMouseLeave = [&] { seen << label.FontColor().name() + HintColour().name(); };
        const QString inside = QColor(colorChange ? Qt::yellow : Qt::red).name() + "#0000ff";
        const QString outside = QColor(Qt::red).name() + QColor(Qt::lightGray).name();

        Enter(label);
        Enter(label);
        Leave(label);
        Leave(label);
        EXPECT_EQ(seen, QStringList({inside, inside, outside, outside}));
        EXPECT_EQ(label.FontColor(), QColor(Qt::red));
        EXPECT_EQ(HintColour(), QColor(Qt::lightGray));
    }
}

// Closed with the pointer on it, a label gives back the colours it took.
TEST(HoverLabel, HidingUnderThePointerRestoresTheColours) {
    const QColor hint = HintColour();
    TBULabel label;
    label.SetHintColor(Qt::yellow);
    label.SetColorOnEnter(Qt::red);
    label.show();
    const QColor font = label.FontColor();
    Enter(label);
    ASSERT_EQ(label.FontColor(), QColor(Qt::red));
    label.hide();
    EXPECT_EQ(label.FontColor(), font);
    EXPECT_EQ(HintColour(), hint);
}

} // namespace
} // namespace feedrail
