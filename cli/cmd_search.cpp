#include <cstdio>
#include <optional>
#include <string>

#include "cli/cli.h"
#include "dates/calendar.h"
#include "diary/every_year.h"
#include "diary/search.h"
#include "platform/cp932.h"

namespace kuv::cli {

namespace {

std::string JsonString(const std::string& utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", b);
            out += esc;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

void ReportSkipped(std::size_t sealed, std::size_t unreadable) {
    if (sealed > 0) {
        std::fprintf(stderr,
                     "kuvandoro-cli: %zu locked entries left out: the password does not open "
                     "them\n",
                     sealed);
    }
    if (unreadable > 0) {
        std::fprintf(stderr, "kuvandoro-cli: %zu entry files left out: they cannot be read\n",
                     unreadable);
    }
}

}  // namespace

int RunSearch(int argc, char** argv) {
    auto args =
        ParseArgs(argc, argv, 2, {"json", "password-stdin"}, {"app-dir", "data", "password"});
    if (!args) return 2;
    std::string words;
    for (const std::string& w : args->positional) words += w + " ";
    const auto bytes = ArgToCp932(words, "search term");
    if (!bytes) return 2;
    const SearchQuery query = ParseQuery(std::string_view(*bytes));
    if (query.Empty()) return Usage();
    int status = 0;
    const auto diary = ResolveDiary(*args, DiaryNeeds::DataAndPassword, status);
    if (!diary) return status;

    const SearchResults r = SearchFiles(diary->settings.DataPath, diary->settings.Password, query);
    const bool json = args->Has("json");
    std::string out = json ? "[" : "";
    for (std::size_t i = 0; i < r.matches.size(); ++i) {
        const SearchMatch& m = r.matches[i];
        const std::string date = IsoDayText(m.year, m.month, m.day);
        const std::string line = ForTerminal(r.Row(i).line);
        if (json) {
            out += i == 0 ? "\n" : ",\n";
            out += "  {\"date\": \"" + date + "\", \"line\": " + JsonString(line) +
                   ", \"locked\": " + (m.source == PaneSource::Plain ? "false" : "true") + "}";
        } else {
            out += date + "\t" + line + "\n";
        }
    }
    if (json) out += r.matches.empty() ? "]\n" : "\n]\n";
    ReportSkipped(r.sealed, r.unreadable);
    if (!WriteOut(out)) return 1;
    return r.matches.empty() ? 1 : 0;
}

int RunYears(int argc, char** argv) {
    auto args = ParseArgs(argc, argv, 2, {"password-stdin"}, {"app-dir", "data", "password"});
    if (!args) return 2;
    if (args->positional.size() != 1) return Usage();
    const std::optional<DateParts> md = ParseMonthDay(args->positional[0]);
    if (!md) {
        std::fprintf(stderr, "kuvandoro-cli: not a day of the form MM-DD: %s\n",
                     args->positional[0].c_str());
        return 2;
    }
    const int month = md->month, day = md->day;
    int status = 0;
    const auto diary = ResolveDiary(*args, DiaryNeeds::DataAndPassword, status);
    if (!diary) return status;

    const EveryYear list =
        ListEveryYear(diary->settings.DataPath, month, day, diary->settings.Password);
    std::string out;
    for (const YearEntry& e : list.entries) {
        out += IsoDayText(e.year, month, day) + "\n";
        std::string text = e.utf8.empty() ? ForTerminal(e.text) : Utf8ForTerminal(e.utf8);
        if (!text.empty() && text.back() != '\n') text += '\n';
        out += text + "\n";
    }
    ReportSkipped(list.sealed, list.unreadable);
    if (!WriteOut(out)) return 1;
    return list.entries.empty() ? 1 : 0;
}

}  // namespace kuv::cli
