#include "ui/dialog_parts.h"

#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QToolButton>

namespace kuv {
namespace {

// QFrame's own lines sit in the middle of the frame; this one keeps to the top.
class TopLine final : public QFrame {
  public:
    using QFrame::QFrame;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(palette().color(QPalette::Dark));
        p.drawLine(0, 0, width() - 1, 0);
        p.setPen(palette().color(QPalette::Light));
        p.drawLine(0, 1, width() - 1, 1);
    }
};

}  // namespace

QLabel* MakePicture(QWidget* parent, const char* name, const QString& resource, const QRect& rect) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(rect);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setScaledContents(false);
    label->setPixmap(QPixmap(resource));
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

QFrame* MakeTopLine(QWidget* parent, const char* name, const QRect& rect) {
    auto* line = new TopLine(parent);
    line->setObjectName(QString::fromLatin1(name));
    line->setGeometry(rect);
    line->setFocusPolicy(Qt::NoFocus);
    return line;
}

QToolButton* MakeFlatButton(QWidget* parent, const char* name, const QString& caption,
                            const QRect& rect) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(caption);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(rect);
    return button;
}

}  // namespace kuv
