#include "ui/window/status_bar.h"

#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>

#include <algorithm>

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
    connect(FNoticeTimer, &QTimer::timeout, this, &TStatusBar::NoticeEnded);
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
    if (!FNoticeTimer->isActive() || FNotice->text() == text) {
        Show(text, ms);
        return;
    }
    for (const PendingNotice& p : FPending) {
        if (p.text == text) return;
    }
    FPending.push_back({text, ms});
    const qint64 left = std::max<qint64>(0, kNoticeLeastMs - FNoticeShown.elapsed());
    if (FNoticeTimer->remainingTime() > left) FNoticeTimer->start(static_cast<int>(left));
}

void TStatusBar::Show(const QString& text, int ms) {
    FNotice->setText(text);
    FNotice->setToolTip(text);
    FNoticeShown.start();
    FNoticeTimer->start(ms);
}

void TStatusBar::NoticeEnded() {
    if (FPending.empty()) {
        FNotice->clear();
        FNotice->setToolTip(QString());
        return;
    }
    const PendingNotice next = FPending.front();
    FPending.pop_front();
    // The next one gives way to a later one in its turn.
    Show(next.text, FPending.empty() ? next.ms : std::min(next.ms, kNoticeLeastMs));
}

void TStatusBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_PanelStatusBar, &option, &painter, this);
}
