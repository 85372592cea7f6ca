#pragma once

#include <QFrame>
#include <QString>

class QLabel;
class QPushButton;

// A bar inside the window that tells something the user did not ask for
// (a text recovered at the last end) without taking the keyboard: a line of
// text, a button to open the folder it names, and one to close the bar.
class TInfoBar final : public QFrame {
    Q_OBJECT

  public:
    explicit TInfoBar(QWidget* parent = nullptr);

    // Shows text; the button opens folder (none when folder is empty).
    void Show(const QString& text, const QString& folder);

    // Opens a folder on the desktop; tests replace it.
    using FolderOpener = void (*)(const QString& folder);
    static void SetFolderOpener(FolderOpener opener);

  private:
    QLabel* FText;
    QPushButton* FOpen;
    QString FFolder;
};
