#pragma once

#include <QColor>
#include <QPalette>

namespace feedrail {

// Contrast as the Web Content Accessibility Guidelines count it: from 1 (the
// same) to 21 (black on white); text reads well from 4.5 on.
double ContrastRatio(const QColor& a, const QColor& b);

// A red that reads on `ground`: a dark red on a light desktop, a light red on
// a dark one, so that a warning keeps its colour under either palette.
QColor ReadableRed(const QColor& ground);

// Gives `widget`'s text the colour `text` while it is enabled; disabled, it
// keeps the palette's own grey.
void SetEnabledTextColour(QWidget& widget, QPalette::ColorRole role, const QColor& text);

} // namespace feedrail
