#pragma once

#include <vector>

#include <QString>
#include <QWidget>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

// The earlier versions of one day: a list, newest first, and the chosen
// version's text beside the entry as the pane holds it now, the lines that
// differ marked. It knows nothing of the diary: it is filled and says what
// the user chose.
class THistoryWindow final : public QWidget {
    Q_OBJECT

  public:
    struct Version {
        QString label;  // date, time and size
    };

    THistoryWindow();
    THistoryWindow(const THistoryWindow&) = delete;
    THistoryWindow& operator=(const THistoryWindow&) = delete;

    // The day and its versions (the first one chosen); an empty list says
    // there are none.
    void ShowVersions(const QString& day, const std::vector<Version>& versions);
    // The chosen version's text (or why it cannot be shown, readable false)
    // beside the current one.
    void ShowText(const QString& version, const QString& current, bool readable);
    int Chosen() const;

  signals:
    void versionChosen(int index);
    void restoreRequested(int index);

  private:
    QLabel* FDay = nullptr;
    QListWidget* FList = nullptr;
    QPlainTextEdit* FVersion = nullptr;
    QPlainTextEdit* FCurrent = nullptr;
    QPushButton* FRestore = nullptr;
};
