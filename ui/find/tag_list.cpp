#include "ui/find/tag_list.h"

#include <utility>

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

#include "diary/search.h"
#include "ui/common/qt_text.h"

TTagList::TTagList(QWidget* parent) : QListWidget(parent) {
    setObjectName(QStringLiteral("SearchTags"));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { emit tagChosen(item->data(TagRole).toString()); });
    connect(this, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { emit tagChosen(item->data(TagRole).toString()); });
}

// A count still running holds its share of the corpus and ends on its own;
// its watcher goes with the list, and nothing more is handed over.
TTagList::~TTagList() = default;

void TTagList::DropWatcher() {
    if (FWatcher == nullptr) return;
    FWatcher->disconnect(this);
    FWatcher->deleteLater();
    FWatcher = nullptr;
}

void TTagList::Forget() {
    DropWatcher();
    clear();
}

void TTagList::Count(std::shared_ptr<const kuv::SearchCorpus> corpus) {
    DropWatcher();
    FWatcher = new QFutureWatcher<kuv::DiaryTags>(this);
    connect(FWatcher, &QFutureWatcher<kuv::DiaryTags>::finished, this,
            [this] { Show(FWatcher->result()); });
    FWatcher->setFuture(
        QtConcurrent::run([corpus = std::move(corpus)] { return kuv::CountCorpusTags(*corpus); }));
}

void TTagList::Show(const kuv::DiaryTags& tags) {
    // The tag chosen stays chosen when it is counted again.
    const QString chosen =
        currentItem() != nullptr ? currentItem()->data(TagRole).toString() : QString();
    clear();
    for (const kuv::TagCount& t : tags.tags) {
        const QString tag = kuv::ToQString(t.text);
        auto* item = new QListWidgetItem(QStringLiteral("#%1 (%2)").arg(tag).arg(t.days), this);
        item->setData(TagRole, tag);
        if (tag == chosen) setCurrentItem(item);
    }
}
