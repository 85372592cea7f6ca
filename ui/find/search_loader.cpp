#include "ui/find/search_loader.h"

#include <algorithm>
#include <climits>
#include <stop_token>
#include <utility>

#include <QFutureWatcher>
#include <QPromise>
#include <QtConcurrent/QtConcurrentRun>

namespace {

int ProgressInt(std::size_t n) {
    return static_cast<int>(std::min<std::size_t>(n, INT_MAX));
}

}  // namespace

TCorpusLoader::TCorpusLoader(QObject* parent) : QObject(parent) {}

TCorpusLoader::~TCorpusLoader() {
    Stop();
}

void TCorpusLoader::SetDiary(const std::string& dataPath, const std::string& password) {
    if (FCorpus && dataPath == FDataPath && password == FPassword) return;
    Stop();
    FDataPath = dataPath;
    FPassword = password;
    FCorpus = std::make_shared<kuv::SearchCorpus>(dataPath);
}

void TCorpusLoader::Stop() {
    FAgain = false;
    DropWatcher();
}

void TCorpusLoader::DropWatcher() {
    if (FWatcher == nullptr) return;
    // A worker still running ends after its present step and drops its
    // share of the corpus; nothing here waits for it. The watcher may be
    // the sender of the signal being handled, so it goes later.
    FWatcher->disconnect(this);
    FWatcher->cancel();
    FWatcher->deleteLater();
    FWatcher = nullptr;
}

void TCorpusLoader::Refresh(const std::vector<int>& years) {
    if (!FCorpus) return;
    // Years gather until a refresh starts; one for every year takes them all in.
    const bool waiting = Loading() && FAgain;
    if (years.empty() || (waiting && FYears.empty())) {
        FYears.clear();
    } else {
        if (!waiting) FYears.clear();
        FYears.insert(FYears.end(), years.begin(), years.end());
    }
    if (Loading()) {
        FAgain = true;
        return;
    }
    Start();
}

void TCorpusLoader::Start() {
    DropWatcher();
    FWatcher = new QFutureWatcher<void>(this);
    connect(FWatcher, &QFutureWatcher<void>::progressValueChanged, this,
            &TCorpusLoader::progressed);
    connect(FWatcher, &QFutureWatcher<void>::finished, this, &TCorpusLoader::Finished);
    FWatcher->setFuture(
        QtConcurrent::run([corpus = FCorpus, password = FPassword,
                           years = std::exchange(FYears, {})](QPromise<void>& promise) {
            std::stop_source stop;
            const auto progress = [&](kuv::LoadProgress p) {
                if (promise.isCanceled()) stop.request_stop();
                promise.setProgressRange(0, ProgressInt(p.total));
                promise.setProgressValue(ProgressInt(p.done));
            };
            // Named years are read alone only once every year has been read.
            if (years.empty() || !corpus->Loaded()) {
                corpus->Refresh(password, stop.get_token(), progress);
                return;
            }
            corpus->BeginRefreshYears(password, years);
            while (!stop.stop_requested() && corpus->LoadStep()) progress(corpus->Progress());
            progress(corpus->Progress());
        }));
}

void TCorpusLoader::Finished() {
    if (FAgain) {
        FAgain = false;
        Start();
        return;
    }
    emit loaded();
}

bool TCorpusLoader::Loading() const {
    return FWatcher != nullptr && !FWatcher->isFinished();
}

kuv::LoadProgress TCorpusLoader::Progress() const {
    return FCorpus ? FCorpus->Progress() : kuv::LoadProgress{};
}

kuv::SearchResults TCorpusLoader::Search(const kuv::SearchQuery& query) const {
    return FCorpus ? FCorpus->Search(query) : kuv::SearchResults{};
}
