#include "common/widgets/ReadableColours.h"

#include <QWidget>
#include <algorithm>
#include <cmath>

namespace feedrail {
namespace {

double Channel(double value) {
    return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& colour) {
    return 0.2126 * Channel(colour.redF()) + 0.7152 * Channel(colour.greenF()) +
           0.0722 * Channel(colour.blueF());
}

} // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    const double first = Luminance(a);
    const double second = Luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QColor ReadableRed(const QColor& ground) {
    const QColor darkRed(0xb0, 0x00, 0x00);
    const QColor lightRed(0xff, 0x80, 0x80);
    return ContrastRatio(darkRed, ground) >= ContrastRatio(lightRed, ground) ? darkRed : lightRed;
}

void SetEnabledTextColour(QWidget& widget, QPalette::ColorRole role, const QColor& text) {
    QPalette colours = widget.palette();
    colours.setColor(QPalette::Active, role, text);
    colours.setColor(QPalette::Inactive, role, text);
    widget.setPalette(colours);
}

} // namespace feedrail
