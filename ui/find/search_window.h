#pragma once

#include <string>
#include <vector>

#include <QWidget>

class QLabel;
class QLineEdit;
class QListView;
class QModelIndex;
class QProgressBar;
class QTimer;
class TCorpusLoader;
class TSearchResultModel;
class TTagList;

// The modeless search window: terms typed into one field, the entries that
// hold them all listed as the user types, newest first. It knows nothing of
// the window that opens it: it is given the diary to search and says which
// day the user chose.
class TSearchWindow final : public QWidget {
    Q_OBJECT

  public:
    explicit TSearchWindow(QWidget* parent = nullptr);
    TSearchWindow(const TSearchWindow&) = delete;
    TSearchWindow& operator=(const TSearchWindow&) = delete;

    // The diary to search: its data folder and the session's password (empty
    // while the diary is locked). An open window reads the new one at once.
    void SetDiary(const std::string& dataPath, const std::string& password);
    // The menu command: shows the window, or brings it to the front, with
    // the query selected, and reads again what changed on disk since it was
    // read. It is centred over over the first time.
    void OpenSearch(const QWidget* over);
    // Files of the diary changed (a save, an import, a writer outside): an
    // open window reads again the days of those years, or of every year
    // when years is empty.
    void FilesChanged(const std::vector<int>& years);

  signals:
    // The user chose a result (Enter, a double click).
    void daySelected(int year, int month, int day);
    // ... and after it, the result's first match: in the first line that
    // holds a term, the UTF-16 units begin to end.
    void matchChosen(const QString& line, int begin, int end);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateControls();
    void RunQuery();
    void ShowProgress();
    void ShowCount();
    void Choose(const QModelIndex& index);

    TCorpusLoader* FLoader = nullptr;
    TSearchResultModel* FModel = nullptr;
    QTimer* FRequery = nullptr;  // runs the query again while loading goes on
    bool FPlaced = false;

    QLineEdit* SearchEdit = nullptr;
    QProgressBar* SearchProgress = nullptr;
    QListView* SearchResults = nullptr;
    QLabel* SearchCount = nullptr;
    TTagList* SearchTags = nullptr;
};
