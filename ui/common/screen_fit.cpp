#include "ui/common/screen_fit.h"

#include <algorithm>
#include <cstdint>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace kuv {

namespace {

std::int64_t AreaOf(const QRect& r) {
    return r.isEmpty() ? 0 : std::int64_t{r.width()} * r.height();
}

// The title bar can be grabbed and half of the frame is seen.
bool WithinReach(const QRect& frame, const QList<QRect>& areas) {
    const QRect title(frame.topLeft(),
                      QSize(frame.width(), std::min(frame.height(), kTitleBarReach)));
    int titleSeen = 0;
    std::int64_t seen = 0;
    for (const QRect& area : areas) {
        const QRect t = title & area;
        if (t.height() == title.height()) titleSeen += t.width();
        seen += AreaOf(frame & area);
    }
    return titleSeen * 2 >= frame.width() && seen * 2 >= AreaOf(frame);
}

enum class Reach { Half, Whole };

QRect Fit(const QRect& wanted, const QList<QRect>& areas, Reach reach) {
    if (areas.isEmpty() || wanted.isEmpty()) return wanted;
    qsizetype best = 0;
    std::int64_t bestSeen = 0;
    for (qsizetype i = 0; i < areas.size(); ++i) {
        const std::int64_t seen = AreaOf(wanted & areas[i]);
        if (seen > bestSeen) {
            best = i;
            bestSeen = seen;
        }
    }
    const QRect area = areas[best];
    QRect frame(wanted.topLeft(), wanted.size().boundedTo(area.size()));
    if (bestSeen == 0) {
        frame.moveTopLeft(area.topLeft() + QPoint((area.width() - frame.width()) / 2,
                                                  (area.height() - frame.height()) / 2));
        return frame;
    }
    if (reach == Reach::Half && WithinReach(frame, areas)) return frame;
    frame.moveTopLeft(
        QPoint(std::clamp(frame.left(), area.left(), area.left() + area.width() - frame.width()),
               std::clamp(frame.top(), area.top(), area.top() + area.height() - frame.height())));
    return frame;
}

// The available areas of this machine's screens, the primary one first.
QList<QRect> ScreenAreas() {
    QList<QRect> areas;
    if (QScreen* primary = QGuiApplication::primaryScreen()) areas << primary->availableGeometry();
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen != QGuiApplication::primaryScreen()) areas << screen->availableGeometry();
    }
    return areas;
}

}  // namespace

QRect FitFrame(const QRect& wanted, const QList<QRect>& areas) {
    return Fit(wanted, areas, Reach::Half);
}

QRect FitFrameWhole(const QRect& wanted, const QList<QRect>& areas) {
    return Fit(wanted, areas, Reach::Whole);
}

QRect FitFrameOnScreens(const QRect& wanted) {
    return FitFrame(wanted, ScreenAreas());
}

void PlaceOnScreens(QWidget& window, const QPoint& place, const QMargins& frame) {
    const QRect fitted = FitFrameWhole(QRect(place, window.size().grownBy(frame)), ScreenAreas());
    window.resize(fitted.size().shrunkBy(frame));
    window.move(fitted.topLeft());
}

void PlaceBeside(QWidget& window, const QWidget& over) {
    constexpr int kBeside = 8;  // px between the two windows
    const QRect main = over.frameGeometry();
    QPoint place(main.right() + kBeside, main.top());
    const QScreen* screen = over.screen();
    if (screen != nullptr && place.x() + window.width() > screen->availableGeometry().right()) {
        place = main.center() - QPoint(window.width() / 2, window.height() / 2);
    }
    PlaceOnScreens(window, place, FrameOf(over));
}

QMargins FrameOf(const QWidget& window) {
    const QRect outer = window.frameGeometry();
    const QRect inner = window.geometry();
    const QMargins m(inner.left() - outer.left(), inner.top() - outer.top(),
                     outer.right() - inner.right(), outer.bottom() - inner.bottom());
    return m.left() >= 0 && m.top() >= 0 && m.right() >= 0 && m.bottom() >= 0 ? m : QMargins();
}

}  // namespace kuv
