#include "ui/find/search_window.h"

#include <algorithm>

#include <QApplication>
#include <QDate>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

#include "diary/search.h"
#include "ui/common/fonts.h"
#include "ui/common/screen_fit.h"
#include "ui/find/search_loader.h"
#include "ui/find/search_results.h"
#include "ui/find/tag_list.h"

namespace {

// How often a query is run again while the diary is still being read.
constexpr int kRequeryMs = 200;

kuv::SearchQuery QueryOf(const QString& text) {
    return kuv::ParseQuery(std::u16string_view(reinterpret_cast<const char16_t*>(text.constData()),
                                               static_cast<std::size_t>(text.size())));
}

}  // namespace

TSearchWindow::TSearchWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("SearchWindow"));
    setWindowTitle(QStringLiteral("日記の検索"));
    setFont(kuv::ControlFont());
    resize(560, 420);
    FLoader = new TCorpusLoader(this);
    FModel = new TSearchResultModel(this);
    FRequery = new QTimer(this);
    FRequery->setSingleShot(true);
    FRequery->setInterval(kRequeryMs);
    CreateControls();

    connect(SearchEdit, &QLineEdit::textChanged, this, &TSearchWindow::RunQuery);
    connect(SearchEdit, &QLineEdit::returnPressed, this,
            [this] { Choose(SearchResults->currentIndex()); });
    connect(SearchResults, &QListView::activated, this, &TSearchWindow::Choose);
    connect(FRequery, &QTimer::timeout, this, &TSearchWindow::RunQuery);
    connect(FLoader, &TCorpusLoader::progressed, this, [this] {
        ShowProgress();
        if (!FRequery->isActive()) FRequery->start();
    });
    connect(FLoader, &TCorpusLoader::loaded, this, [this] {
        FRequery->stop();
        ShowProgress();
        RunQuery();
        if (FLoader->HasDiary()) SearchTags->Count(FLoader->Corpus());
    });
    // A tag chosen is searched for, "#" and all, as if typed.
    connect(SearchTags, &TTagList::tagChosen, this,
            [this](const QString& tag) { SearchEdit->setText(QLatin1Char('#') + tag); });
}

void TSearchWindow::CreateControls() {
    auto* column = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("検索する語:"), this);
    label->setObjectName(QStringLiteral("SearchLabel"));
    SearchEdit = new QLineEdit(this);
    SearchEdit->setObjectName(QStringLiteral("SearchEdit"));
    SearchEdit->setPlaceholderText(QStringLiteral("空白で区切った語をすべて含む日記"));
    SearchEdit->setClearButtonEnabled(true);
    SearchEdit->installEventFilter(this);
    label->setBuddy(SearchEdit);
    row->addWidget(label);
    row->addWidget(SearchEdit, 1);
    column->addLayout(row);

    SearchProgress = new QProgressBar(this);
    SearchProgress->setObjectName(QStringLiteral("SearchProgress"));
    SearchProgress->setFormat(QStringLiteral("日記を読み込み中 %v / %m"));
    SearchProgress->hide();
    column->addWidget(SearchProgress);

    SearchResults = new QListView(this);
    SearchResults->setObjectName(QStringLiteral("SearchResults"));
    SearchResults->setModel(FModel);
    SearchResults->setItemDelegate(new TMatchDelegate(SearchResults));
    SearchResults->setUniformItemSizes(true);
    SearchResults->setSelectionMode(QAbstractItemView::SingleSelection);
    SearchResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The tags beside the results, most used first.
    auto* lists = new QHBoxLayout;
    lists->addWidget(SearchResults, 1);
    SearchTags = new TTagList(this);
    SearchTags->setMaximumWidth(fontMetrics().horizontalAdvance(QLatin1Char('M')) * 14);
    SearchTags->setToolTip(QStringLiteral("タグ（書かれた日数）：選ぶと検索します"));
    lists->addWidget(SearchTags);
    column->addLayout(lists, 1);

    SearchCount = new QLabel(this);
    SearchCount->setObjectName(QStringLiteral("SearchCount"));
    column->addWidget(SearchCount);
    setTabOrder(SearchEdit, SearchResults);
    setTabOrder(SearchResults, SearchTags);
}

void TSearchWindow::SetDiary(const std::string& dataPath, const std::string& password) {
    const std::shared_ptr<const kuv::SearchCorpus> before = FLoader->Corpus();
    FLoader->SetDiary(dataPath, password);
    if (FLoader->Corpus() != before) SearchTags->Forget();
    // A hidden window reads the diary when it is opened again.
    if (!isVisible()) return;
    FLoader->Refresh();
    ShowProgress();
    RunQuery();
}

void TSearchWindow::OpenSearch(const QWidget* over) {
    if (!FPlaced && over != nullptr) {
        // Centred over the window the first time; afterwards Qt keeps the
        // place it was left at.
        kuv::PlaceOnScreens(*this,
                            over->frameGeometry().center() - QPoint(width() / 2, height() / 2),
                            kuv::FrameOf(*over));
        FPlaced = true;
    }
    if (isVisible()) raise();
    show();
    activateWindow();
    SearchEdit->setFocus(Qt::OtherFocusReason);
    SearchEdit->selectAll();
    // A file changed since it was read is read again.
    FLoader->Refresh();
    ShowProgress();
}

void TSearchWindow::FilesChanged(const std::vector<int>& years) {
    // A hidden window reads what changed when it is opened again.
    if (!isVisible()) return;
    FLoader->Refresh(years);
    ShowProgress();
}

void TSearchWindow::RunQuery() {
    const kuv::SearchQuery query = QueryOf(SearchEdit->text());
    // The chosen result stays chosen when it is found again.
    const QDate chosen = SearchResults->currentIndex().data(TSearchResultModel::DayRole).toDate();
    FModel->SetResults(query.Empty() ? kuv::SearchResults{} : FLoader->Search(query));
    const int row = chosen.isValid() ? std::max(FModel->RowOf(chosen), 0) : 0;
    if (FModel->rowCount() > 0) SearchResults->setCurrentIndex(FModel->index(row));
    ShowCount();
}

void TSearchWindow::ShowProgress() {
    const bool loading = FLoader->Loading();
    if (loading) {
        const kuv::LoadProgress p = FLoader->Progress();
        SearchProgress->setMaximum(static_cast<int>(std::max<std::size_t>(p.total, 1)));
        SearchProgress->setValue(static_cast<int>(p.done));
    }
    SearchProgress->setVisible(loading);
}

void TSearchWindow::ShowCount() {
    const kuv::SearchResults& r = FModel->Results();
    if (r.query.Empty()) {
        SearchCount->clear();
        return;
    }
    QString text = QStringLiteral("%1 件").arg(r.matches.size());
    if (r.sealed > 0) text += QStringLiteral("　開けない日記 %1 件").arg(r.sealed);
    if (r.unreadable > 0) text += QStringLiteral("　読み込めない日記 %1 件").arg(r.unreadable);
    if (!r.complete) text += QStringLiteral("（読み込み中）");
    SearchCount->setText(text);
}

void TSearchWindow::Choose(const QModelIndex& index) {
    const QDate day = index.data(TSearchResultModel::DayRole).toDate();
    if (!day.isValid()) return;
    emit daySelected(day.year(), day.month(), day.day());
    const QList<int> spans = index.data(TSearchResultModel::SpansRole).value<QList<int>>();
    if (spans.size() >= 2) {
        emit matchChosen(index.data(TSearchResultModel::LineRole).toString(), spans[0], spans[1]);
    }
}

void TSearchWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    // The main window's search key, pressed here, goes back to the query.
    if (event->matches(QKeySequence::Find)) {
        SearchEdit->setFocus(Qt::ShortcutFocusReason);
        SearchEdit->selectAll();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool TSearchWindow::eventFilter(QObject* watched, QEvent* event) {
    // The result list is walked from the query field, which keeps the focus.
    if (watched == SearchEdit && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
            case Qt::Key_Up:
            case Qt::Key_Down:
            case Qt::Key_PageUp:
            case Qt::Key_PageDown:
                QApplication::sendEvent(SearchResults, event);
                return true;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
