#pragma once

#include <array>
#include <cstddef>

class QAction;
class QMenu;
class QObject;

namespace kuv {

// Every command of the main window, in the order its menus show them.
enum class MainAction : std::size_t {
    Export,
    Print,
    Import,
    Backup,
    Restore,
    AutoBackup,
    ChangeLockPassword,
    RecoverLockPassword,
    RekeyDiary,
    Exit,
    InsertDate,
    DayBack,
    DayForward,
    YearBack,
    YearForward,
    Settings,
    Search,
    EveryYear,
    ShowConflicts,
    EarlierVersions,
    Stats,
    Help,
    About,
    ShowOldDiary,
    Count
};

// The menus of the main window's menu bar.
enum class MainMenu { None, File, Edit, View, Help };

}  // namespace kuv

// The main window's commands: one action each, made from one table (name,
// text, glyph, hint, shortcut, menu) and owned by the window. A menu and a
// toolbar button share the action; the part that does the work connects
// to it.
class TMainActions final {
  public:
    explicit TMainActions(QObject* owner);
    TMainActions(const TMainActions&) = delete;
    TMainActions& operator=(const TMainActions&) = delete;

    QAction* operator[](kuv::MainAction id) const { return FActions[static_cast<std::size_t>(id)]; }

    // Puts the commands of one menu into it, in the table's order, with the
    // separators between their groups.
    void FillMenu(QMenu& menu, kuv::MainMenu which) const;

  private:
    std::array<QAction*, static_cast<std::size_t>(kuv::MainAction::Count)> FActions{};
};
