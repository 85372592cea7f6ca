#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/recovery.h"
#include "app/settings.h"
#include "app/settings_file.h"
#include "dates/calendar.h"
#include "diary/day_template.h"
#include "diary/diary_book.h"
#include "diary/entry_version.h"
#include "drafts/draft_store.h"
#include "platform/errors.h"

// The diary session: the current day, both panes, the change state, and every
// move between days with its saves. It holds no widget; a window shows it
// through SessionView and gives it the upper pane's text through UpperPane.
namespace kuv {

// Where the session reads the upper pane's text when a save needs it.
class UpperPane {
  public:
    virtual ~UpperPane() = default;
    // The pane's whole text, lines joined with CR LF.
    virtual std::u16string Text() const = 0;
};

// A save that found the day's entry changed on disk since it was loaded:
// another program, a sync tool, the other machine wrote it.
struct DiskConflict {
    std::string path;  // the entry file as it stands now (or stood, when removed)
    EntryChange change = EntryChange::Modified;
};

// What becomes of the two versions. Neither is ever lost: the one that does
// not stay the entry is kept as a conflict copy beside it.
enum class ConflictChoice {
    KeepMine,    // my text becomes the entry; the other version is kept as a copy
    TakeTheirs,  // the other version stays the entry; my text is kept as a copy
    Cancel,      // nothing is written and the move stops
};

// What a window shows of the session. They are called after the session's
// state has changed, also when the operation then throws.
class SessionView {
  public:
    virtual ~SessionView() = default;
    // The current day changed (a step, a refused pick that went back).
    virtual void DayChanged() = 0;
    // The panes were loaded anew; complete is false when the load stopped
    // with an error, and then only what was read before it is shown.
    virtual void PanesLoaded(bool complete) = 0;
    // An entry was written (the calendar's marks, a search may want to know).
    virtual void EntrySaved() {}
    // Only the lower pane was loaded anew (it changed on disk while the upper
    // one holds a change).
    virtual void LowerPaneLoaded() {}
    // A save met an entry changed on disk; asked with the text still in the
    // pane. Without a view the other version stays and mine is kept as a copy.
    virtual ConflictChoice ResolveConflict(const DiskConflict&) {
        return ConflictChoice::TakeTheirs;
    }
};

// A text that code page 932 cannot hold: the save stops and names the
// character. The message is the program's own, a complete sentence.
class UnstorableTextError : public AppError {
  public:
    UnstorableTextError(std::string cp932Message, char32_t character)
        : AppError(std::move(cp932Message)), character_(character) {}
    char32_t character() const { return character_; }

  private:
    char32_t character_;
};

class DiarySession {
  public:
    DiarySession(AppPaths paths, TDiarySettings settings);
    DiarySession(const DiarySession&) = delete;
    DiarySession& operator=(const DiarySession&) = delete;

    void SetView(SessionView* view) { view_ = view; }
    void SetUpperPane(const UpperPane* pane) { pane_ = pane; }
    // The current local date and time; tests put a fixed clock here.
    void SetClock(std::function<TDateTime()> clock) { clock_ = std::move(clock); }

    const AppPaths& Paths() const { return paths_; }
    TDiarySettings& Settings() { return settings_; }
    const TDiarySettings& Settings() const { return settings_; }

    // Start-up: the settings file read over the defaults. When a file is
    // there but cannot be read, the defaults stay, the file is kept as it is
    // and never written over during the run.
    const SettingsReadResult& ReadSettings();
    // What start-up found of the settings file.
    const SettingsReadResult& SettingsAtStart() const { return startUp_; }
    // The message that texts kept at the end of an earlier session wait in
    // files, once: empty when there are none or they were announced before.
    std::string TakeRecoveryNotice();
    // The rest of start-up: the current day becomes now; with encryption on
    // the diary waits for its password (true), otherwise today is loaded.
    // Throws AppError when today's entry cannot be loaded.
    bool Open();
    // The typed password against the stored one, byte for byte. Right: the
    // day becomes now and is loaded (true). Wrong: nothing changes. A
    // strong-locked diary is never opened this way.
    bool Unlock(const std::string& typed);
    // The diary is under the strong lock (its key file, or a conversion begun).
    bool StrongLocked() const;
    // The strong lock's key of the data folder was opened by the prompt's
    // worker: the day becomes now and is loaded (true). Without that key,
    // nothing changes.
    bool UnlockOpened();
    bool Locked() const { return locked_; }

    // The current day (date and time of day) and the day the panes hold.
    TDateTime Day() const { return day_; }
    TDateTime LoadedDay() const { return loadedDay_; }

    // The panes as loaded; the upper one as it was before any typing.
    const PaneContent& Upper() const { return upper_; }
    const PaneContent& Lower() const { return lower_; }
    const std::string& StatusLine() const { return status_; }
    // The last load put the automatic date into the upper pane.
    bool DateInserted() const { return dateInserted_; }
    // The upper pane may not be edited: a sealed entry, or one that could not
    // be read. No save replaces it.
    bool UpperReadOnly() const { return upperReadOnly_; }
    const std::string& YearDir() const { return yearDir_; }
    const std::string& LastYearDir() const { return lastYearDir_; }

    // The upper pane changed since the last load.
    bool Modified() const { return modified_; }
    // ... and no save has written that change yet.
    bool Unsaved() const { return unsaved_; }
    void UpperChanged();

    // Saves the upper pane under the current day when it changed. Throws
    // AppError (the entry cannot be written) or UnstorableTextError.
    void Save();
    // Loads both panes for the current day.
    void Load();
    // Saves by the rules, then makes day the current day and loads it.
    void GoTo(TDateTime day);

    // One day back (-1) or forward (+1); one year back or forward by the
    // leap-year table. Save first; a day outside 1601-9999 stops the move
    // after the save with "カレンダーに日付時刻を設定できません。".
    void StepDays(int days);
    void StepYear(bool forward);

    // The picker gained the focus: the entry being left is saved.
    void PickerEntered();
    // The user picked another day (year, month, day); the time of day stays.
    // A change that is still unsaved is first saved under the day it was
    // loaded for; when that fails the current day goes back and it throws.
    void PickerChanged(int year, int month, int day);

    // Typing began in the upper pane. When the day has no entry, the pane is
    // still empty and the user has a template for new days, the template
    // expanded for the day: the window puts it in first and the typing at its
    // cursor. A pane then left holding only that text is not saved.
    std::optional<ExpandedTemplate> TypingBegan();

    // Date insertion: the text to add at the end of the upper pane (code
    // page 932) for the current day in the user's pattern, and the change is
    // counted. Empty when the pane is read-only.
    std::string InsertDate();

    // The three ends. Closing the window saves the entry and writes the
    // window's state to the settings file; exiting saves only. Both throw
    // when something could not be written, and the program goes on. A
    // settings file that start-up could not read is kept and the close
    // ends all the same: the message returned says that nothing was stored.
    std::string CloseWindow(const ClosingState& state);
    void Exit();
    // The end of the desktop session: what closing the window does, but
    // nothing may wait on a box. A text that cannot be saved goes to a
    // recovery file outside the data folder (the entry file stays as it
    // was), and whatever the settings file says, the session ends.
    void EndSession(const ClosingState& state);
    bool Ended() const { return ended_; }
    // Ending from the password prompt: nothing to save.
    void EndLocked() { ended_ = true; }
    // A diary that came in place of the open one (a restore) and must be
    // opened again first: nothing is read or written until it is.
    void Relock() { locked_ = true; }

    // How many loads there have been, so that a view knows when to refill.
    std::uint64_t LoadCount() const { return loadCount_; }

    // The draft of the pane as it is now, for a window's worker to keep
    // (sealed in a locked diary): the pane's text with the day and the
    // version of the entry it was loaded from; a removal when the pane holds
    // the saved text again. Nothing while the diary is locked, the pane is
    // read-only or there is no state folder. Reads the pane: call it on the
    // window's thread, then hand the job on.
    std::optional<DraftJob> DraftNow() const;

    // Looks whether the entries the panes show changed on disk. An unchanged
    // upper pane is loaded anew (and the lower one with it); a changed one
    // keeps its text, and the conflict is settled at its save.
    struct DiskCheck {
        bool reloaded = false;  // the panes show what is on disk now
        bool conflict = false;  // the upper entry changed under a change of the pane
    };
    DiskCheck CheckDisk();
    // The upper entry changed on disk while the pane holds a change.
    bool ConflictPending() const { return conflictPending_; }
    // The copy the last settled conflict wrote (empty when none).
    const std::string& LastConflictCopy() const { return lastConflictCopy_; }

  private:
    enum class SaveOutcome { Nothing, Saved, TookTheirs };
    void SetDay(TDateTime day);
    void LoadInto(TDateTime day);
    SaveOutcome SaveUnder(TDateTime day);
    SaveOutcome SettleConflict(const std::string& folder, const std::string& name,
                               const std::string& text, const std::string& utf8, bool strong,
                               EntryChange change);
    std::string UpperBytes() const;
    void KeepForRecovery();
    void ForgetDraft(TDateTime day) const;
    void KeepSealedForRecovery(const std::string& state, const RecoveryDay& day);

    AppPaths paths_;
    TDiarySettings settings_;
    SessionView* view_ = nullptr;
    const UpperPane* pane_ = nullptr;
    std::function<TDateTime()> clock_;
    SettingsReadResult startUp_;

    TDateTime day_ = 0;
    TDateTime loadedDay_ = 0;
    PaneContent upper_, lower_;
    std::string status_;
    std::string yearDir_, lastYearDir_;
    bool dateInserted_ = false;
    bool upperReadOnly_ = false;
    bool modified_ = false;
    bool unsaved_ = false;
    bool locked_ = false;
    bool ended_ = false;
    std::uint64_t loadCount_ = 0;

    // What the panes were loaded from, as it was then.
    std::string loadedName_;
    EntryVersion upperVersion_, lowerVersion_;
    bool conflictPending_ = false;
    bool asking_ = true;  // a conflict may be put to the view
    std::string lastConflictCopy_;
    // The template given to the pane, and the load it was given for.
    std::string templateText_;
    std::uint64_t templateLoad_ = 0;
};

}  // namespace kuv
