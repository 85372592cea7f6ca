#include "ui/window/main_actions.h"

#include <QAction>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMenu>

#include "ui/common/desktop_look.h"

namespace {

using kuv::MainAction;
using kuv::MainMenu;

struct ActionRow {
    MainAction id;
    const char* name;
    const char16_t* text;
    const char* glyph;  // the toolbar button's picture, or none
    const char16_t* hint;
    QKeyCombination shortcut;
    MainMenu menu;
    // The name of the separator that opens the action's group in its menu:
    // none for nullptr, an unnamed one for "".
    const char* separatorBefore;
    bool checkable;
    bool enabled;
};

constexpr QKeyCombination kNoKey{};

// In the order of MainAction.
const ActionRow kRows[] = {
    {MainAction::Export, "Export1", u"エクスポート...", nullptr, nullptr, kNoKey, MainMenu::File,
     nullptr, false, true},
    {MainAction::Print, "Print1", u"印刷...", nullptr, nullptr, kNoKey, MainMenu::File, nullptr,
     false, true},
    {MainAction::Import, "Import1", u"読み込み...", nullptr, nullptr, kNoKey, MainMenu::File,
     nullptr, false, true},
    {MainAction::Backup, "Backup1", u"バックアップ...", nullptr, nullptr, kNoKey, MainMenu::File,
     "N8", false, true},
    {MainAction::Restore, "Restore1", u"復元...", nullptr, nullptr, kNoKey, MainMenu::File, nullptr,
     false, true},
    {MainAction::AutoBackup, "AutoBackup1", u"自動バックアップ", nullptr, nullptr, kNoKey,
     MainMenu::File, nullptr, true, true},
    // The strong lock's commands, offered only while the diary is under it.
    {MainAction::ChangeLockPassword, "ChangeLockPassword1", u"パスワードの変更...", nullptr,
     nullptr, kNoKey, MainMenu::File, "StrongLockSeparator", false, false},
    {MainAction::RecoverLockPassword, "RecoverLockPassword1", u"回復コードでパスワードを設定...",
     nullptr, nullptr, kNoKey, MainMenu::File, nullptr, false, false},
    {MainAction::RekeyDiary, "RekeyDiary1", u"すべてを新しい鍵で暗号化し直す...", nullptr, nullptr,
     kNoKey, MainMenu::File, nullptr, false, false},
    {MainAction::Exit, "Exit1", u"終了", nullptr, nullptr, kNoKey, MainMenu::File, "N9", false,
     true},
    {MainAction::InsertDate, "N1", u"日付挿入", ":/assets/glyph_insert.png",
     u"日記に日付を挿入する", kNoKey, MainMenu::Edit, nullptr, false, true},
    {MainAction::DayBack, "N4", u"昨日の日記へ", ":/assets/glyph_left.png", u"一日戻す", kNoKey,
     MainMenu::Edit, nullptr, false, true},
    {MainAction::DayForward, "N5", u"一日先の日記へ", ":/assets/glyph_right.png", u"一日進める",
     kNoKey, MainMenu::Edit, nullptr, false, true},
    {MainAction::YearBack, "N6", u"昨年の日記へ", ":/assets/glyph_down.png", u"一年前の日記",
     kNoKey, MainMenu::Edit, nullptr, false, true},
    {MainAction::YearForward, "N7", u"一年先の日記へ", ":/assets/glyph_up.png", u"一年先の日記",
     kNoKey, MainMenu::Edit, nullptr, false, true},
    {MainAction::Settings, "N3", u"設定変更", ":/assets/glyph_house.png", u"設定を変更する", kNoKey,
     MainMenu::Edit, "N2", false, true},
    {MainAction::Search, "Search1", u"検索...", nullptr, nullptr, Qt::CTRL | Qt::Key_F,
     MainMenu::Edit, "FindSeparator1", false, true},
    {MainAction::EveryYear, "EveryYear1", u"毎年の今日", nullptr, nullptr, kNoKey, MainMenu::Edit,
     nullptr, false, true},
    // Offered only while the day shown has conflict copies.
    {MainAction::ShowConflicts, "ShowConflicts", u"競合コピーを比べる...", nullptr, nullptr, kNoKey,
     MainMenu::Edit, "", false, false},
    {MainAction::EarlierVersions, "EarlierVersions1", u"以前の版...", nullptr, nullptr, kNoKey,
     MainMenu::Edit, nullptr, false, true},
    {MainAction::Stats, "Stats1", u"記録...", nullptr, nullptr, kNoKey, MainMenu::View, nullptr,
     false, true},
    // There is no help to show yet.
    {MainAction::Help, "Help2", u"ヘルプ", nullptr, nullptr, kNoKey, MainMenu::Help, nullptr, false,
     false},
    {MainAction::About, "About1", u"Kuvandoroについて", nullptr, nullptr, kNoKey, MainMenu::Help,
     nullptr, false, true},
    // The lower pane's toggle is on the toolbar only.
    {MainAction::ShowOldDiary, "ShowOldDiary", u"過去の日記を表示", nullptr,
     u"一年前の日記を表示します", kNoKey, MainMenu::None, nullptr, true, true},
};
static_assert(std::size(kRows) == static_cast<std::size_t>(MainAction::Count));

}  // namespace

TMainActions::TMainActions(QObject* owner) {
    for (std::size_t i = 0; i < std::size(kRows); ++i) {
        const ActionRow& row = kRows[i];
        Q_ASSERT(static_cast<std::size_t>(row.id) == i);
        auto* action = new QAction(QString::fromUtf16(row.text), owner);
        action->setObjectName(QString::fromLatin1(row.name));
        if (row.glyph != nullptr) {
            kuv::SetGlyph(*action, QString::fromLatin1(row.glyph), QGuiApplication::palette());
        }
        // The menus show no glyphs; the toolbar buttons do.
        action->setIconVisibleInMenu(false);
        if (row.hint != nullptr) action->setToolTip(QString::fromUtf16(row.hint));
        if (row.shortcut != kNoKey) action->setShortcut(QKeySequence(row.shortcut));
        action->setCheckable(row.checkable);
        // A toggle starts on; the settings set it once they are read.
        if (row.checkable) action->setChecked(true);
        action->setEnabled(row.enabled);
        FActions[i] = action;
    }
}

void TMainActions::FillMenu(QMenu& menu, kuv::MainMenu which) const {
    for (std::size_t i = 0; i < std::size(kRows); ++i) {
        const ActionRow& row = kRows[i];
        if (row.menu != which) continue;
        if (row.separatorBefore != nullptr) {
            menu.addSeparator()->setObjectName(QString::fromLatin1(row.separatorBefore));
        }
        menu.addAction(FActions[i]);
    }
}
