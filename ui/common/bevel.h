#pragma once

#include <QWidget>

// An etched line along one edge of its rectangle, as the window layouts use
// between toolbar groups and above button rows.
class TBevel final : public QWidget {
    Q_OBJECT

  public:
    enum class Edge { Left, Right, Top };
    explicit TBevel(Edge edge, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Edge FEdge;
};
