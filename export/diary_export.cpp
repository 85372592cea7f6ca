#include "export/diary_export.h"

#include <cstdio>
#include <tuple>
#include <vector>

#include "dates/date_pattern.h"
#include "diary/catalog.h"
#include "diary/diary_book.h"
#include "platform/cp932.h"
#include "platform/errors.h"

namespace kuv {

namespace {

// "%s 日分を書き出しました。"
const char* const kExported =
    "%s \x93\xfa\x95\xaa\x82\xf0\x8f\x91\x82\xab\x8f\x6f\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42";
// "パスワードで開けない鍵付きの日記 %s 日分は書き出していません。"
const char* const kLeftLocked =
    "\x83\x70\x83\x58\x83\x8f\x81\x5b\x83\x68\x82\xc5\x8a\x4a\x82\xaf\x82\xc8\x82\xa2\x8c\xae"
    "\x95\x74\x82\xab\x82\xcc\x93\xfa\x8b\x4c %s \x93\xfa\x95\xaa\x82\xcd\x8f\x91\x82\xab\x8f\x6f"
    "\x82\xb5\x82\xc4\x82\xa2\x82\xdc\x82\xb9\x82\xf1\x81\x42";
// "読めなかった日記 %s 日分は書き出していません（%s など）。"
const char* const kLeftUnreadable =
    "\x93\xc7\x82\xdf\x82\xc8\x82\xa9\x82\xc1\x82\xbd\x93\xfa\x8b\x4c %s \x93\xfa\x95\xaa\x82\xcd"
    "\x8f\x91\x82\xab\x8f\x6f\x82\xb5\x82\xc4\x82\xa2\x82\xdc\x82\xb9\x82\xf1\x81\x69%s \x82\xc8"
    "\x82\xc7\x81\x6a\x81\x42";
// "書き出しを取り消しました。ファイルは作っていません。"
const char* const kCancelled =
    "\x8f\x91\x82\xab\x8f\x6f\x82\xb5\x82\xf0\x8e\xe6\x82\xe8\x8f\xc1\x82\xb5\x82\xdc\x82\xb5\x82"
    "\xbd\x81\x42\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xcd\x8d\xec\x82\xc1\x82\xc4\x82\xa2\x82\xdc"
    "\x82\xb9\x82\xf1\x81\x42";
// "ファイル %s に書き込めません。ファイルは作っていません。"
const char* const kCannotWrite =
    "\x83\x74\x83\x40\x83\x43\x83\x8b %s \x82\xc9\x8f\x91\x82\xab\x8d\x9e\x82\xdf\x82\xdc\x82\xb9"
    "\x82\xf1\x81\x42\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xcd\x8d\xec\x82\xc1\x82\xc4\x82\xa2\x82"
    "\xdc\x82\xb9\x82\xf1\x81\x42";

auto Key(int year, int month, int day) {
    return std::make_tuple(year, month, day);
}

std::string Digits(int value, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, value);
    return buf;
}

std::string IsoDay(const DateParts& d) {
    return Digits(d.year, 4) + "-" + Digits(d.month, 2) + "-" + Digits(d.day, 2);
}

std::vector<EntryDay> DaysInRange(const std::string& dataPath, const DayRange& range) {
    std::vector<EntryDay> days;
    for (int year : ListYears(dataPath)) {
        if (year < range.from.year || year > range.to.year) continue;
        for (const EntryDay& d : ListEntries(dataPath, year)) {
            if (range.Contains(d.year, d.month, d.day)) days.push_back(d);
        }
    }
    return days;
}

// An entry's code page 932 text with CR LF breaks as UTF-8 with "\n" breaks
// and none at the end.
std::string ExportText(const std::string& paneText) {
    std::string utf8 = cp932::ToUtf8(paneText);
    std::string text;
    text.reserve(utf8.size());
    for (char c : utf8) {
        if (c != '\r') text += c;
    }
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

}  // namespace

bool DayRange::Contains(int year, int month, int day) const {
    const auto key = Key(year, month, day);
    return Key(from.year, from.month, from.day) <= key && key <= Key(to.year, to.month, to.day);
}

ExportSurvey SurveyExport(const std::string& dataPath, const DayRange& range) {
    ExportSurvey survey;
    for (const EntryDay& d : DaysInRange(dataPath, range)) {
        ++survey.days;
        // A plain file wins over a locked one of the same day.
        if (d.locked && !d.plain) ++survey.locked;
    }
    return survey;
}

ExportResult ForEachExportedDay(const ExportOptions& options, const ExportVisitor& visit,
                                const ProgressFn& progress) {
    ExportResult result;
    const std::vector<EntryDay> days = DaysInRange(options.dataPath, options.range);
    const std::uint64_t total = days.size();
    if (!KeepGoing(progress, 0, total)) {
        result.status = ExportStatus::Cancelled;
        return result;
    }
    std::uint64_t done = 0;
    for (const EntryDay& d : days) {
        const std::string folder = options.dataPath + "/" + Digits(d.year, 4);
        const std::string name = Digits(d.month, 2) + Digits(d.day, 2);
        PaneContent pane;
        try {
            pane = LoadPane(folder, name, options.password);
        } catch (const AppError&) {
            if (result.skippedUnreadable++ == 0) {
                result.firstUnreadable = folder + "/" + name + (d.plain ? ".dia" : ".xda");
            }
            pane.source = PaneSource::None;
        }
        ExportedDay day;
        day.day = DateParts{static_cast<std::uint16_t>(d.year), static_cast<std::uint16_t>(d.month),
                            static_cast<std::uint16_t>(d.day)};
        switch (pane.source) {
            case PaneSource::None:
                // Unreadable, or gone since the folder was listed.
                break;
            case PaneSource::Sealed:
                ++result.skippedLocked;
                break;
            case PaneSource::Plain:
            case PaneSource::Locked:
            case PaneSource::Raw:
                day.text = ExportText(pane.text);
                if (day.text.empty()) {
                    ++result.empty;
                    break;
                }
                day.heading = cp932::ToUtf8(
                    FormatDatePattern(options.headingPattern,
                                      EncodeDateValue(day.day.year, day.day.month, day.day.day)));
                if (!visit(day)) {
                    result.status = ExportStatus::Failed;
                    return result;
                }
                ++result.exported;
                break;
        }
        if (!KeepGoing(progress, ++done, total)) {
            result.status = ExportStatus::Cancelled;
            return result;
        }
    }
    return result;
}

std::string ExportMessage(const ExportResult& result, const std::string& outputPath) {
    switch (result.status) {
        case ExportStatus::Cancelled:
            return kCancelled;
        case ExportStatus::Failed:
            return FormatMessage(kCannotWrite, outputPath);
        case ExportStatus::Done:
            break;
    }
    std::string message = FormatMessage(kExported, std::to_string(result.exported));
    if (result.skippedLocked > 0) {
        message += FormatMessage(kLeftLocked, std::to_string(result.skippedLocked));
    }
    if (result.skippedUnreadable > 0) {
        message += FormatMessage(
            kLeftUnreadable, {std::to_string(result.skippedUnreadable), result.firstUnreadable});
    }
    return message;
}

std::string ExportTitle(const DayRange& range) {
    // An end left open is not named: "日記 2001-01-01 –" or "日記 – 2001-12-31".
    const DayRange all;
    const bool from = Key(range.from.year, range.from.month, range.from.day) !=
                      Key(all.from.year, all.from.month, all.from.day);
    const bool to = Key(range.to.year, range.to.month, range.to.day) !=
                    Key(all.to.year, all.to.month, all.to.day);
    std::string title = "日記";
    if (!from && !to) return title;
    title.append(" ");
    if (from) title.append(IsoDay(range.from)).append(" ");
    title.append("–");
    if (to) title.append(" ").append(IsoDay(range.to));
    return title;
}

std::string EscapeHtml(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + utf8.size() / 8);
    for (char c : utf8) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            case '\n':
            case '\t':
                out += c;
                break;
            default:
                if ((static_cast<unsigned char>(c) < 0x20) || c == '\x7f') {
                    out += "\xEF\xBF\xBD";
                } else {
                    out += c;
                }
        }
    }
    return out;
}

}  // namespace kuv
