#include "ui/centring.h"

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

const char* const kCentringName = "kuvCentreWhenFramed";

// Watches a window until its frame is known, centres it once more then and
// goes away; a window hidden before that keeps the place it had.
class TCentreWhenFramed final : public QObject {
  public:
    explicit TCentreWhenFramed(QWidget& window) : QObject(&window), window_(window) {
        setObjectName(QString::fromLatin1(kCentringName));
        window.installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &window_) return false;
        switch (event->type()) {
            case QEvent::Show:
            case QEvent::Move:
            case QEvent::Resize:
                if (const QMargins frame = KnownFrame(window_); !frame.isNull()) {
                    Stop();
                    Place(frame);
                }
                break;
            case QEvent::Hide:
                Stop();
                break;
            default:
                break;
        }
        return false;
    }

  private:
    void Stop() {
        window_.removeEventFilter(this);
        deleteLater();
    }
    void Place(const QMargins& frame) {
        const QScreen* screen = window_.screen();
        if (screen == nullptr) return;
        const QPoint place = CentredFramePlace(screen->availableGeometry(), window_.size(), frame);
        // Also when the frame already seems to stand there: a place given
        // before the window existed may still be waiting to be applied.
        window_.move(place);
    }

    QWidget& window_;
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
    window.move(CentredFramePlace(screen->availableGeometry(), window.size(), frame));
    const bool watching = window.findChild<QObject*>(QString::fromLatin1(kCentringName),
                                                     Qt::FindDirectChildrenOnly) != nullptr;
    if (frame.isNull() && !watching) new TCentreWhenFramed(window);
}

}  // namespace kuv
