#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "dates/calendar.h"

// The diary book: where each day's entry lives, loading both panes, saving the
// upper one. Texts are code page 932 bytes with CR LF line breaks.
namespace kuv {

// Largest text a pane takes; a bigger file stops the load.
inline constexpr std::size_t kMaxPaneBytes = std::size_t{64} << 20;

enum class PaneSource {
    None,        // no entry file
    Plain,       // mmdd.dia
    Locked,      // mmdd.xda decoded with the password
    Sealed,      // mmdd.xda that the password does not open: shown as stored, kept read-only
    Raw,         // mmdd.xda that is no container: shown as stored
    Unreadable,  // an entry file that could not be read: shown empty, kept read-only
    Strong,      // mmdd.kvd opened with the diary's strong-lock key
    StrongWide,  // the same with characters code page 932 cannot hold ("?" in text)
};

struct PaneContent {
    std::string text;
    PaneSource source = PaneSource::None;
    // Strong and StrongWide: the entry's whole text as UTF-8 under the same
    // rules (CR LF), which is what a window shows; text then holds it in code
    // page 932 with "?" for what that cannot hold.
    std::string utf8;
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
// The pane text of a sealed entry's UTF-8 in code page 932; a character that
// code page 932 cannot hold shows as "?" and wide tells the caller so.
std::string PaneTextFromUtf8(std::string_view utf8, bool& wide);

// Loads one pane from folder/name.dia or folder/name.xda. The .dia wins; the
// .xda is decoded in memory and never changed. A .xda that the password does
// not open comes back as its stored bytes: Sealed when it is a container
// (the text is then the single character 0x17), Raw when it is none. A file
// gone since it was seen counts as missing. A sealed mmdd.kvd comes first and
// is opened with the key the process holds for the data folder; without that
// key, or when the file is damaged or belongs to another day, AppError says
// so. Throws AppError ("ファイル %s は開けません", "文字列の大きさが メモ の制限を越えました").
PaneContent LoadPane(const std::string& folder, const std::string& name,
                     const std::string& password);

// LoadPane for a day that a listing found sealed (folder/name.kvd): the
// sealed file is read without a look for it first.
PaneContent LoadSealedPane(const std::string& folder, const std::string& name,
                           const std::string& password);

// Saves text as folder/name: the year folder is created when missing, the
// .dia is replaced through its work file and, with encryption, locked into
// the .xda which then alone holds the day. In a strong-locked data folder the
// entry is sealed into the .kvd instead, and never written plain; without
// the folder's key open nothing is written. Throws AppError
// ("ファイル %s を作成できません") with the previous entry intact.
void SaveEntry(const std::string& folder, const std::string& name, const std::string& text,
               bool useEncryption, const std::string& password);

// SaveEntry for a strong-locked data folder, the text given as UTF-8, so that
// it may hold any character. Throws as SaveEntry does.
void SaveStrongText(const std::string& folder, const std::string& name, const std::string& utf8);

}  // namespace kuv
