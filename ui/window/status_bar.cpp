#include "ui/window/status_bar.h"

#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace {

class TStatusPanel final : public QLabel {
  public:
    TStatusPanel(int width, QWidget* parent) : QLabel(parent), FWidth(width) {
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
        setMaximumWidth(width);
    }
    QSize sizeHint() const override { return {FWidth, QLabel::sizeHint().height()}; }
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

  private:
    int FWidth;
};

}  // namespace

QLabel* TStatusBar::AddPanel(const char* name, int width, Qt::Alignment align) {
    auto* label = new TStatusPanel(width, this);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(align | Qt::AlignVCenter);
    addWidget(label);
    return label;
}

void TStatusBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_PanelStatusBar, &option, &painter, this);
}
