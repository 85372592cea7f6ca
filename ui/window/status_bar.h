#pragma once

#include <QStatusBar>

class QLabel;

// The main window's status bar: its panels draw their own sunken frames, so
// it draws none around them (a style sheet would do it too, but would keep
// the colours of the palette it met first when the desktop's palette changes).
class TStatusBar final : public QStatusBar {
    Q_OBJECT

  public:
    using QStatusBar::QStatusBar;

    // A panel, its width while there is room and less when the window is
    // made narrower, as a Windows status bar clips its panels.
    QLabel* AddPanel(const char* name, int width, Qt::Alignment align);

  protected:
    void paintEvent(QPaintEvent*) override;
};
