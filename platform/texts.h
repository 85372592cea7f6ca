#pragma once

#include <string>

// The core's own texts shown to the user: messages and the status-line
// patterns. They are written once, in UTF-8, in texts.cpp.
namespace kuv {

enum class TextId {
    CannotCreateFile,     // "ファイル %s を作成できません"
    CannotOpenFile,       // "ファイル %s は開けません"
    TextTooLarge,         // "文字列の大きさが メモ の制限を越えました"
    UpperYearPattern,     // the status line's date pattern "▲ "yyyy"年"
    LowerYearPattern,     // the status line's date pattern "  ▼ "yyyy"年"
    InvalidDate,          // "日付に変換できない値が渡されました"
    InvalidTime,          // "時刻に変換できない値が渡されました"
    CannotWriteSettings,  // "%s に書き込めません"
    CannotSetCalendar,    // "カレンダーに日付時刻を設定できません。"
    UnstorableCharacter,  // "はこの日記に保存できない文字です。日記は保存されていません。"
    SettingsUnreadable,
    CauseNotAFile,
    CauseNoReadPermission,
    CauseCannotOpen,
    CauseReadError,
    CauseTooLarge,
    CauseForeignKey,
    CauseDamaged,
    CauseReadOnlyFile,
    CauseFolderNotCreated,
    CauseFolderNotWritable,
    CauseDiskFull,
    CauseValueRefused,
    CauseWriteError,
    SentenceEnd,
    SettingsNotStored,
    RecoveredTexts,
    ArchiveModuleMissing,
    Count_
};

// The text as code page 932 bytes. The whole table is converted on the first
// call, from any thread, and stays for the life of the process.
const std::string& TextOf(TextId id);

}  // namespace kuv
