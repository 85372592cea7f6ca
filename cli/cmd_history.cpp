#include <cstdio>
#include <ctime>
#include <optional>
#include <string>

#include "cli/cli.h"
#include "dates/calendar.h"
#include "dates/date_pattern.h"
#include "diary/diary_book.h"
#include "history/entry_history.h"
#include "platform/cp932.h"

namespace kuv::cli {

namespace {

// The day of the command line; nothing (after a message) when it is none.
std::optional<TDateTime> DayArgument(const std::string& word) {
    const std::optional<DateParts> parts = ParseIsoDay(word);
    if (!parts) {
        std::fprintf(stderr, "kuvandoro-cli: not a date of the form YYYY-MM-DD: %s\n",
                     word.c_str());
        return std::nullopt;
    }
    return EncodeDateValue(parts->year, parts->month, parts->day);
}

// The versions of the day in the diary's history, after a warning for each
// file that is skipped.
std::optional<VersionList> VersionsOf(const TDiarySettings& settings, TDateTime day) {
    const std::optional<std::string> root = UserHistoryRoot();
    if (!root) {
        std::fputs("kuvandoro-cli: no home folder to find the history in\n", stderr);
        return std::nullopt;
    }
    const std::string folder = DiaryHistoryFolder(*root, settings.DataPath);
    VersionList list = ListEntryVersions(folder, FormatDatePattern("yyyy", day), EntryName(day));
    for (const std::string& path : list.skipped) {
        PrintMessage(stderr, SkippedVersionMessage(path));
    }
    return list;
}

std::string LocalTime(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    char buf[32] = "?";
    if (localtime_r(&t, &tm) != nullptr) std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &tm);
    return buf;
}

}  // namespace

int RunHistory(int argc, char** argv) {
    auto args = ParseArgs(argc, argv, 2, {}, {"app-dir", "data", "password"});
    if (!args) return 2;
    if (args->positional.size() != 1) return Usage();
    const std::optional<TDateTime> day = DayArgument(args->positional[0]);
    if (!day) return 2;
    int status = 0;
    const auto diary = ResolveDiary(*args, DiaryNeeds::DataFolder, status);
    if (!diary) return status;
    const std::optional<VersionList> list = VersionsOf(diary->settings, *day);
    if (!list) return 1;
    std::string out;
    for (std::size_t i = 0; i < list->versions.size(); ++i) {
        const EntryVersionFile& v = list->versions[i];
        out +=
            std::to_string(i + 1) + "\t" + LocalTime(v.time) + "\t" + std::to_string(v.size) + "\n";
    }
    return WriteOut(out) ? 0 : 1;
}

int ShowVersion(const DiaryOptions& diary, TDateTime day, const std::string& number, bool raw) {
    std::size_t n = 0;
    for (const char c : number) {
        if (c < '0' || c > '9' || n > 100000) return Usage();
        n = n * 10 + static_cast<std::size_t>(c - '0');
    }
    if (n == 0) return Usage();
    const std::optional<VersionList> list = VersionsOf(diary.settings, day);
    if (!list) return 1;
    if (n > list->versions.size()) {
        std::fprintf(stderr, "kuvandoro-cli: no version %zu of this day\n", n);
        return 1;
    }
    const std::string& path = list->versions[n - 1].path;
    VersionText version;
    switch (OpenEntryVersion(path, diary.settings.DataPath, FormatDatePattern("yyyy", day),
                             EntryName(day), diary.settings.Password, version)) {
        case VersionOpen::Opened:
            break;
        case VersionOpen::Damaged:
            PrintMessage(stderr, SkippedVersionMessage(path));
            return 1;
        case VersionOpen::Closed:
            std::fputs("kuvandoro-cli: the password does not open this version\n", stderr);
            return 1;
    }
    const std::string text = PaneTextFromFile(version.text);
    if (version.utf8) {
        // A strong-locked version is UTF-8; --raw gives code page 932 as for
        // any entry.
        bool wide = false;
        return WriteOut(raw ? PaneTextFromUtf8(text, wide) : Utf8ForTerminal(text)) ? 0 : 1;
    }
    return WriteOut(raw ? text : ForTerminal(text)) ? 0 : 1;
}

}  // namespace kuv::cli
