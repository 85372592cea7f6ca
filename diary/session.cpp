#include "diary/session.h"

#include <ctime>
#include <utility>
#include <vector>

#include "app/recovery.h"
#include "dates/date_pattern.h"
#include "diary/date_insertion.h"
#include "diary/navigation.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/fileio.h"
#include "platform/texts.h"

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
    if (settings_.UseEncryption) {
        locked_ = true;
        return true;
    }
    LoadInto(day_);
    return false;
}

bool DiarySession::Unlock(const std::string& typed) {
    if (typed != settings_.Password) return false;
    // Open even when today's entry cannot be read: the pane then stays
    // read-only and the error is shown, but the diary is not shut out.
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
    try {
        try {
            upper_ = LoadPane(yearDir_, name, settings_.Password);
        } catch (...) {
            upper_.source = PaneSource::Unreadable;
            throw;
        }
        upperReadOnly_ = upper_.source == PaneSource::Sealed;
        lower_ = LoadPane(lastYearDir_, name, settings_.Password);
        if (settings_.AutoInsertDate && !upperReadOnly_ && HoldsNoLine(upper_.text)) {
            upper_.text =
                AppendDateLine(upper_.text, FormatDatePattern(settings_.DateFormat, day_));
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
    SaveUnder(day_);
}

void DiarySession::SaveUnder(TDateTime day) {
    yearDir_ = YearFolder(settings_.DataPath, day);
    if (!modified_) return;
    // A sealed entry is kept until the password that opens it is set again;
    // one that could not be read is never replaced by what the pane shows.
    if (upperReadOnly_) return;
    const std::string text = UpperBytes();
    // The default data folder is made at the first save that needs it, so
    // that a start that saves nothing leaves nothing behind. A folder the
    // user chose is not made: a missing one may be a disk not mounted.
    if (settings_.DataPath == paths_.settingsFolder && !fsio::IsDirectory(settings_.DataPath)) {
        fsio::MakeDirectories(settings_.DataPath);
    }
    SaveEntry(yearDir_, EntryName(day), text, settings_.UseEncryption, settings_.Password);
    unsaved_ = false;
    if (view_ != nullptr) view_->EntrySaved();
}

void DiarySession::GoTo(TDateTime day) {
    const DateParts d = DecodeDateValue(day);
    if (!WithDay(day_, d.year, d.month, d.day)) ThrowOutOfCalendar();
    Save();
    SetDay(*WithDay(day_, d.year, d.month, d.day));
    LoadInto(day_);
}

void DiarySession::StepDays(int days) {
    Save();
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

std::string DiarySession::InsertDate() {
    // A sealed entry takes nothing, not even a date.
    if (upperReadOnly_) return std::string();
    const std::u16string text = pane_ != nullptr ? pane_->Text() : std::u16string();
    std::string line = DateLine(AtLineStart(text), FormatDatePattern(settings_.DateFormat, day_));
    UpperChanged();
    return line;
}

std::string DiarySession::CloseWindow(const ClosingState& state) {
    Save();
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

void DiarySession::KeepForRecovery() {
    const std::optional<std::string> state = UserStateFolder();
    if (!state || pane_ == nullptr) return;
    const DateParts d = DecodeDateValue(loadedDay_);
    WriteRecoveredText(*state, pane_->Text(), RecoveryDay{d.year, d.month, d.day},
                       std::time(nullptr));
}

void DiarySession::EndSession(const ClosingState& state) {
    if (ended_) return;
    ended_ = true;
    if (locked_) return;
    try {
        Save();
    } catch (...) {
        if (modified_ && !upperReadOnly_) KeepForRecovery();
    }
    // Nothing may hold up the end: the settings are written when they can be.
    StoreClosingSettings(paths_, startUp_, state, settings_.SaveWindow);
}

void DiarySession::Exit() {
    Save();
    ended_ = true;
}

}  // namespace kuv
