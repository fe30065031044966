#pragma once

#include "compare/ProgramComparison.h"

#include <QColor>
#include <QPalette>

namespace feedrail {

// The grounds of the compare window's marked rows: hues mixed into the
// palette's own base, so that the palette's text reads on them in a light
// theme and a dark one alike.
struct CompareColours {
    QColor Changed;
    QColor Added;
    QColor Removed;
    // Where one side has no line against the other's.
    QColor Missing;

    static CompareColours For(const QPalette& palette);
    // The ground of a row's side; invalid for a row that is the same.
    QColor Ground(CompareRow::Kind kind, bool hasLine) const;
};

} // namespace feedrail
