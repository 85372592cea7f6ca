#pragma once

#include <QStatusBar>

class QLabel;
class QTimer;

// The main window's status bar: its panels draw their own sunken frames, so
// it draws none around them (a style sheet would do it too, but would keep
// the colours of the palette it met first when the desktop's palette changes).
class TStatusBar final : public QStatusBar {
    Q_OBJECT

  public:
    explicit TStatusBar(QWidget* parent = nullptr);

    // A panel, its width while there is room and less when the window is
    // made narrower, as a Windows status bar clips its panels.
    QLabel* AddPanel(const char* name, int width, Qt::Alignment align);
    // A passing notice, in a panel of its own after the others, cleared after
    // ms: unlike showMessage it hides none of the panels while it shows.
    void ShowNotice(const QString& text, int ms);

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    QLabel* FNotice = nullptr;
    QTimer* FNoticeTimer = nullptr;
    int FPanels = 0;
};
