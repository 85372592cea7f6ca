#include "ui/common/centring.h"

#include <algorithm>

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace kuv {

namespace {

QMargins KnownFrame(const QWidget& window) {
    const QWindow* handle = window.windowHandle();
    return handle != nullptr ? handle->frameMargins() : QMargins();
}

// Margins of a real frame (while a window is laid out anew Qt may report
// nonsense for a moment).
bool IsFrame(const QMargins& m) {
    return !m.isNull() && m.left() >= 0 && m.top() >= 0 && m.right() >= 0 && m.bottom() >= 0;
}

void Place(QWidget& window, const QMargins& frame) {
    const QScreen* screen = window.screen();
    if (screen == nullptr || !window.isVisible()) return;
    // Also when the frame already seems to stand there: a place given
    // before the window existed may still be waiting to be applied.
    window.move(CentredFramePlace(screen->availableGeometry(), window.size(), frame));
}

const char* const kCentringName = "kuvCentreWhenFramed";

// Watches a window until its frame is known, centres it once more then and
// goes away; a window hidden before that keeps the place it had.
class TCentreWhenFramed final : public QObject {
  public:
    explicit TCentreWhenFramed(QWidget& window) : QObject(&window), FWindow(window) {
        setObjectName(QString::fromLatin1(kCentringName));
        window.installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &FWindow) return false;
        switch (event->type()) {
            case QEvent::Hide:
                Stop();
                break;
            // A window manager that frames a window where it stands sends
            // no move: the frame is noticed at the next activation or update.
            case QEvent::Show:
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::WindowActivate:
            case QEvent::UpdateRequest:
                if (const QMargins frame = KnownFrame(FWindow); IsFrame(frame)) {
                    Stop();
                    // Moved from the event loop, not from inside an event of the window.
                    QMetaObject::invokeMethod(
                        &FWindow, [window = &FWindow, frame] { Place(*window, frame); },
                        Qt::QueuedConnection);
                }
                break;
            default:
                break;
        }
        return false;
    }

  private:
    void Stop() {
        FWindow.removeEventFilter(this);
        deleteLater();
    }
    QWidget& FWindow;
};

}  // namespace

QPoint CentredFramePlace(const QRect& area, const QSize& clientSize, const QMargins& frame) {
    const QSize outer = clientSize.grownBy(frame);
    return {area.left() + std::max((area.width() - outer.width()) / 2, 0),
            area.top() + std::max((area.height() - outer.height()) / 2, 0)};
}

void CentreOnScreen(QWidget& window, const QScreen* screen) {
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QMargins frame = KnownFrame(window);
    window.move(CentredFramePlace(screen->availableGeometry(), window.size(),
                                  IsFrame(frame) ? frame : QMargins()));
    const bool watching = window.findChild<QObject*>(QString::fromLatin1(kCentringName),
                                                     Qt::FindDirectChildrenOnly) != nullptr;
    if (!IsFrame(frame) && !watching) new TCentreWhenFramed(window);
}

QSize SizeOnScreen(const QSize& wanted, const QWidget* over) {
    const QScreen* screen = over != nullptr ? over->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return wanted;
    return wanted.boundedTo(screen->availableGeometry().size());
}

}  // namespace kuv
