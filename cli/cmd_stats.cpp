#include <cinttypes>
#include <cstdio>
#include <initializer_list>
#include <string>

#include "cli/cli.h"
#include "dates/calendar.h"
#include "diary/diary_stats.h"
#include "diary/tags.h"
#include "platform/cp932.h"

namespace kuv::cli {

namespace {

std::string Number(std::int64_t n) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%" PRId64, n);
    return buf;
}

// "name": n, appended.
void Field(std::string& out, const char* name, std::int64_t n) {
    out += '"';
    out += name;
    out += "\": ";
    out += Number(n);
}

std::string StatsJson(const DiaryStats& s) {
    std::string out = "{";
    Field(out, "days", s.days);
    out += ", ";
    Field(out, "characters", s.characters);
    out += ", ";
    Field(out, "longest_run", s.longestRun);
    out += ", ";
    Field(out, "current_run", s.currentRun);
    out += ", \"years\": {";
    for (std::size_t i = 0; i < s.years.size(); ++i) {
        const YearStats& y = s.years[i];
        if (i > 0) out += ", ";
        out += '"';
        out += Number(y.year);
        out += "\": {";
        Field(out, "days", y.days);
        out += ", ";
        Field(out, "characters", y.characters);
        out += '}';
    }
    out += "}}\n";
    return out;
}

// Values joined by tabs, as one line.
std::string Row(std::initializer_list<std::string> values) {
    std::string line;
    for (const std::string& v : values) {
        if (!line.empty()) line += '\t';
        line += v;
    }
    line += '\n';
    return line;
}

std::string StatsText(const DiaryStats& s) {
    std::string out;
    out += Row({"days", Number(s.days)});
    out += Row({"characters", Number(s.characters)});
    out += Row({"average", Number(s.Average())});
    out += Row({"longest_run", Number(s.longestRun)});
    out += Row({"current_run", Number(s.currentRun)});
    if (!s.years.empty()) out += "\nYEAR\tDAYS\tCHARACTERS\tAVERAGE\tLONGEST_RUN\n";
    for (const YearStats& y : s.years) {
        out += Row({Number(y.year), Number(y.days), Number(y.characters),
                    Number(AverageOf(y.characters, y.days, y.estimated)), Number(y.longestRun)});
    }
    return out;
}

}  // namespace

int RunStats(int argc, char** argv) {
    auto args = ParseArgs(argc, argv, 2, {"json"}, {"app-dir", "data", "password"});
    if (!args) return 2;
    if (!args->positional.empty()) return Usage();
    int status = 0;
    const auto diary = ResolveDiary(*args, DiaryNeeds::DataAndPassword, status);
    if (!diary) return status;

    const std::vector<DayCount> days =
        CountDaysFromText(diary->settings.DataPath, diary->settings.Password);
    const DateParts today = DecodeDateValue(CurrentDateTime());
    const DiaryStats s = Summarise(days, today.year, today.month, today.day);
    std::size_t sealed = 0, unreadable = 0;
    for (const DayCount& d : days) {
        sealed += d.kind == DayCountKind::Sealed ? 1 : 0;
        unreadable += d.kind == DayCountKind::Unreadable ? 1 : 0;
    }
    if (sealed > 0) {
        std::fprintf(stderr,
                     "kuvandoro-cli: %zu locked entries counted as written days without their "
                     "characters: the password does not open them\n",
                     sealed);
    }
    if (unreadable > 0) {
        std::fprintf(stderr,
                     "kuvandoro-cli: %zu entry files counted as written days without their "
                     "characters: they cannot be read\n",
                     unreadable);
    }
    return WriteOut(args->Has("json") ? StatsJson(s) : StatsText(s)) ? 0 : 1;
}

int RunTags(int argc, char** argv) {
    auto args = ParseArgs(argc, argv, 2, {}, {"app-dir", "data", "password"});
    if (!args) return 2;
    if (!args->positional.empty()) return Usage();
    int status = 0;
    const auto diary = ResolveDiary(*args, DiaryNeeds::DataAndPassword, status);
    if (!diary) return status;

    const DiaryTags tags = CountDiaryTags(diary->settings.DataPath, diary->settings.Password);
    std::string out;
    for (const TagCount& t : tags.tags) {
        out += Row({cp932::ToUtf8(t.text), Number(static_cast<std::int64_t>(t.days))});
    }
    if (tags.sealed > 0) {
        std::fprintf(stderr,
                     "kuvandoro-cli: %zu locked entries left out: the password does not open "
                     "them\n",
                     tags.sealed);
    }
    if (tags.unreadable > 0) {
        std::fprintf(stderr, "kuvandoro-cli: %zu entry files left out: they cannot be read\n",
                     tags.unreadable);
    }
    return WriteOut(out) ? 0 : 1;
}

}  // namespace kuv::cli
