#pragma once

#include <string>

#include <QWidget>

class TStatsLoader;
class TStatsView;

// The 記録 window: the heatmap and the numbers of TStatsView, counted by a
// TStatsLoader in the background each time the diary or its entries change
// while the window is open. A hidden window counts nothing.
class TStatsWindow final : public QWidget {
    Q_OBJECT

  public:
    explicit TStatsWindow(QWidget* parent);

    // Shows the window (beside over the first time) and counts the diary.
    void OpenStats(const std::string& dataPath, const std::string& password, const QWidget* over);
    // An entry was saved or the diary changed: an open window counts again.
    void Recount(const std::string& dataPath, const std::string& password);
    TStatsView* View() const { return FView; }

  signals:
    void daySelected(int year, int month, int day);

  private:
    void Count();
    void ShowCount();

    TStatsView* FView = nullptr;
    TStatsLoader* FLoader = nullptr;
    std::string FDataPath;
    std::string FPassword;
    bool FPlaced = false;
};
