#include "cli/cli.h"

#include <cstdio>
#include <optional>
#include <string>

#include "dates/calendar.h"
#include "diary/diary_book.h"
#include "platform/cp932.h"
#include "platform/errors.h"

namespace kuv::cli {

namespace {

void PrintError(const AppError& e) {
    std::fprintf(stderr, "kuvandoro-cli: %s\n", cp932::ToUtf8(e.what()).c_str());
}

}  // namespace

int RunShow(int argc, char** argv) {
    auto args = ParseArgs(argc, argv, 2, {"raw", "password-stdin"},
                          {"app-dir", "data", "password", "version"});
    if (!args) return 2;
    if (args->positional.size() != 1) return Usage();
    const std::optional<DateParts> parts = ParseIsoDay(args->positional[0]);
    if (!parts) {
        std::fprintf(stderr, "kuvandoro-cli: not a date of the form YYYY-MM-DD: %s\n",
                     args->positional[0].c_str());
        return 2;
    }
    const TDateTime day = EncodeDateValue(parts->year, parts->month, parts->day);

    int status = 0;
    const auto diary = ResolveDiary(*args, DiaryNeeds::DataAndPassword, status);
    if (!diary) return status;
    if (const std::optional<std::string> version = args->Value("version")) {
        return ShowVersion(*diary, day, *version, args->Has("raw"));
    }

    try {
        const PaneContent pane = LoadPane(YearFolder(diary->settings.DataPath, day), EntryName(day),
                                          diary->settings.Password);
        // A strong-locked entry shows every character it holds.
        const std::string out = args->Has("raw")    ? pane.text
                                : pane.utf8.empty() ? ForTerminal(pane.text)
                                                    : Utf8ForTerminal(pane.utf8);
        if (!WriteOut(out)) return 1;
    } catch (const AppError& e) {
        PrintError(e);
        return 1;
    }
    return 0;
}

}  // namespace kuv::cli
