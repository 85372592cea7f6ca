#include "ui/dialog_parts.h"

#include <QLabel>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QToolButton>

namespace kuv {
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
