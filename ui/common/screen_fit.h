#pragma once

#include <QList>
#include <QMargins>
#include <QPoint>
#include <QRect>

class QWidget;

// One rule for where a window may stand: a place remembered at another scale,
// or on a screen since removed, must not leave the window out of reach.
namespace kuv {

// The title bar's height that must stay on a screen, across at least half
// the frame's width, for the window to be grabbed.
inline constexpr int kTitleBarReach = 30;

// Where a window's frame (title bar included) wanted at wanted goes, among the
// screens' available areas (the primary one first). The frame is made no
// larger than the area of the screen that holds most of it. It stays where it
// is when its title bar and at least half of it are on the screens; a frame
// on no screen at all is centred on the primary one; any other moves the
// least that puts it wholly on the screen that holds most of it.
QRect FitFrame(const QRect& wanted, const QList<QRect>& areas);

// The same for a place the program chose itself (beside another window): a
// frame partly off the screens is moved wholly onto one.
QRect FitFrameWhole(const QRect& wanted, const QList<QRect>& areas);

// FitFrame among this machine's screens.
QRect FitFrameOnScreens(const QRect& wanted);

// Puts a top-level window, by FitFrameWhole among this machine's screens, with its frame's top-left
// corner at place; frame is the frame the window is expected to get (the window is often not framed
// yet), so that neither the title bar nor the bottom edge passes the screen.
void PlaceOnScreens(QWidget& window, const QPoint& place, const QMargins& frame);

// Puts a window the program opens beside over (the main window) by
// PlaceOnScreens: to its right when the screen has room there, else centred
// over it.
void PlaceBeside(QWidget& window, const QWidget& over);

// The frame around a shown top-level window (nothing when it has none yet).
QMargins FrameOf(const QWidget& window);

}  // namespace kuv
