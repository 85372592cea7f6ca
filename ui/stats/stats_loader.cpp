#include "ui/stats/stats_loader.h"

#include <QPromise>
#include <QtConcurrent/QtConcurrentRun>

#include "diary/catalog.h"

TStatsLoader::TStatsLoader(QObject* parent) : QObject(parent) {}

// The job holds copies only and outlives the loader when it must; its
// watcher goes with the loader, and nothing more is handed over.
TStatsLoader::~TStatsLoader() = default;

void TStatsLoader::Start(const std::string& dataPath, const std::string& password) {
    FWatcher = std::make_unique<Watcher>();
    connect(FWatcher.get(), &Watcher::resultReadyAt, this, [this](int index) {
        FDays = FWatcher->resultAt(index);
        FFromText = index == 1;
        emit Counted();
    });
    FWatcher->setFuture(
        QtConcurrent::run([dataPath, password](QPromise<std::vector<kuv::DayCount>>& promise) {
            promise.addResult(kuv::CountDaysFromSizes(dataPath));
            promise.addResult(kuv::CountDaysFromText(dataPath, password));
        }));
}
