#include "drafts/draft_restore.h"

#include <cstdio>
#include <optional>

#include "diary/conflict_copies.h"
#include "diary/diary_book.h"
#include "diary/entry_version.h"
#include "drafts/draft_store.h"
#include "lock/strong_lock.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/fileio.h"

namespace kuv {

namespace {

// "前回保存されなかった文章を戻しました"
constexpr const char* kPutBack =
    "\x91O\x89\xf1\x95\xdb\x91\xb6\x82\xb3\x82\xea\x82\xc8\x82\xa9\x82\xc1\x82\xbd\x95\xb6\x8f\xcd"
    "\x82\xf0\x96\xdf\x82\xb5\x82\xdc\x82\xb5\x82\xbd";
// "前回保存されなかった文章は、その後に日記が変わっていたため、競合のコピーとして残しました"
constexpr const char* kAsCopies =
    "\x91O\x89\xf1\x95\xdb\x91\xb6\x82\xb3\x82\xea\x82\xc8\x82\xa9\x82\xc1\x82\xbd\x95\xb6\x8f\xcd"
    "\x82\xcd\x81"
    "A\x82\xbb\x82\xcc\x8c\xe3\x82\xc9\x93\xfa\x8bL\x82\xaa\x95\xcf\x82\xed\x82\xc1\x82\xc4\x82\xa2"
    "\x82\xbd\x82\xbd\x82\xdf\x81"
    "A\x8b\xa3\x8d\x87\x82\xcc\x83R\x83s\x81[\x82\xc6\x82\xb5\x82\xc4\x8e"
    "c\x82\xb5\x82\xdc\x82\xb5\x82\xbd";
// "下書き %s を戻せませんでした。ファイルは消さずに残してあります。"
constexpr const char* kKept =
    "\x89\xba\x8f\x91\x82\xab %s "
    "\x82\xf0\x96\xdf\x82\xb9\x82\xdc\x82\xb9\x82\xf1\x82\xc5\x82\xb5\x82\xbd\x81"
    "B\x83t\x83@\x83"
    "C\x83\x8b\x82\xcd\x8f\xc1\x82\xb3\x82\xb8\x82\xc9\x8e"
    "c\x82\xb5\x82\xc4\x82\xa0\x82\xe8\x82\xdc\x82\xb7\x81"
    "B";

std::string YearName(int year) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%04d", year);
    return buf;
}

std::string EntryNameOf(int month, int day) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%02d%02d", month, day);
    return buf;
}

// The entry's text now, when it can be read as the pane would show it: as
// UTF-8 for a strong-locked one (any character), otherwise code page 932.
std::optional<std::string> EntryText(const std::string& folder, const std::string& name,
                                     const std::string& password) {
    try {
        PaneContent pane = LoadPane(folder, name, password);
        if (pane.source == PaneSource::Sealed || pane.source == PaneSource::Raw) {
            return std::nullopt;
        }
        if (pane.source == PaneSource::Strong || pane.source == PaneSource::StrongWide) {
            return std::move(pane.utf8);
        }
        return std::move(pane.text);
    } catch (const AppError&) {
        return std::nullopt;
    }
}

}  // namespace

std::string DraftRestore::StatusText() const {
    if (!putBack.empty()) return kPutBack;
    if (!conflictCopies.empty()) return kAsCopies;
    return std::string();
}

std::vector<std::string> DraftRestore::KeptMessages() const {
    std::vector<std::string> messages;
    for (const std::string& path : kept) messages.push_back(FormatMessage(kKept, path));
    return messages;
}

DraftRestore RestoreDrafts(const std::string& stateFolder, const std::string& dataPath,
                           bool useEncryption, const std::string& password, std::time_t now) {
    DraftRestore result;
    for (const std::string& path : ListDraftFiles(stateFolder, dataPath)) {
        Draft draft;
        // A draft under another name than its day's is no draft of this diary.
        if (ReadDraft(path, dataPath, password, draft) != DraftRead::Ok ||
            DraftPath(stateFolder, dataPath, draft.year, draft.month, draft.day) != path) {
            result.kept.push_back(path);
            continue;
        }
        const std::string folder = dataPath + "/" + YearName(draft.year);
        const std::string name = EntryNameOf(draft.month, draft.day);
        // Under the strong lock the text stays UTF-8 all the way.
        const bool strong = lock::HasStrongLock(dataPath);
        const std::optional<std::string> text =
            strong ? std::optional<std::string>(draft.utf8) : cp932::FromUtf8(draft.utf8);
        const std::optional<std::string> entry = EntryText(folder, name, password);
        // Saved after all (the run ended before the draft went): nothing to bring back.
        if (text && entry && PaneTextFromFile(*text) == *entry) {
            RemoveDraft(stateFolder, dataPath, draft.year, draft.month, draft.day);
            continue;
        }
        if (CompareEntryVersions(draft.base, CaptureEntryVersion(folder, name)) ==
            EntryChange::None) {
            result.putBack.push_back(
                RestoredDraft{draft.year, draft.month, draft.day, std::move(draft.utf8), path});
            continue;
        }
        // The entry changed since the text was loaded: the text becomes a copy
        // beside it. One that code page 932 cannot hold stays a draft.
        const ConflictWrite copy =
            strong ? WriteStrongConflictCopy(folder, name, draft.utf8, now)
            : text ? WriteConflictCopy(folder, name, *text,
                                       useEncryption ? password : std::string(), now)
                   : ConflictWrite{};
        if (!copy.ok) {
            result.kept.push_back(path);
            continue;
        }
        result.conflictCopies.push_back(copy.path);
        RemoveDraft(stateFolder, dataPath, draft.year, draft.month, draft.day);
    }
    return result;
}

}  // namespace kuv
