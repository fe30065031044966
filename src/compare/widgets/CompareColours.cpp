#include "compare/widgets/CompareColours.h"

namespace feedrail {
namespace {

QColor Mixed(const QColor& base, const QColor& hue, double share) {
    const auto mix = [share](int a, int b) {
        return static_cast<int>(a * (1.0 - share) + b * share + 0.5);
    };
    return QColor(mix(base.red(), hue.red()), mix(base.green(), hue.green()),
                  mix(base.blue(), hue.blue()));
}

} // namespace

CompareColours CompareColours::For(const QPalette& palette) {
    const QColor base = palette.color(QPalette::Base);
    // A third of the hue marks a row plainly and leaves the text's contrast
    // above 4.5 on white and on a dark grey.
    constexpr double Share = 0.3;
    return {Mixed(base, QColor(235, 170, 0), Share), Mixed(base, QColor(0, 170, 60), Share),
            Mixed(base, QColor(225, 30, 30), Share),
            Mixed(base, palette.color(QPalette::Text), 0.12)};
}

QColor CompareColours::Ground(CompareRow::Kind kind, bool hasLine) const {
    if (!hasLine) {
        return Missing;
    }
    switch (kind) {
    case CompareRow::Changed:
        return Changed;
    case CompareRow::Added:
        return Added;
    case CompareRow::Removed:
        return Removed;
    case CompareRow::Same:
        break;
    }
    return {};
}

} // namespace feedrail
