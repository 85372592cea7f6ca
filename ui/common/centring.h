#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QScreen;
class QWidget;

namespace kuv {

// The top-left corner of a window's frame (what QWidget::move places) that
// centres the whole frame, title bar included, in area; a frame larger than
// the area keeps its top-left corner, and so its title bar, inside it.
QPoint CentredFramePlace(const QRect& area, const QSize& clientSize, const QMargins& frame);

// Centres a top-level window on the screen (the primary one when null) by
// its frame. Under a window manager the frame is known only once the window
// is on the screen: the window is placed with the frame known so far now,
// and centred once more as soon as the real frame is known.
void CentreOnScreen(QWidget& window, const QScreen* screen);

// A size no larger than the available area of the screen of over (the
// primary screen when null), so that no window is taller than the screen.
QSize SizeOnScreen(const QSize& wanted, const QWidget* over);

}  // namespace kuv
