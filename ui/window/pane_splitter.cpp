#include "ui/window/pane_splitter.h"

#include <algorithm>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

TPaneSplitter::TPaneSplitter(QWidget* parent) : QSplitter(Qt::Vertical, parent) {
    // The new height is given on release; meanwhile a band follows the mouse.
    setOpaqueResize(false);
    connect(this, &QSplitter::splitterMoved, this, [this] { OnMoved(); });
}

void TPaneSplitter::SetPanes(QWidget* upper, QWidget* lower) {
    addWidget(upper);
    addWidget(lower);
    lower_ = lower;
    upper->setMinimumHeight(kMinUpper);
    // The lower pane may shrink to nothing; its collapse rule is OnMoved's,
    // not the splitter's.
    QSizePolicy policy = lower->sizePolicy();
    policy.setVerticalPolicy(QSizePolicy::Ignored);
    lower->setSizePolicy(policy);
    setCollapsible(0, false);
    setCollapsible(1, true);
    setStretchFactor(0, 1);
    setStretchFactor(1, 0);
    handle(1)->setCursor(Qt::SizeVerCursor);
    installEventFilter(this);
    handle(1)->installEventFilter(this);
}

void TPaneSplitter::SetLowerHeight(int height) {
    // The splitter would hide or show its handle with the pane only on its
    // next layout; the window shows the new state at once.
    if (height < 0) {
        lower_->hide();
        handle(1)->hide();
        return;
    }
    lowerHeight_ = height;
    lower_->show();
    handle(1)->show();
    FitPanes();
}

int TPaneSplitter::LowerHeight() const {
    if (lower_->isHidden()) return 0;
    const QList<int> heights = sizes();
    return isVisible() && heights.size() > 1 ? heights[1] : lowerHeight_;
}

// The lower pane at its height, as far as the upper one keeps its minimum.
void TPaneSplitter::FitPanes() {
    const int room = contentsRect().height() - handleWidth();
    const int lower = std::clamp(lowerHeight_, 0, std::max(room - kMinUpper, 0));
    setSizes({std::max(room - lower, 0), lower});
}

void TPaneSplitter::OnMoved() {
    QList<int> heights = sizes();
    if (heights.size() < 2) return;
    if (heights[1] > 0 && heights[1] <= kCollapseAt) {
        heights[0] += heights[1];
        heights[1] = 0;
        setSizes(heights);
    }
    lowerHeight_ = heights[1];
}

bool TPaneSplitter::eventFilter(QObject* watched, QEvent* event) {
    if (watched == this && event->type() == QEvent::Resize && lower_ != nullptr &&
        !lower_->isHidden()) {
        FitPanes();
    }
    if (handle(1) != nullptr && watched == handle(1)) {
        if (FilterDrag(event)) return true;
    } else if (dragging_ && event->type() == QEvent::KeyPress &&
               static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        CancelDrag();
        return true;
    }
    return QSplitter::eventFilter(watched, event);
}

bool TPaneSplitter::FilterDrag(QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const auto* press = static_cast<QMouseEvent*>(event);
            if (press->button() != Qt::LeftButton) return false;
            dragging_ = true;
            dragCancelled_ = false;
            dragStart_ = press->position();
            dragSizes_ = sizes();
            dragLowerHeight_ = lowerHeight_;
            // Esc goes to whatever control has the focus; the application sees it first.
            qApp->installEventFilter(this);
            return false;
        }
        case QEvent::MouseMove:
            return dragCancelled_;
        case QEvent::MouseButtonRelease: {
            if (endingDrag_ || !dragging_) return false;
            dragging_ = false;
            qApp->removeEventFilter(this);
            const bool cancelled = dragCancelled_;
            dragCancelled_ = false;
            return cancelled;
        }
        default:
            return false;
    }
}

void TPaneSplitter::CancelDrag() {
    if (dragCancelled_) return;
    dragCancelled_ = true;
    // Releasing where the drag began takes the band away and leaves both
    // panes as they were.
    QWidget* grip = handle(1);
    QMouseEvent release(QEvent::MouseButtonRelease, dragStart_, grip->mapToGlobal(dragStart_),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    endingDrag_ = true;
    QApplication::sendEvent(grip, &release);
    endingDrag_ = false;
    // The release may land a pixel off; the panes get back their exact heights.
    setSizes(dragSizes_);
    lowerHeight_ = dragLowerHeight_;
}
