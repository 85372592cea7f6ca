#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QObject>

#include "diary/search.h"

template <class T>
class QFutureWatcher;

// The search's entries, read and folded on a worker thread while the window
// goes on: the window's side of kuv::SearchCorpus. Queries run at once on
// what has been loaded so far.
class TCorpusLoader final : public QObject {
    Q_OBJECT

  public:
    explicit TCorpusLoader(QObject* parent = nullptr);
    ~TCorpusLoader() override;
    TCorpusLoader(const TCorpusLoader&) = delete;
    TCorpusLoader& operator=(const TCorpusLoader&) = delete;

    // The diary to search: a data folder and the session's password (empty
    // while the diary is locked). Another folder or password drops what was
    // loaded; nothing is read until Refresh.
    void SetDiary(const std::string& dataPath, const std::string& password);
    bool HasDiary() const { return FCorpus != nullptr; }

    // Reads what is new or changed on disk since it was read, in the
    // background: of the named years only, or of every year when years is
    // empty. A refresh asked for while one runs follows it.
    void Refresh(const std::vector<int>& years = {});
    bool Loading() const;
    kuv::LoadProgress Progress() const;

    // The entries loaded so far, for counts of their own on a worker.
    std::shared_ptr<const kuv::SearchCorpus> Corpus() const { return FCorpus; }

    // The query over the entries loaded so far, on the calling thread.
    kuv::SearchResults Search(const kuv::SearchQuery& query) const;

  signals:
    // More days have been looked at.
    void progressed();
    // A refresh has completed.
    void loaded();

  private:
    void Start();
    void Finished();
    void Stop();
    void DropWatcher();

    std::string FDataPath, FPassword;
    // Shared with the worker, which keeps it alive until its step ends, so
    // that dropping a diary never waits for the worker.
    std::shared_ptr<kuv::SearchCorpus> FCorpus;
    QFutureWatcher<void>* FWatcher = nullptr;  // of the refresh running or last run
    bool FAgain = false;                       // a refresh was asked for while one ran
    // The years the next refresh reads; empty for every year.
    std::vector<int> FYears;
};
