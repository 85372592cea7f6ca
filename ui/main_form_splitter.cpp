#include "ui/main_form.h"

#include <algorithm>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSplitter>

#include "ui/main_form_metrics.h"

// The lower pane and the splitter above it: shown, hidden, dragged, collapsed.

using namespace kuv::mainform;

// Heights of the lower pane: -1 hides it with the splitter; 0 leaves it
// collapsed below a splitter that can be dragged open.
void TMainForm::SetLowerPaneHeight(int height) {
    // The splitter would hide or show its handle with the pane only on its
    // next layout; the window shows the new state at once.
    if (height < 0) {
        Memo2->hide();
        Splitter1->handle(1)->hide();
        return;
    }
    FLowerHeight = height;
    Memo2->show();
    Splitter1->handle(1)->show();
    const int room = Splitter1->contentsRect().height() - Splitter1->handleWidth();
    const int lower = std::clamp(height, 0, std::max(room - kMinUpperPane, 0));
    Splitter1->setSizes({std::max(room - lower, 0), lower});
}

int TMainForm::LowerPaneHeight() const {
    if (Memo2->isHidden()) return 0;
    const QList<int> sizes = Splitter1->sizes();
    return Splitter1->isVisible() && sizes.size() > 1 ? sizes[1] : FLowerHeight;
}

void TMainForm::OnSplitterMoved() {
    QList<int> sizes = Splitter1->sizes();
    if (sizes.size() < 2) return;
    if (sizes[1] > 0 && sizes[1] <= kCollapseLowerAt) {
        sizes[0] += sizes[1];
        sizes[1] = 0;
        Splitter1->setSizes(sizes);
    }
    FLowerHeight = sizes[1];
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    // The lower pane keeps its height when the window is resized; the upper
    // pane takes the difference (but keeps its 30 pixels).
    if (watched == Splitter1 && event->type() == QEvent::Resize && !Memo2->isHidden()) {
        const int room = Splitter1->contentsRect().height() - Splitter1->handleWidth();
        const int lower = std::clamp(FLowerHeight, 0, std::max(room - kMinUpperPane, 0));
        Splitter1->setSizes({std::max(room - lower, 0), lower});
    }
    if (watched == Splitter1->handle(1)) {
        if (FilterSplitterDrag(event)) return true;
    } else if (FDragging && event->type() == QEvent::KeyPress &&
               static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        CancelSplitterDrag();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// A drag of the splitter that Esc cancels: the handle goes back where it was
// and the rest of the drag is ignored.
bool TMainForm::FilterSplitterDrag(QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const auto* press = static_cast<QMouseEvent*>(event);
            if (press->button() != Qt::LeftButton) return false;
            FDragging = true;
            FDragCancelled = false;
            FDragStart = press->position();
            FDragSizes = Splitter1->sizes();
            FDragLowerHeight = FLowerHeight;
            // Esc goes to whatever control has the focus; the application sees it first.
            qApp->installEventFilter(this);
            return false;
        }
        case QEvent::MouseMove:
            return FDragCancelled;
        case QEvent::MouseButtonRelease: {
            if (FEndingDrag) return false;
            if (!FDragging) return false;
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

void TMainForm::CancelSplitterDrag() {
    if (FDragCancelled) return;
    FDragCancelled = true;
    // Releasing where the drag began takes the rubber band away and leaves
    // both panes as they were.
    QWidget* handle = Splitter1->handle(1);
    QMouseEvent release(QEvent::MouseButtonRelease, FDragStart, handle->mapToGlobal(FDragStart),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    FEndingDrag = true;
    QApplication::sendEvent(handle, &release);
    FEndingDrag = false;
    // The release may land a pixel off; the panes get back their exact heights.
    Splitter1->setSizes(FDragSizes);
    FLowerHeight = FDragLowerHeight;
}
