#pragma once

#include <memory>

#include <QListWidget>

#include "diary/tags.h"

template <class T>
class QFutureWatcher;

namespace kuv {
class SearchCorpus;
}

// The search window's tags with the number of days that hold each, most
// used first, counted on a worker thread from what the search has loaded.
// Choosing one says which.
class TTagList final : public QListWidget {
    Q_OBJECT

  public:
    explicit TTagList(QWidget* parent = nullptr);
    ~TTagList() override;
    TTagList(const TTagList&) = delete;
    TTagList& operator=(const TTagList&) = delete;

    // Counts the corpus's tags anew; a count still running is dropped.
    void Count(std::shared_ptr<const kuv::SearchCorpus> corpus);
    // Another diary: its tags are not known yet.
    void Forget();

    // Each item's tag, as first written, without its "#".
    static constexpr int TagRole = Qt::UserRole;

  signals:
    // The user chose a tag (a click, Enter).
    void tagChosen(const QString& tag);

  private:
    void Show(const kuv::DiaryTags& tags);
    void DropWatcher();

    QFutureWatcher<kuv::DiaryTags>* FWatcher = nullptr;
};
