#pragma once

#include <QColor>
#include <QPalette>

namespace kuv {

// A colour between the palette's background and one of its roles, share of
// the way, so that marks drawn with it follow the desktop's colours, light
// or dark.
inline QColor Tint(const QPalette& palette, QPalette::ColorRole role, double share) {
    const QColor base = palette.color(QPalette::Base);
    const QColor mark = palette.color(role);
    auto mix = [share](int a, int b) { return static_cast<int>(a + (b - a) * share + 0.5); };
    return QColor(mix(base.red(), mark.red()), mix(base.green(), mark.green()),
                  mix(base.blue(), mark.blue()));
}

}  // namespace kuv
