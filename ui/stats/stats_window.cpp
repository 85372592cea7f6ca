#include "ui/stats/stats_window.h"

#include <algorithm>

#include <QDate>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/common/screen_fit.h"
#include "ui/stats/stats_loader.h"
#include "ui/stats/stats_view.h"
#include "ui/stats/year_heatmap.h"

TStatsWindow::TStatsWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("StatsWindow"));
    setWindowTitle(QStringLiteral("記録"));
    FView = new TStatsView(this);
    FLoader = new TStatsLoader(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(FView);
    // Wide enough for a whole year's block beside the numbers, where the
    // screen has room; the years scroll down.
    const int wanted = FView->Heatmap()->sizeHint().width() + FView->sizeHint().width() / 2;
    const QScreen* screen = parent != nullptr ? parent->screen() : nullptr;
    const int room = screen != nullptr ? screen->availableGeometry().width() * 9 / 10 : wanted;
    resize(std::min(std::max(wanted, 760), std::max(room, 760)), 560);
    connect(FLoader, &TStatsLoader::Counted, this, &TStatsWindow::ShowCount);
    connect(FView, &TStatsView::DayClicked, this, &TStatsWindow::daySelected);
}

void TStatsWindow::OpenStats(const std::string& dataPath, const std::string& password,
                             const QWidget* over) {
    FDataPath = dataPath;
    FPassword = password;
    if (!FPlaced && over != nullptr) {
        kuv::PlaceBeside(*this, *over);
        FPlaced = true;
    }
    Count();
    show();
    raise();
    activateWindow();
}

void TStatsWindow::Recount(const std::string& dataPath, const std::string& password) {
    FDataPath = dataPath;
    FPassword = password;
    if (isVisible()) Count();
}

void TStatsWindow::Count() {
    FLoader->Start(FDataPath, FPassword);
}

void TStatsWindow::ShowCount() {
    const QDate today = QDate::currentDate();
    FView->SetDays(FLoader->Days(), today.year(), today.month(), today.day());
}
