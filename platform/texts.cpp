#include "platform/texts.h"

#include <array>
#include <cstddef>

#include "platform/cp932.h"

namespace kuv {

namespace {

constexpr std::size_t kCount = static_cast<std::size_t>(TextId::Count_);

struct Entry {
    TextId id;
    const char* utf8;
};

constexpr Entry kTexts[] = {
    {TextId::CannotCreateFile, "ファイル %s を作成できません"},
    {TextId::CannotOpenFile, "ファイル %s は開けません"},
    {TextId::TextTooLarge, "文字列の大きさが メモ の制限を越えました"},
    {TextId::UpperYearPattern, "\"▲ \"yyyy\"年\""},
    {TextId::LowerYearPattern, "\"  ▼ \"yyyy\"年\""},
    {TextId::InvalidDate, "日付に変換できない値が渡されました"},
    {TextId::InvalidTime, "時刻に変換できない値が渡されました"},
    {TextId::CannotWriteSettings, "%s に書き込めません"},
    {TextId::CannotSetCalendar, "カレンダーに日付時刻を設定できません。"},
    {TextId::UnstorableCharacter, "はこの日記に保存できない文字です。日記は保存されていません。"},
    {TextId::SettingsUnreadable, "設定ファイル %s を読み込めません"},
    {TextId::CauseNotAFile, "（ファイルではありません）"},
    {TextId::CauseNoReadPermission, "（読み取りの権限がありません）"},
    {TextId::CauseCannotOpen, "（ファイルを開けません）"},
    {TextId::CauseReadError, "（読み込み中にエラーが起きました）"},
    {TextId::CauseTooLarge, "（設定ファイルとしては大きすぎます）"},
    {TextId::CauseForeignKey, "（別のキーで暗号化されています）"},
    {TextId::CauseDamaged, "（壊れています）"},
    {TextId::CauseReadOnlyFile, "（読み取り専用のファイルです）"},
    {TextId::CauseFolderNotCreated, "（フォルダ %s を作成できません）"},
    {TextId::CauseFolderNotWritable, "（フォルダ %s に書き込む権限がありません）"},
    {TextId::CauseDiskFull, "（ディスクの空き容量が足りません）"},
    {TextId::CauseValueRefused, "（値に改行かヌル文字が含まれています）"},
    {TextId::CauseWriteError, "（書き込み中にエラーが起きました）"},
    {TextId::SentenceEnd, "。"},
    {TextId::SettingsNotStored, "\n設定は保存していません。ファイルはそのまま残してあります。"},
    {TextId::RecoveredTexts,
     "前回の終了のときに保存できなかった日記の文章を、次のファイルに残してあります。"},
    {TextId::ArchiveModuleMissing, "バックアップと復元の部品を読み込めません（%s）"},
};

// The table is looked up by position, so every id must stand at its own.
constexpr bool InIdOrder() {
    for (std::size_t i = 0; i < std::size(kTexts); ++i) {
        if (static_cast<std::size_t>(kTexts[i].id) != i) return false;
    }
    return std::size(kTexts) == kCount;
}
static_assert(InIdOrder(), "kTexts must list every TextId once, in order");

}  // namespace

const std::string& TextOf(TextId id) {
    // Converted as a whole under the guard of a function-local static, so a
    // second thread waits for the first instead of converting again.
    static const std::array<std::string, kCount> table = [] {
        std::array<std::string, kCount> out;
        for (std::size_t i = 0; i < kCount; ++i) {
            out[i] = cp932::FromUtf8(kTexts[i].utf8).value_or(std::string());
        }
        return out;
    }();
    return table[static_cast<std::size_t>(id)];
}

}  // namespace kuv
