#pragma once

#include <vector>

#include <QString>
#include <QStringList>
#include <QWidget>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// Both versions of a day side by side: the entry as the upper pane holds it,
// and one of the day's conflict copies. The user can append the copy's text
// to the entry, or delete the copy. It knows nothing of the main window: it
// is filled with texts and says what the user chose.
class TConflictWindow final : public QWidget {
    Q_OBJECT

  public:
    struct Copy {
        QString label;  // what the copy is and when it was made
        QString path;   // the copy's file, as the core names it
        QString text;   // its text, or empty when it cannot be shown
        bool readable = true;
    };

    TConflictWindow();
    TConflictWindow(const TConflictWindow&) = delete;
    TConflictWindow& operator=(const TConflictWindow&) = delete;

    // Shows the day's entry and copies (the first one chosen), or brings the
    // window to the front with them; the first time centred over over.
    void ShowVersions(const QString& day, const QString& entry, const std::vector<Copy>& copies,
                      const QWidget* over = nullptr);

  signals:
    void appendRequested(const QString& copyText);
    void deleteRequested(const QString& path);

  private:
    void ShowCopy(int index);

    std::vector<Copy> FCopies;
    // The copies already added to the entry: a second click would add them twice.
    QStringList FAppended;
    bool FPlaced = false;
    QLabel* FDay = nullptr;
    QComboBox* FList = nullptr;
    QPlainTextEdit* FEntry = nullptr;
    QPlainTextEdit* FCopy = nullptr;
    QPushButton* FAppend = nullptr;
    QPushButton* FDelete = nullptr;
};
