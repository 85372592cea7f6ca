#include "ui/common/dialog_parts.h"

#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProxyStyle>
#include <QRect>
#include <QString>
#include <QToolButton>

#include "ui/common/desktop_look.h"

namespace kuv {

namespace {

// The application's style with the Windows password mask. A style sheet
// would say it in one line, but a widget under a style sheet keeps the
// colours of the palette it was first shown with when the desktop's
// palette changes.
class TAsteriskStyle final : public QProxyStyle {
  public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        switch (hint) {
            case SH_LineEdit_PasswordCharacter:
                return u'*';
            case SH_LineEdit_PasswordMaskDelay:
                return 0;
            default:
                return QProxyStyle::styleHint(hint, option, widget, returnData);
        }
    }
};

}  // namespace

QLabel* MakePicture(QWidget* parent, const char* name, const QString& resource, const QRect& rect) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(rect);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setScaledContents(false);
    label->setPixmap(AssetPixmap(resource));
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

void MaskWithAsterisks(QLineEdit& edit) {
    edit.setEchoMode(QLineEdit::Password);
    auto* style = new TAsteriskStyle;
    style->setParent(&edit);
    edit.setStyle(style);
}

}  // namespace kuv
