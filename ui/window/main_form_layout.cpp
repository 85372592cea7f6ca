#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QToolTip>
#include <QVBoxLayout>

#include "ui/common/info_bar.h"
#include "ui/common/memo.h"
#include "ui/conflicts/conflict_watch.h"
#include "ui/drafts/draft_keeper.h"
#include "ui/find/find_commands.h"
#include "ui/history/history_commands.h"
#include "ui/lock/strong_lock_commands.h"
#include "ui/newday/new_day_template.h"
#include "ui/stats/stats_commands.h"
#include "ui/transfer/transfer_commands.h"
#include "ui/window/day_view.h"
#include "ui/window/main_actions.h"
#include "ui/window/main_form.h"
#include "ui/window/main_form_metrics.h"
#include "ui/window/session_bridge.h"
#include "ui/window/status_bar.h"

// The controls of the main window, built once at start-up.

using namespace kuv::mainform;

void TMainForm::CreateActions() {
    FActions = std::make_unique<TMainActions>(this);
}

QAction* TMainForm::Action(kuv::MainAction id) const {
    return (*FActions)[id];
}

void TMainForm::CreateMenus() {
    QMenuBar* MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    auto menu = [this, MainMenu1](const char* name, const QString& title, kuv::MainMenu which) {
        QMenu* m = MainMenu1->addMenu(title);
        m->setObjectName(QString::fromLatin1(name));
        FActions->FillMenu(*m, which);
        return m;
    };
    QMenu* File1 = menu("File1", QStringLiteral("ファイル"), kuv::MainMenu::File);
    // The settings are read after the menus are built, and a restore reads them again.
    connect(File1, &QMenu::aboutToShow, this, [this] { FTransfer->ShowAutoBackupSetting(); });
    // The automatic backup's item tells its last failure in its tooltip.
    File1->setToolTipsVisible(true);
    menu("Edit1", QStringLiteral("編集"), kuv::MainMenu::Edit);
    menu("View1", QStringLiteral("表示"), kuv::MainMenu::View);
    menu("Help1", QStringLiteral("ヘルプ"), kuv::MainMenu::Help);
}

void TMainForm::CreateDayView() {
    // A notice the user did not ask for stands in a bar above the panes.
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("CentralPanel"));
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    FInfoBar = new TInfoBar(central);
    FDayView = new TDayView(*FActions, central);
    column->addWidget(FInfoBar);
    column->addWidget(FDayView, 1);
    setCentralWidget(central);
}

// The feature parts, each wired to its commands in the table.
void TMainForm::CreateParts() {
    FBridge = new TSessionBridge(this);
    FTransfer = std::make_unique<TTransferCommands>(this, FSession, *FActions);
    FFind = std::make_unique<TFindCommands>(this, FSession, *FActions, FDayView->Picker());
    FStats = std::make_unique<TStatsCommands>(this, FSession, *FActions);
    new TNewDayTemplate(FSession, FDayView->UpperPane());  // the pane owns it
    FConflicts = std::make_unique<TConflictWatch>(FSession, *FActions, FDayView->UpperPane(),
                                                  FDayView->Picker());
    FHistory = std::make_unique<THistoryCommands>(this, FSession, *FActions, *FDayView);
    FStrongLock = std::make_unique<TStrongLockCommands>(this, FSession, *FActions);
    FDrafts = std::make_unique<TDraftKeeper>(FSession, *FDayView, *this);
}

void TMainForm::CreateStatusBar() {
    auto* StatusBar1 = new TStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFont(QToolTip::font());
    StatusBar1->setSizeGripEnabled(true);
    StatusBar1->setFixedHeight(kStatusBarHeight);
    StatusPanel1 = StatusBar1->AddPanel("StatusPanel1", 150, Qt::AlignLeft);
    StatusPanel2 = StatusBar1->AddPanel("StatusPanel2", 170, Qt::AlignHCenter);
    StatusPanel3 = StatusBar1->AddPanel("StatusPanel3", 50, Qt::AlignLeft);
    StatusPanel2->setText(QStringLiteral("Kuvandoro Project"));
    setStatusBar(StatusBar1);
}
