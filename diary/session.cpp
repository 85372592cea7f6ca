#include "diary/session.h"

#include <ctime>
#include <utility>
#include <vector>

#include "app/recovery.h"
#include "crypt/cryptogram.h"
#include "dates/date_pattern.h"
#include "diary/conflict_copies.h"
#include "diary/date_insertion.h"
#include "diary/navigation.h"
#include "drafts/draft_store.h"
#include "lock/diary_seal.h"
#include "lock/strong_lock.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/fileio.h"
#include "platform/texts.h"
#include "platform/unicode.h"

namespace kuv {

namespace {

[[noreturn]] void ThrowOutOfCalendar() {
    throw AppError(TextOf(TextId::CannotSetCalendar));
}

}  // namespace

DiarySession::DiarySession(AppPaths paths, TDiarySettings settings)
    : paths_(std::move(paths)), settings_(std::move(settings)), clock_(CurrentDateTime) {}

const SettingsReadResult& DiarySession::ReadSettings() {
    settings_ = DefaultSettings(paths_);
    TDiarySettings read = settings_;
    startUp_ = ReadSettingsFile(read, paths_, SettingsAccess::Program);
    if (startUp_.usable()) settings_ = std::move(read);
    return startUp_;
}

std::string DiarySession::TakeRecoveryNotice() {
    const std::optional<std::string> state = UserStateFolder();
    if (!state) return std::string();
    const std::vector<std::string> files = UnannouncedRecoveredFiles(*state);
    if (files.empty()) return std::string();
    MarkRecoveredFilesAnnounced(*state, files);
    return RecoveredFilesMessage(files);
}

bool DiarySession::Open() {
    SetDay(clock_());
    if (settings_.UseEncryption || StrongLocked()) {
        locked_ = true;
        return true;
    }
    LoadInto(day_);
    return false;
}

bool DiarySession::Unlock(const std::string& typed) {
    // Its stored password is empty: only its key file can open it.
    if (StrongLocked() || typed != settings_.Password) return false;
    // Open even when today's entry cannot be read: the pane then stays
    // read-only and the error is shown, but the diary is not shut out.
    locked_ = false;
    SetDay(clock_());
    LoadInto(day_);
    return true;
}

bool DiarySession::StrongLocked() const {
    return lock::HasStrongLock(settings_.DataPath);
}

bool DiarySession::UnlockOpened() {
    // A conversion finished at the prompt may have left no key to open.
    if (lock::HasStrongLock(settings_.DataPath) && lock::KeyFor(settings_.DataPath) == nullptr) {
        return false;
    }
    locked_ = false;
    SetDay(clock_());
    LoadInto(day_);
    return true;
}

void DiarySession::UpperChanged() {
    modified_ = true;
    unsaved_ = true;
}

void DiarySession::SetDay(TDateTime day) {
    day_ = day;
    if (view_ != nullptr) view_->DayChanged();
}

void DiarySession::Load() {
    LoadInto(day_);
}

void DiarySession::LoadInto(TDateTime day) {
    upper_ = PaneContent{};
    lower_ = PaneContent{};
    dateInserted_ = false;
    // Until the upper pane is loaded it holds nothing that may be saved: a
    // failed load must not let an empty pane replace an unreadable entry.
    upperReadOnly_ = true;
    loadedDay_ = day;
    ++loadCount_;
    yearDir_ = YearFolder(settings_.DataPath, day_);
    lastYearDir_ = YearFolder(settings_.DataPath, day_ - 365);
    const std::string name = EntryName(day);
    loadedName_ = name;
    conflictPending_ = false;
    upperVersion_ = EntryVersion{};
    lowerVersion_ = EntryVersion{};
    try {
        try {
            upper_ = LoadPaneVersioned(yearDir_, name, settings_.Password, upperVersion_);
        } catch (...) {
            upper_.source = PaneSource::Unreadable;
            throw;
        }
        upperReadOnly_ = upper_.source == PaneSource::Sealed;
        lower_ = LoadPaneVersioned(lastYearDir_, name, settings_.Password, lowerVersion_);
        if (settings_.AutoInsertDate && !upperReadOnly_ && HoldsNoLine(upper_.text)) {
            upper_.text =
                AppendDateLine(upper_.text, FormatDatePattern(settings_.DateFormat, day_));
            if (upper_.source == PaneSource::Strong) upper_.utf8 = cp932::ToUtf8(upper_.text);
            dateInserted_ = true;
        }
        status_ = kuv::StatusLine(day_);
    } catch (...) {
        modified_ = false;
        unsaved_ = false;
        if (view_ != nullptr) view_->PanesLoaded(false);
        throw;
    }
    // Filling the panes is no change of the entry.
    modified_ = false;
    unsaved_ = false;
    if (view_ != nullptr) view_->PanesLoaded(true);
}

std::string DiarySession::UpperBytes() const {
    const std::u16string text = pane_ != nullptr ? pane_->Text() : std::u16string();
    // Characters left as they were keep the codes they were loaded with.
    cp932::Encoded enc = cp932::FromUtf16Keeping(text, upper_.text);
    if (enc.ok) return std::move(enc.bytes);
    throw UnstorableTextError(
        "(" + cp932::CodePointName(enc.badChar) + ") " + TextOf(TextId::UnstorableCharacter),
        enc.badChar);
}

void DiarySession::Save() {
    // Taking the other version shows it: the pane's text now lies in a copy.
    if (SaveUnder(day_) == SaveOutcome::TookTheirs) LoadInto(loadedDay_);
}

DiarySession::SaveOutcome DiarySession::SaveUnder(TDateTime day) {
    const std::string loadedFolder = yearDir_;
    yearDir_ = YearFolder(settings_.DataPath, day);
    if (!modified_) return SaveOutcome::Nothing;
    // A sealed entry is kept until the password that opens it is set again;
    // one that could not be read is never replaced by what the pane shows.
    if (upperReadOnly_) return SaveOutcome::Nothing;
    // Under the strong lock the text is sealed as UTF-8, whatever characters
    // it holds; code page 932 is only the Windows files' form.
    const bool strong = lock::HasStrongLock(settings_.DataPath);
    const std::string utf8 =
        strong ? unicode::Utf16ToUtf8(pane_ != nullptr ? pane_->Text() : std::u16string())
               : std::string();
    bool wide = false;
    const std::string text = strong ? PaneTextFromUtf8(utf8, wide) : UpperBytes();
    const bool onlyTemplate = strong ? utf8 == cp932::ToUtf8(templateText_) : text == templateText_;
    // A new day holding only the untouched template stays without an entry.
    if (templateLoad_ == loadCount_ && upper_.source == PaneSource::None && onlyTemplate) {
        unsaved_ = false;
        return SaveOutcome::Nothing;
    }
    // The default data folder is made at the first save that needs it, so
    // that a start that saves nothing leaves nothing behind. A folder the
    // user chose is not made: a missing one may be a disk not mounted.
    if (settings_.DataPath == paths_.settingsFolder && !fsio::IsDirectory(settings_.DataPath)) {
        fsio::MakeDirectories(settings_.DataPath);
    }
    const std::string name = EntryName(day);
    // Never overwritten in silence: the entry must be as it was loaded. A
    // save into another place (the data folder was changed meanwhile) finds
    // there what nothing was loaded from.
    const bool samePlace = yearDir_ == loadedFolder && name == loadedName_;
    const EntryChange change =
        EntryChangedSince(samePlace ? upperVersion_ : EntryVersion{}, yearDir_, name);
    if (change != EntryChange::None) {
        const SaveOutcome settled = SettleConflict(yearDir_, name, text, utf8, strong, change);
        if (settled == SaveOutcome::TookTheirs) return settled;
    }
    if (strong) {
        SaveStrongText(yearDir_, name, utf8);
    } else {
        SaveEntry(yearDir_, name, text, settings_.UseEncryption, settings_.Password);
    }
    ForgetDraft(day);
    upperVersion_ = VersionAfterSave(yearDir_, name, strong ? utf8 : text, settings_.Password);
    loadedName_ = name;
    conflictPending_ = false;
    unsaved_ = false;
    if (view_ != nullptr) view_->EntrySaved();
    return SaveOutcome::Saved;
}

DiarySession::SaveOutcome DiarySession::SettleConflict(const std::string& folder,
                                                       const std::string& name,
                                                       const std::string& text,
                                                       const std::string& utf8, bool strong,
                                                       EntryChange change) {
    const EntryVersion now = CaptureEntryVersion(folder, name);
    DiskConflict conflict;
    conflict.change = change;
    conflict.path = folder + "/" + name +
                    (now.file == EntryFile::Sealed   ? ".kvd"
                     : now.file == EntryFile::Locked ? ".xda"
                                                     : ".dia");
    const ConflictChoice choice =
        asking_ && view_ != nullptr ? view_->ResolveConflict(conflict) : ConflictChoice::TakeTheirs;
    const std::time_t when = std::time(nullptr);
    switch (choice) {
        case ConflictChoice::Cancel:
            throw Cancelled();
        case ConflictChoice::TakeTheirs: {
            // My text goes into a copy, locked when the entry would be.
            const ConflictWrite copy =
                strong ? WriteStrongConflictCopy(folder, name, utf8, when)
                       : WriteConflictCopy(
                             folder, name, text,
                             settings_.UseEncryption ? settings_.Password : std::string(), when);
            if (!copy.ok) {
                throw AppError(FormatMessage(TextOf(TextId::CannotCreateFile),
                                             folder + "/" + name + ".conflict"));
            }
            lastConflictCopy_ = copy.path;
            ForgetDraft(loadedDay_);
            upperVersion_ = now;
            conflictPending_ = false;
            modified_ = false;
            unsaved_ = false;
            if (view_ != nullptr) view_->EntrySaved();
            return SaveOutcome::TookTheirs;
        }
        case ConflictChoice::KeepMine:
            break;
    }
    // The other version is kept as it lies, byte for byte, before mine
    // replaces it.
    for (const bool locked : {false, true}) {
        const FileVersion& file = locked ? now.locked : now.plain;
        if (!file.present) continue;
        const ConflictWrite copy = CopyEntryFileAsConflict(folder, name, locked, when);
        if (!copy.ok) {
            throw AppError(FormatMessage(TextOf(TextId::CannotCreateFile),
                                         folder + "/" + name + (locked ? ".xda" : ".dia")));
        }
        lastConflictCopy_ = copy.path;
    }
    // A sealed entry's copy stays sealed for its day.
    if (now.sealed.present) {
        const ConflictWrite copy = CopySealedEntryAsConflict(folder, name, when);
        if (!copy.ok) {
            throw AppError(FormatMessage(TextOf(TextId::CannotCreateFile),
                                         folder + "/" + name + lock::kStrongEntryExt));
        }
        lastConflictCopy_ = copy.path;
    }
    return SaveOutcome::Saved;
}

DiarySession::DiskCheck DiarySession::CheckDisk() {
    DiskCheck check;
    if (locked_ || ended_ || loadCount_ == 0) return check;
    const bool upper = upperVersion_.settled ? EntryChangedSince(upperVersion_, yearDir_,
                                                                 loadedName_) != EntryChange::None
                                             : false;
    const bool lower =
        EntryChangedSince(lowerVersion_, lastYearDir_, loadedName_) != EntryChange::None;
    if (!upper && !lower) return check;
    if (upper && modified_ && !upperReadOnly_) {
        conflictPending_ = true;
        check.conflict = true;
        if (lower) {
            lower_ =
                LoadPaneVersioned(lastYearDir_, loadedName_, settings_.Password, lowerVersion_);
            if (view_ != nullptr) view_->LowerPaneLoaded();
        }
        return check;
    }
    if (!upper && modified_) {
        lower_ = LoadPaneVersioned(lastYearDir_, loadedName_, settings_.Password, lowerVersion_);
        if (view_ != nullptr) view_->LowerPaneLoaded();
        check.reloaded = true;
        return check;
    }
    LoadInto(loadedDay_);
    check.reloaded = true;
    return check;
}

void DiarySession::GoTo(TDateTime day) {
    const DateParts d = DecodeDateValue(day);
    if (!WithDay(day_, d.year, d.month, d.day)) ThrowOutOfCalendar();
    SaveUnder(day_);
    SetDay(*WithDay(day_, d.year, d.month, d.day));
    LoadInto(day_);
}

void DiarySession::StepDays(int days) {
    SaveUnder(day_);
    const std::optional<TDateTime> next = ShiftDays(day_, days);
    if (!next) ThrowOutOfCalendar();
    SetDay(*next);
    LoadInto(day_);
}

void DiarySession::StepYear(bool forward) {
    const int days = YearStepDays(day_, forward);
    StepDays(forward ? days : -days);
}

void DiarySession::PickerEntered() {
    Save();
}

void DiarySession::PickerChanged(int year, int month, int day) {
    const std::optional<TDateTime> next = WithDay(day_, year, month, day);
    if (!next) {
        SetDay(day_);
        ThrowOutOfCalendar();
    }
    // A change made while the picker had the focus (a date inserted from the
    // toolbar) is not lost to the new day: it goes to the day it belongs to.
    if (unsaved_) {
        try {
            SaveUnder(loadedDay_);
        } catch (...) {
            SetDay(day_);
            throw;
        }
    }
    SetDay(*next);
    LoadInto(day_);
}

std::optional<ExpandedTemplate> DiarySession::TypingBegan() {
    if (locked_ || upperReadOnly_ || upper_.source != PaneSource::None || loadCount_ == 0 ||
        templateLoad_ == loadCount_ || settings_.NewDayTemplate.empty()) {
        return std::nullopt;
    }
    if (pane_ != nullptr && !pane_->Text().empty()) return std::nullopt;
    ExpandedTemplate t = ExpandDayTemplate(settings_.NewDayTemplate, loadedDay_);
    // As a save will write it back from the pane: characters with two codes
    // come back under their usual one.
    templateText_ = cp932::FromUtf16(cp932::ToUtf16(t.text)).bytes;
    templateLoad_ = loadCount_;
    return t;
}

std::string DiarySession::InsertDate() {
    // A sealed entry takes nothing, not even a date.
    if (upperReadOnly_) return std::string();
    const std::u16string text = pane_ != nullptr ? pane_->Text() : std::u16string();
    std::string line = DateLine(AtLineStart(text), FormatDatePattern(settings_.DateFormat, day_));
    UpperChanged();
    return line;
}

std::string DiarySession::CloseWindow(const ClosingState& state) {
    SaveUnder(day_);
    const SettingsWriteResult r =
        StoreClosingSettings(paths_, startUp_, state, settings_.SaveWindow);
    switch (r.status) {
        case SettingsWrite::Written:
            break;
        case SettingsWrite::KeptUnreadable:
            ended_ = true;
            return r.message;
        default:
            throw AppError(r.message);
    }
    ended_ = true;
    return std::string();
}

std::optional<DraftJob> DiarySession::DraftNow() const {
    const std::optional<std::string> state = UserStateFolder();
    if (!state || locked_ || ended_ || loadCount_ == 0 || upperReadOnly_ || pane_ == nullptr) {
        return std::nullopt;
    }
    DraftJob job;
    job.stateFolder = *state;
    const DateParts d = DecodeDateValue(loadedDay_);
    job.draft.dataPath = settings_.DataPath;
    job.draft.year = d.year;
    job.draft.month = d.month;
    job.draft.day = d.day;
    job.draft.time = static_cast<std::int64_t>(std::time(nullptr));
    job.draft.base = upperVersion_;
    const std::u16string text = pane_->Text();
    // Back at what is saved (a date the load put in is not saved yet).
    const bool strong =
        upper_.source == PaneSource::Strong || upper_.source == PaneSource::StrongWide;
    bool asSaved = false;
    if (strong) {
        asSaved = unicode::Utf16ToUtf8(text) == upper_.utf8;
    } else {
        const cp932::Encoded enc = cp932::FromUtf16Keeping(text, upper_.text);
        asSaved = enc.ok && enc.bytes == upper_.text;
    }
    if (!unsaved_ || (!dateInserted_ && asSaved)) {
        job.remove = true;
        return job;
    }
    job.draft.utf8 = unicode::Utf16ToUtf8(text);
    job.sealed = settings_.UseEncryption;
    job.password = settings_.Password;
    return job;
}

void DiarySession::ForgetDraft(TDateTime day) const {
    // The text lies in the entry (or a copy) now: its draft would only come
    // back at the next start as a stale copy.
    const std::optional<std::string> state = UserStateFolder();
    if (!state) return;
    const DateParts d = DecodeDateValue(day);
    RemoveDraft(*state, settings_.DataPath, d.year, d.month, d.day);
}

void DiarySession::KeepForRecovery() {
    const std::optional<std::string> state = UserStateFolder();
    if (!state || pane_ == nullptr) return;
    const DateParts d = DecodeDateValue(loadedDay_);
    const RecoveryDay day{d.year, d.month, d.day};
    if (lock::HasStrongLock(settings_.DataPath)) {
        KeepSealedForRecovery(*state, day);
        return;
    }
    // A locked diary's text is sealed as its entry would be; a password that
    // cannot lock leaves the entry plain, and so the kept text.
    if (settings_.UseEncryption && CryptKeyStorable(settings_.Password)) {
        WriteSealedRecoveredText(*state, pane_->Text(), day, std::time(nullptr),
                                 settings_.Password);
    } else {
        WriteRecoveredText(*state, pane_->Text(), day, std::time(nullptr));
    }
}

void DiarySession::KeepSealedForRecovery(const std::string& state, const RecoveryDay& day) {
    // Under the strong lock the text is kept sealed for its day, as its entry
    // would be (".kvd"), never in the open; without the key nothing is kept.
    const std::string utf8 = unicode::Utf16ToUtf8(pane_->Text());
    const std::time_t now = std::time(nullptr);
    const std::optional<std::string> sealed =
        lock::SealForDiary(utf8, settings_.DataPath, lock::DayLabel(day.year, day.month, day.day),
                           false, std::string());
    if (!sealed) return;
    WriteStrongRecoveredText(state, *sealed, day, now);
    // No one can read that file without this program: the text also stays
    // as the day's draft, which the next opening of the diary brings back.
    Draft draft;
    draft.dataPath = settings_.DataPath;
    draft.year = day.year;
    draft.month = day.month;
    draft.day = day.day;
    draft.time = static_cast<std::int64_t>(now);
    draft.base = upperVersion_;
    draft.utf8 = utf8;
    WriteDraft(state, draft, false, std::string());
}

void DiarySession::EndSession(const ClosingState& state) {
    if (ended_) return;
    ended_ = true;
    if (locked_) return;
    // No one is asked now: another version on disk stays, and mine is kept
    // as a copy beside it.
    asking_ = false;
    try {
        SaveUnder(day_);
    } catch (...) {
        if (modified_ && !upperReadOnly_) KeepForRecovery();
    }
    // Nothing may hold up the end: the settings are written when they can be.
    StoreClosingSettings(paths_, startUp_, state, settings_.SaveWindow);
}

void DiarySession::Exit() {
    SaveUnder(day_);
    ended_ = true;
}

}  // namespace kuv
