#pragma once

#include <QList>
#include <QPointF>
#include <QSplitter>

// The splitter between the upper and the lower pane. Dragging it moves a band
// with the mouse and gives the lower pane its height on release; Esc during
// the drag cancels it. The upper pane keeps at least kMinUpper pixels, and a
// lower pane dragged to kCollapseAt pixels or less collapses to nothing, with
// the handle left in place to drag it open again. The lower pane keeps its
// height when the window is resized.
class TPaneSplitter final : public QSplitter {
    Q_OBJECT

  public:
    static constexpr int kMinUpper = 30;
    static constexpr int kCollapseAt = 30;

    explicit TPaneSplitter(QWidget* parent = nullptr);
    TPaneSplitter(const TPaneSplitter&) = delete;
    TPaneSplitter& operator=(const TPaneSplitter&) = delete;

    // Adds the two panes, upper first, and sets up the handle between them.
    void SetPanes(QWidget* upper, QWidget* lower);

    // Shows the lower pane at height (0 leaves it collapsed below a handle
    // that can be dragged open), or hides it with the handle (height < 0).
    void SetLowerHeight(int height);
    // The lower pane's height in effect: 0 while hidden or collapsed.
    int LowerHeight() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void FitPanes();
    void OnMoved();
    bool FilterDrag(QEvent* event);
    void CancelDrag();

    QWidget* FLower = nullptr;
    int FLowerHeight = 154;  // while shown
    bool FDragging = false;
    bool FDragCancelled = false;
    bool FEndingDrag = false;  // the release that cancels the drag is on its way
    QPointF FDragStart;
    QList<int> FDragSizes;
    int FDragLowerHeight = 0;
};
