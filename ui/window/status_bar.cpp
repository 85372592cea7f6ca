#include "ui/window/status_bar.h"

#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>

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

TStatusBar::TStatusBar(QWidget* parent)
    : QStatusBar(parent), FNotice(new QLabel(this)), FNoticeTimer(new QTimer(this)) {
    FNotice->setObjectName(QStringLiteral("StatusNotice"));
    FNotice->setMinimumWidth(0);
    FNotice->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    addWidget(FNotice, 1);
    FNoticeTimer->setSingleShot(true);
    connect(FNoticeTimer, &QTimer::timeout, FNotice, &QLabel::clear);
}

QLabel* TStatusBar::AddPanel(const char* name, int width, Qt::Alignment align) {
    auto* label = new TStatusPanel(width, this);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(align | Qt::AlignVCenter);
    // The panels keep their order before the notice, which takes the rest.
    insertWidget(FPanels++, label);
    return label;
}

void TStatusBar::ShowNotice(const QString& text, int ms) {
    FNotice->setText(text);
    FNotice->setToolTip(text);
    FNoticeTimer->start(ms);
}

void TStatusBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_PanelStatusBar, &option, &painter, this);
}
