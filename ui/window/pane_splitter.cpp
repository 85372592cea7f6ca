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
    FLower = lower;
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
        FLower->hide();
        handle(1)->hide();
        return;
    }
    FLowerHeight = height;
    FLower->show();
    handle(1)->show();
    FitPanes();
}

int TPaneSplitter::LowerHeight() const {
    if (FLower->isHidden()) return 0;
    const QList<int> heights = sizes();
    return isVisible() && heights.size() > 1 ? heights[1] : FLowerHeight;
}

// The lower pane at its height, as far as the upper one keeps its minimum.
void TPaneSplitter::FitPanes() {
    const int room = contentsRect().height() - handleWidth();
    const int lower = std::clamp(FLowerHeight, 0, std::max(room - kMinUpper, 0));
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
    FLowerHeight = heights[1];
}

bool TPaneSplitter::eventFilter(QObject* watched, QEvent* event) {
    if (watched == this && event->type() == QEvent::Resize && FLower != nullptr &&
        !FLower->isHidden()) {
        FitPanes();
    }
    if (handle(1) != nullptr && watched == handle(1)) {
        if (FilterDrag(event)) return true;
    } else if (FDragging && event->type() == QEvent::KeyPress &&
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
            FDragging = true;
            FDragCancelled = false;
            FDragStart = press->position();
            FDragSizes = sizes();
            FDragLowerHeight = FLowerHeight;
            // Esc goes to whatever control has the focus; the application sees it first.
            qApp->installEventFilter(this);
            return false;
        }
        case QEvent::MouseMove:
            return FDragCancelled;
        case QEvent::MouseButtonRelease: {
            if (FEndingDrag || !FDragging) return false;
            FDragging = false;
            qApp->removeEventFilter(this);
            const bool cancelled = FDragCancelled;
            FDragCancelled = false;
            return cancelled;
        }
        default:
            return false;
    }
}

void TPaneSplitter::CancelDrag() {
    if (FDragCancelled) return;
    FDragCancelled = true;
    // Releasing where the drag began takes the band away and leaves both
    // panes as they were.
    QWidget* grip = handle(1);
    QMouseEvent release(QEvent::MouseButtonRelease, FDragStart, grip->mapToGlobal(FDragStart),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    FEndingDrag = true;
    QApplication::sendEvent(grip, &release);
    FEndingDrag = false;
    // The release may land a pixel off; the panes get back their exact heights.
    setSizes(FDragSizes);
    FLowerHeight = FDragLowerHeight;
}
