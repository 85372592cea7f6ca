#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QFutureWatcher>
#include <QObject>

#include "diary/diary_stats.h"

// Counts the diary's days for TStatsView on a thread of Qt's pool: first
// from the folder listings and sizes, at once, then from the entries' text.
// Each count is handed over on the window's thread. Nothing runs until
// Start, so a start-up that never opens the view pays nothing.
class TStatsLoader final : public QObject {
    Q_OBJECT

  public:
    explicit TStatsLoader(QObject* parent = nullptr);
    ~TStatsLoader() override;

    // Counts anew (after a save, say); what a count still running for an
    // earlier start finds is dropped.
    void Start(const std::string& dataPath, const std::string& password);
    const std::vector<kuv::DayCount>& Days() const { return FDays; }
    bool FromText() const { return FFromText; }

  signals:
    // Days() holds a new count: from the sizes first (FromText() false),
    // then from the text.
    void Counted();

  private:
    using Watcher = QFutureWatcher<std::vector<kuv::DayCount>>;
    std::unique_ptr<Watcher> FWatcher;
    std::vector<kuv::DayCount> FDays;
    bool FFromText = false;
};
