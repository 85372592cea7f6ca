#include "ui/common/bevel.h"

#include <QPainter>

TBevel::TBevel(Edge edge, QWidget* parent) : QWidget(parent), FEdge(edge) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TBevel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QColor dark = palette().color(QPalette::Dark);
    const QColor light = palette().color(QPalette::Light);
    const int w = width();
    const int h = height();
    switch (FEdge) {
        case Edge::Left:
            p.fillRect(0, 0, 1, h, dark);
            p.fillRect(1, 0, 1, h, light);
            break;
        case Edge::Right:
            p.fillRect(w - 2, 0, 1, h, dark);
            p.fillRect(w - 1, 0, 1, h, light);
            break;
        case Edge::Top:
            p.fillRect(0, 0, w, 1, dark);
            p.fillRect(0, 1, w, 1, light);
            break;
    }
}
