#include "ui/common/desktop_style.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPointer>
#include <QStyleOption>
#include <QWidget>

namespace {

// A standard icon of style, made on first use.
class TDeferredIconEngine final : public QIconEngine {
  public:
    TDeferredIconEngine(QStyle* style, QStyle::StandardPixmap which, Qt::LayoutDirection direction)
        : FStyle(style), FWhich(which), FDirection(direction) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        Icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return Icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        return Icon().pixmap(size, scale, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return Icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return Icon().availableSizes(mode, state);
    }
    QIconEngine* clone() const override {
        return new TDeferredIconEngine(FStyle, FWhich, FDirection);
    }

  private:
    const QIcon& Icon() {
        if (!FMade && FStyle != nullptr) {
            QStyleOption option;
            option.direction = FDirection;
            FIcon = FStyle->standardIcon(FWhich, &option);
            FMade = true;
        }
        return FIcon;
    }

    QPointer<QStyle> FStyle;
    QStyle::StandardPixmap FWhich;
    Qt::LayoutDirection FDirection;
    QIcon FIcon;
    bool FMade = false;
};

}  // namespace

TDesktopStyle::TDesktopStyle(const QString& key) : QProxyStyle(key) {}

QIcon TDesktopStyle::standardIcon(StandardPixmap which, const QStyleOption* option,
                                  const QWidget* widget) const {
    if (which == SP_ToolBarHorizontalExtensionButton ||
        which == SP_ToolBarVerticalExtensionButton) {
        const Qt::LayoutDirection direction =
            option != nullptr ? option->direction
                              : (widget != nullptr ? widget->layoutDirection()
                                                   : QGuiApplication::layoutDirection());
        return QIcon(new TDeferredIconEngine(baseStyle(), which, direction));
    }
    return QProxyStyle::standardIcon(which, option, widget);
}
