#include <QAction>
#include <QDateEdit>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOption>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

#include "dates/qt/locale_loader.h"
#include "ui/common/bevel.h"
#include "ui/common/desktop_look.h"
#include "ui/common/memo.h"
#include "ui/conflicts/conflict_watch.h"
#include "ui/find/find_commands.h"
#include "ui/transfer/transfer_commands.h"
#include "ui/window/day_view.h"
#include "ui/window/main_actions.h"
#include "ui/window/main_form.h"
#include "ui/window/main_form_metrics.h"
#include "ui/window/pane_splitter.h"
#include "ui/window/session_bridge.h"

// The controls of the main window, built once at start-up.

namespace {

using namespace kuv::mainform;

// A panel of the status bar: its width while there is room, and less when
// the window is made narrower, as a Windows status bar clips its panels.
class TStatusPanel final : public QLabel {
  public:
    TStatusPanel(int width, QWidget* parent) : QLabel(parent), FWidth(width) {
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
        setMaximumWidth(width);
    }
    QSize sizeHint() const override { return {FWidth, QLabel::sizeHint().height()}; }
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

  private:
    int FWidth;
};

// The status bar: its panels draw their own sunken frames, so it draws none
// around them (a style sheet would do it too, but would keep the colours of
// the palette it met first when the desktop's palette changes).
class TStatusBar final : public QStatusBar {
  public:
    using QStatusBar::QStatusBar;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QStyleOption option;
        option.initFrom(this);
        style()->drawPrimitive(QStyle::PE_PanelStatusBar, &option, &painter, this);
    }
};

}  // namespace

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
    menu("Edit1", QStringLiteral("編集"), kuv::MainMenu::Edit);
    menu("Help1", QStringLiteral("ヘルプ"), kuv::MainMenu::Help);
}

void TMainForm::CreateDayView() {
    FDayView = new TDayView(*FActions, this);
    setCentralWidget(FDayView);
}

// The feature parts, each wired to its commands in the table.
void TMainForm::CreateParts() {
    FBridge = new TSessionBridge(this);
    FTransfer = std::make_unique<TTransferCommands>(this, FSession, *FActions);
    FFind = std::make_unique<TFindCommands>(this, FSession, *FActions, FDayView->Picker());
    FConflicts = std::make_unique<TConflictWatch>(FSession, *FActions, FDayView->UpperPane(),
                                                  FDayView->Picker());
}

void TMainForm::CreateStatusBar() {
    auto* StatusBar1 = new TStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFont(QToolTip::font());
    StatusBar1->setSizeGripEnabled(true);
    StatusBar1->setFixedHeight(kStatusBarHeight);
    auto panel = [StatusBar1](const char* name, int width, Qt::Alignment align) {
        auto* label = new TStatusPanel(width, StatusBar1);
        label->setObjectName(QString::fromLatin1(name));
        label->setAlignment(align | Qt::AlignVCenter);
        StatusBar1->addWidget(label);
        return label;
    };
    StatusPanel1 = panel("StatusPanel1", 150, Qt::AlignLeft);
    StatusPanel2 = panel("StatusPanel2", 170, Qt::AlignHCenter);
    StatusPanel3 = panel("StatusPanel3", 50, Qt::AlignLeft);
    StatusPanel2->setText(QStringLiteral("Kuvandoro Project"));
    setStatusBar(StatusBar1);
}
