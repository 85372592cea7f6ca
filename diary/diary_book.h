#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "app/settings.h"
#include "dates/calendar.h"

// The diary book: where each day's entry lives, loading both panes, saving the
// upper one. Texts are code page 932 bytes with CR LF line breaks.
namespace kuv {

// Largest text a pane takes; a bigger file stops the load.
inline constexpr std::size_t kMaxPaneBytes = std::size_t{64} << 20;

enum class PaneSource {
    None,    // no entry file
    Plain,   // mmdd.dia
    Locked,  // mmdd.xda decoded with the password
    Sealed,  // mmdd.xda that the password does not open: shown as stored, kept read-only
    Raw,     // mmdd.xda that is no container: shown as stored
};

struct PaneContent {
    std::string text;
    PaneSource source = PaneSource::None;
};

// dataPath + "/" + yyyy of date.
std::string YearFolder(const std::string& dataPath, TDateTime date);
// "mmdd" of date.
std::string EntryName(TDateTime date);
// "▲ yyyy年  ▼ yyyy年" for the picker's value.
std::string StatusLine(TDateTime picker);
// The pane's text rules: the first zero byte ends the text; every line break
// becomes CR LF.
std::string PaneTextFromFile(std::string_view bytes);

// Loads one pane from folder/name.dia or folder/name.xda. The .dia wins; the
// .xda is decoded in memory and never changed. A .xda that the password does
// not open comes back as its stored bytes: Sealed when it is a container
// (the text is then the single character 0x17), Raw when it is none. A file
// gone since it was seen counts as missing. Throws AppError
// ("ファイル %s は開けません", "文字列の大きさが メモ の制限を越えました").
PaneContent LoadPane(const std::string& folder, const std::string& name,
                     const std::string& password);

// Saves text as folder/name: the year folder is created when missing, the
// .dia is replaced through its work file and, with encryption, locked into
// the .xda which then alone holds the day. Throws AppError
// ("ファイル %s を作成できません") with the previous entry intact.
void SaveEntry(const std::string& folder, const std::string& name, const std::string& text,
               bool useEncryption, const std::string& password);

// The diary state of the main window (FModified, FYearDir, FLastYearDir).
class DiaryBook {
  public:
    explicit DiaryBook(TDiarySettings& settings) : settings_(settings) {}

    // Filled in this order: upper, lower (then the automatic date), status.
    struct Loaded {
        PaneContent upper, lower;
        std::string status;         // empty until the status line is reached
        bool dateInserted = false;  // the automatic date went into the upper text
    };
    // LoadDiary(date) with the picker on picker: both panes, the automatic
    // date, the status line; clears FModified and the unsaved flag. Throws
    // AppError as LoadPane does.
    Loaded LoadDiary(TDateTime picker, TDateTime date);
    // The same, filling out as it goes: when it throws, out holds what was
    // loaded before that point (the panes keep it; an empty status means the
    // status bar stays as it was). Apply the texts to the panes with their
    // change signals blocked, or call ClearModified() afterwards. After a
    // failed upper load UpperSealed() is true, so the pane stays read-only
    // and no save replaces the entry that could not be read.
    void LoadDiary(TDateTime picker, TDateTime date, Loaded& out);
    // SaveDiary(): saves upperText under day when FModified is set, unless
    // UpperSealed(). Throws AppError ("ファイル %s を作成できません"); on
    // success clears the unsaved flag (FModified stays set).
    void SaveDiary(TDateTime day, const std::string& upperText);

    void MarkChanged();  // Memo1Change
    bool Modified() const { return modified_; }
    // A change that no save has written yet.
    bool Unsaved() const { return unsaved_; }
    // The day the panes were last loaded for.
    TDateTime LoadedDay() const { return loadedDay_; }
    // True while the upper pane shows a sealed entry, or an entry that could
    // not be loaded: the pane is read-only and no save may replace it.
    bool UpperSealed() const { return upperSealed_; }
    const std::string& YearDir() const { return yearDir_; }
    const std::string& LastYearDir() const { return lastYearDir_; }
    void ClearModified() { modified_ = false; }

  private:
    TDiarySettings& settings_;
    bool modified_ = false;
    bool unsaved_ = false;
    bool upperSealed_ = false;
    TDateTime loadedDay_ = 0;
    std::string yearDir_, lastYearDir_;
};

// Days of a year step from current (365 or 366), by the leap-year table.
int YearStepDays(TDateTime current, bool forward);

// InsertDate's text rule: stamp appended as a new last line; caret is the
// byte offset after the inserted text.
std::string AppendDateLine(const std::string& text, const std::string& stamp, std::size_t& caret);
// True when the text holds no line (it is empty).
bool HoldsNoLine(const std::string& text);

}  // namespace kuv
