#pragma once

#include <QElapsedTimer>
#include <QStatusBar>

#include <deque>

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
    // ms: unlike showMessage it hides none of the panels while it shows. A
    // notice that comes while another shows waits its turn, and the one
    // showing gives way once it has been up for kNoticeLeastMs, so that two
    // at once (a restored text and a failed backup) are both read.
    void ShowNotice(const QString& text, int ms);

    static constexpr int kNoticeLeastMs = 4000;

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    struct PendingNotice {
        QString text;
        int ms;
    };
    void Show(const QString& text, int ms);
    void NoticeEnded();

    QLabel* FNotice = nullptr;
    std::deque<PendingNotice> FPending;
    QElapsedTimer FNoticeShown;
    QTimer* FNoticeTimer = nullptr;
    int FPanels = 0;
};
