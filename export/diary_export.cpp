#include "export/diary_export.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <exception>
#include <future>
#include <thread>
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
    return IsoDayText(d.year, d.month, d.day);
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

// An entry's text with CR LF breaks as UTF-8 with "\n" breaks and none at the
// end; a strong-locked entry's own UTF-8 is taken as it is, every character
// with it.
std::string ExportText(const PaneContent& pane) {
    std::string text = pane.utf8.empty() ? cp932::ToUtf8(pane.text) : pane.utf8;
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

// A day's entry read and laid out for the visitor.
struct PreparedDay {
    enum class Outcome { Gone, Unreadable, Sealed, Empty, Text };
    Outcome outcome = Outcome::Gone;
    ExportedDay day;
    std::string path;  // the file that could not be read
};

constexpr std::size_t kBatchDays = 256;

PreparedDay PrepareDay(const ExportOptions& options, const EntryDay& d) {
    PreparedDay p;
    const std::string folder = options.dataPath + "/" + Digits(d.year, 4);
    const std::string name = Digits(d.month, 2) + Digits(d.day, 2);
    PaneContent pane;
    try {
        pane = LoadPane(folder, name, options.password);
    } catch (const AppError&) {
        p.outcome = PreparedDay::Outcome::Unreadable;
        p.path = folder + "/" + name + (d.strong ? ".kvd" : d.plain ? ".dia" : ".xda");
        return p;
    }
    switch (pane.source) {
        case PaneSource::None:
            // Gone since the folder was listed.
            return p;
        case PaneSource::Sealed:
            p.outcome = PreparedDay::Outcome::Sealed;
            return p;
        case PaneSource::Unreadable:
            p.outcome = PreparedDay::Outcome::Unreadable;
            return p;
        case PaneSource::Plain:
        case PaneSource::Locked:
        case PaneSource::Raw:
        case PaneSource::Strong:
        case PaneSource::StrongWide:
            break;
    }
    // An entry of white space only shows nothing: it goes out as an empty one.
    if (BlankEntryText(pane.text)) {
        p.outcome = PreparedDay::Outcome::Empty;
        return p;
    }
    p.day.text = ExportText(pane);
    p.outcome = PreparedDay::Outcome::Text;
    p.day.day = DateParts{static_cast<std::uint16_t>(d.year), static_cast<std::uint16_t>(d.month),
                          static_cast<std::uint16_t>(d.day)};
    p.day.heading = cp932::ToUtf8(FormatDatePattern(
        options.headingPattern, EncodeDateValue(p.day.day.year, p.day.day.month, p.day.day.day)));
    return p;
}

// Prepares days [start, start + count) on up to threads threads.
std::vector<PreparedDay> PrepareBatch(const ExportOptions& options,
                                      const std::vector<EntryDay>& days, std::size_t start,
                                      std::size_t count, std::size_t threads) {
    std::vector<PreparedDay> batch(count);
    std::atomic<std::size_t> next{0};
    std::vector<std::exception_ptr> failures(threads);
    const auto work = [&](std::size_t thread) {
        try {
            for (std::size_t i; (i = next.fetch_add(1)) < count;) {
                batch[i] = PrepareDay(options, days[start + i]);
            }
        } catch (...) {
            // Whatever a helper met (no memory) reaches the caller as it would alone.
            failures[thread] = std::current_exception();
            next = count;
        }
    };
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < std::min(threads, count); ++t) helpers.emplace_back(work, t);
    work(0);
    for (std::thread& t : helpers) t.join();
    for (const std::exception_ptr& failure : failures) {
        if (failure) std::rethrow_exception(failure);
    }
    return batch;
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
        if (d.strong || (d.locked && !d.plain)) ++survey.locked;
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
    // Reading and converting the entries is most of the work, and each day is
    // its own: a few threads prepare the next batch of days while the visitor
    // sees the present one, in order, on this thread. Leaving early waits for
    // the batch under way.
    const std::size_t threads = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
    const auto launch = [&](std::size_t start) {
        return std::async(std::launch::async, PrepareBatch, std::cref(options), std::cref(days),
                          start, std::min(kBatchDays, days.size() - start), threads);
    };
    std::future<std::vector<PreparedDay>> coming;
    if (!days.empty()) coming = launch(0);
    std::uint64_t done = 0;
    for (std::size_t start = 0; start < days.size(); start += kBatchDays) {
        std::vector<PreparedDay> batch = coming.get();
        if (start + kBatchDays < days.size()) coming = launch(start + kBatchDays);

        for (PreparedDay& p : batch) {
            switch (p.outcome) {
                case PreparedDay::Outcome::Gone:
                    break;
                case PreparedDay::Outcome::Unreadable:
                    if (result.skippedUnreadable++ == 0) result.firstUnreadable = p.path;
                    break;
                case PreparedDay::Outcome::Sealed:
                    ++result.skippedLocked;
                    break;
                case PreparedDay::Outcome::Empty:
                    ++result.empty;
                    break;
                case PreparedDay::Outcome::Text:
                    if (!visit(p.day)) {
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
    // One day is named alone: "日記 2001-01-17".
    if (from && to && IsoDay(range.from) == IsoDay(range.to))
        return title.append(IsoDay(range.from));
    if (from) title.append(IsoDay(range.from)).append(" ");
    title.append("–");
    if (to) title.append(" ").append(IsoDay(range.to));
    return title;
}

std::string EscapeHtml(std::string_view utf8) {
    // Which bytes need more than themselves; runs of the others go out whole.
    static const std::array<bool, 256> kSpecial = [] {
        std::array<bool, 256> special{};
        for (int c = 0; c < 0x20; ++c)
            special[static_cast<std::size_t>(c)] = c != '\n' && c != '\t';
        for (unsigned char c : {'&', '<', '>', '"', '\'', '\x7f'}) special[c] = true;
        return special;
    }();
    std::string out;
    out.reserve(utf8.size() + utf8.size() / 8);
    std::size_t from = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (!kSpecial[static_cast<unsigned char>(c)]) continue;
        out.append(utf8, from, i - from);
        from = i + 1;
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
            default:
                // HTML allows no control characters.
                out += "\xEF\xBF\xBD";
        }
    }
    return out.append(utf8, from, std::string_view::npos);
}

}  // namespace kuv
