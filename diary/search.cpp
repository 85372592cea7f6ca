#include "diary/search.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "dates/date_locale.h"
#include "dates/date_pattern.h"
#include "diary/catalog.h"
#include "diary/parallel_days.h"
#include "diary/search_entry.h"
#include "diary/search_fold.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/fileio.h"

namespace kuv {

namespace {

// How much text the file search folds at a time, to the next line break.
constexpr std::size_t kRunBytes = 512;

// " (aaa)": the short weekday after the date.
constexpr const char* kResultWeekdayPattern = "\" (\"aaa\")\"";

// The locale's short date with a two-digit year (m/d/yy) widened to four
// digits, as the date picker shows it: 6/15/15 could be any century. Quoted
// text and the trail bytes of double-byte characters are left as they are.
std::string WideYearShortDate(const DateLocaleTables& locale) {
    const std::string& format = locale.shortDateFormat;
    std::string wide;
    char quote = 0;
    for (std::size_t i = 0; i < format.size();) {
        const char c = format[i];
        if (quote != 0 || c == '"' || c == '\'') {
            quote = quote == 0 ? c : (c == quote ? 0 : quote);
            wide += c;
            ++i;
        } else if (locale.leadBytes[static_cast<unsigned char>(c)] && i + 1 < format.size()) {
            wide.append(format, i, 2);
            i += 2;
        } else if (c == 'y' || c == 'Y') {
            std::size_t run = 1;
            while (i + run < format.size() && (format[i + run] == 'y' || format[i + run] == 'Y')) {
                ++run;
            }
            wide.append(run == 2 ? std::size_t{4} : run, c);
            i += run;
        } else {
            wide += c;
            ++i;
        }
    }
    return wide;
}

void AddTerm(SearchQuery& q, std::string_view bytes) {
    if (bytes.empty()) return;
    std::string folded = FoldText(bytes);
    if (std::find(q.terms.begin(), q.terms.end(), folded) == q.terms.end()) {
        q.terms.push_back(std::move(folded));
    }
}

bool IsSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0x3000;
}

// The pane's text rules (PaneTextFromFile), sparing the copy for the common
// text that already follows them: no zero byte and every line break CR LF.
std::string PaneText(std::string bytes) {
    const char* p = bytes.data();
    const std::size_t n = bytes.size();
    if (std::memchr(p, '\0', n) != nullptr) return PaneTextFromFile(bytes);
    // Every LF has its CR, and there are no more CRs than LFs.
    std::size_t lines = 0;
    for (const char* lf = static_cast<const char*>(std::memchr(p, '\n', n)); lf != nullptr;
         lf = static_cast<const char*>(std::memchr(lf + 1, '\n', n - (lf + 1 - p)))) {
        if (lf == p || lf[-1] != '\r') return PaneTextFromFile(bytes);
        ++lines;
    }
    if (static_cast<std::size_t>(std::count(p, p + n, '\r')) != lines) {
        return PaneTextFromFile(bytes);
    }
    return bytes;
}

// The line of text that holds folded offset at (folding keeps every line
// break, so the folded line of the same number), without its line break,
// and where that line starts in the folded text.
std::string_view LineAt(std::string_view text, std::string_view folded, std::size_t at,
                        std::size_t& foldedStart) {
    at = std::min(at, folded.size());
    const std::size_t br = at == 0 ? std::string_view::npos : folded.rfind('\n', at - 1);
    foldedStart = br == std::string_view::npos ? 0 : br + 1;
    const auto lineNo =
        std::count(folded.begin(), folded.begin() + static_cast<long>(foldedStart), '\n');
    std::size_t begin = 0;
    for (long k = 0; k < lineNo && begin != std::string_view::npos; ++k) {
        begin = text.find('\n', begin);
        if (begin != std::string_view::npos) ++begin;
    }
    if (begin == std::string_view::npos) return {};
    std::size_t end = text.find('\n', begin);
    if (end == std::string_view::npos) end = text.size();
    if (end > begin && text[end - 1] == '\r') --end;
    return text.substr(begin, end - begin);
}

}  // namespace

namespace search_detail {

// The folder and name of a day, as the window names them.
void DayPaths(const std::string& dataPath, const EntryDay& d, std::string& folder,
              std::string& name) {
    char y[8], md[8];
    std::snprintf(y, sizeof y, "%04d", d.year);
    std::snprintf(md, sizeof md, "%02d%02d", d.month, d.day);
    folder = dataPath + "/" + y;
    name = md;
}

// Reads a day by the window's rule (LoadPane): the .dia wins, a .xda is
// decoded with the password. A plain day, the common one, is read in one
// pass that also gives its stamp; the rest goes through LoadPane itself.
DayText ReadDay(const std::string& dataPath, const EntryDay& d, const std::string& password) {
    std::string folder, name;
    DayPaths(dataPath, d, folder, name);
    DayText day;
    const std::string lockedPath = folder + "/" + name + (d.strong ? ".kvd" : ".xda");
    if (d.plain && !d.strong) {
        std::string bytes;
        switch (fsio::ReadFileOnce(folder + "/" + name + ".dia", bytes, kMaxPaneBytes,
                                   &day.plainStamp)) {
            case fsio::ReadStatus::Ok:
                if (d.locked) fsio::StampOf(lockedPath, day.lockedStamp);
                day.source = PaneSource::Plain;
                day.text = PaneText(std::move(bytes));
                return day;
            case fsio::ReadStatus::Missing:
                // Most likely locked by a save since the listing: the locked
                // file is looked at next, as the window does.
                day.plainStamp = fsio::FileStamp{};
                break;
            case fsio::ReadStatus::TooLarge:
            case fsio::ReadStatus::CannotOpen:
            case fsio::ReadStatus::ReadError:
                day.unreadable = true;
                return day;
        }
    }
    // Stamps before the read: a change after them shows at the next refresh.
    // A sealed day that the listing found without a .dia has none to stamp.
    if (d.plain || !d.strong) fsio::StampOf(folder + "/" + name + ".dia", day.plainStamp);
    fsio::StampOf(lockedPath, day.lockedStamp);
    try {
        PaneContent pane =
            d.strong ? LoadSealedPane(folder, name, password) : LoadPane(folder, name, password);
        day.source = pane.source;
        // A sealed entry's text is what it shows, not what it says.
        if (pane.source != PaneSource::Sealed) day.text = std::move(pane.text);
    } catch (const AppError&) {
        day.unreadable = true;
    }
    return day;
}

std::size_t MatchEntry(std::string_view folded, const std::vector<Needle>& terms) {
    std::size_t first = std::string::npos;
    for (const Needle& t : terms) {
        const std::size_t at = FindFolded(folded, t);
        if (at == std::string::npos) return std::string::npos;
        first = std::min(first, at);
    }
    return first;
}

std::vector<Needle> Needles(const SearchQuery& q, const ByteCounts* counts) {
    std::vector<Needle> needles;
    for (const std::string& t : q.terms) needles.push_back(MakeNeedle(t, counts));
    std::stable_sort(needles.begin(), needles.end(), [](const Needle& a, const Needle& b) {
        return a.bytes.size() > b.bytes.size();
    });
    return needles;
}

namespace {

// BlankEntryText on a folded text, where a full-width space is a space.
bool BlankFolded(std::string_view folded) {
    return folded.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

}  // namespace

SearchResults SearchSnapshot(std::shared_ptr<const CorpusSnapshot> snapshot,
                             const SearchQuery& query) {
    SearchResults r;
    r.query = query;
    if (!snapshot) return r;
    r.complete = snapshot->complete;
    const std::vector<Needle> terms = Needles(query, &snapshot->counts);
    const bool none = query.unmatchable || terms.empty();
    const auto& scan = snapshot->scan;
    for (std::size_t i = 0; i < scan.size(); ++i) {
        const CorpusSnapshot::Scan& s = scan[i];
        if (s.state != CorpusSnapshot::kSearchable) {
            ++(s.state == CorpusSnapshot::kSealed ? r.sealed : r.unreadable);
            continue;
        }
        // A blank entry is no entry, also in the count.
        if (BlankFolded(std::string_view(s.folded, s.size))) continue;
        ++r.searched;
        if (none) continue;
        const std::size_t at = MatchEntry(std::string_view(s.folded, s.size), terms);
        if (at == std::string::npos) continue;
        r.matches.push_back(SearchMatch{s.key / 10000, s.key / 100 % 100, s.key % 100, s.source,
                                        static_cast<std::uint32_t>(i),
                                        static_cast<std::uint32_t>(at)});
    }
    r.snapshot = std::move(snapshot);
    return r;
}

}  // namespace search_detail

using search_detail::KeyOf;
using search_detail::MatchEntry;
using search_detail::Needles;
using search_detail::ReadDay;

SearchQuery ParseQuery(std::string_view text) {
    SearchQuery q;
    std::size_t start = 0, i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        std::size_t width = 1;
        bool space = b == ' ' || b == '\t' || b == '\r' || b == '\n';
        if (cp932::IsLeadByte(b) && i + 1 < text.size()) {
            width = 2;
            space = b == 0x81 && text[i + 1] == '\x40';  // full-width space
        }
        if (space) {
            AddTerm(q, text.substr(start, i - start));
            start = i + width;
        }
        i += width;
    }
    AddTerm(q, text.substr(start));
    return q;
}

SearchQuery ParseQuery(std::u16string_view text) {
    SearchQuery q;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !IsSpace(text[i])) continue;
        if (i > start) {
            const cp932::Encoded bytes = cp932::FromUtf16(text.substr(start, i - start));
            if (bytes.ok) {
                AddTerm(q, bytes.bytes);
            } else {
                q.unmatchable = true;
            }
        }
        start = i + 1;
    }
    return q;
}

std::vector<MatchSpan> Utf16Spans(std::string_view line, const std::vector<MatchSpan>& spans) {
    std::vector<MatchSpan> out;
    out.reserve(spans.size());
    for (const MatchSpan& s : spans) {
        out.push_back(MatchSpan{cp932::ToUtf16(line.substr(0, s.begin)).size(),
                                cp932::ToUtf16(line.substr(0, s.end)).size()});
    }
    return out;
}

std::string ResultDateText(int year, int month, int day) {
    return FormatDatePattern(
        WideYearShortDate(DateLocale()) + kResultWeekdayPattern,
        EncodeDateValue(static_cast<std::uint16_t>(year), static_cast<std::uint16_t>(month),
                        static_cast<std::uint16_t>(day)));
}

SearchRow SearchResults::Row(std::size_t i) const {
    SearchRow row;
    if (!snapshot || i >= matches.size() || matches[i].entry >= snapshot->entries.size()) {
        return row;
    }
    const CorpusEntry& e = *snapshot->entries[matches[i].entry];
    std::size_t foldedStart = 0;
    row.line = std::string(LineAt(e.text, e.Folded(), matches[i].at, foldedStart));

    std::vector<std::uint32_t> map;
    const std::string folded = FoldText(row.line, map);
    for (const std::string& t : query.terms) {
        for (std::size_t p = FindFolded(folded, t); p != std::string::npos;
             p = FindFolded(folded, t, p + t.size())) {
            row.spans.push_back(MatchSpan{map[p], map[p + t.size()]});
        }
    }
    std::sort(row.spans.begin(), row.spans.end(),
              [](const MatchSpan& a, const MatchSpan& b) { return a.begin < b.begin; });
    std::vector<MatchSpan> merged;
    for (const MatchSpan& s : row.spans) {
        if (!merged.empty() && s.begin < merged.back().end) {
            merged.back().end = std::max(merged.back().end, s.end);
        } else {
            merged.push_back(s);
        }
    }
    row.spans = std::move(merged);
    return row;
}

namespace {

// What the file search found in one day.
struct DayHit {
    enum : std::uint8_t { kGone, kSearched, kMatched, kSealed, kUnreadable } state = kGone;
    PaneSource source = PaneSource::None;
    std::string line;  // the row's line, when matched
    std::uint32_t at = 0;
};

// Days a thread of the file search takes at a time.
constexpr std::size_t kSearchBatchDays = 32;

DayHit SearchDay(const std::string& dataPath, const EntryDay& d, const std::string& password,
                 const std::vector<Needle>& terms, bool none, std::string& buffer) {
    DayHit hit;
    const search_detail::DayText day = ReadDay(dataPath, d, password);
    if (day.unreadable) {
        hit.state = DayHit::kUnreadable;
        return hit;
    }
    if (day.source == PaneSource::None) return hit;
    if (day.source == PaneSource::Sealed) {
        hit.state = DayHit::kSealed;
        return hit;
    }
    if (BlankEntryText(day.text)) return hit;
    hit.state = DayHit::kSearched;
    hit.source = day.source;
    if (none) return hit;
    // In runs of whole lines, and only until every term has been seen:
    // terms hold no line break, and the row is the first line that holds
    // one.
    std::vector<bool> seen(terms.size(), false);
    std::size_t missing = terms.size();
    std::string_view rowLine;
    std::size_t rowAt = 0;
    const std::string_view text = day.text;
    for (std::size_t begin = 0; begin < text.size() && missing > 0;) {
        std::size_t end = text.find('\n', std::min(text.size(), begin + kRunBytes));
        end = end == std::string_view::npos ? text.size() : end + 1;
        const std::string_view run = text.substr(begin, end - begin);
        const std::string_view folded = FoldTextInto(run, buffer);
        std::size_t first = std::string::npos;
        for (std::size_t t = 0; t < terms.size(); ++t) {
            if (seen[t]) continue;
            const std::size_t at = FindFolded(folded, terms[t]);
            if (at == std::string::npos) continue;
            seen[t] = true;
            --missing;
            first = std::min(first, at);
        }
        if (rowLine.empty() && first != std::string::npos) {
            std::size_t lineStart = 0;
            rowLine = LineAt(run, folded, first, lineStart);
            rowAt = first - lineStart;
        }
        begin = end;
    }
    if (missing > 0) return hit;
    // Only the line of the row is kept.
    hit.state = DayHit::kMatched;
    hit.line = std::string(rowLine);
    hit.at = static_cast<std::uint32_t>(rowAt);
    return hit;
}

}  // namespace

SearchResults SearchFiles(const std::string& dataPath, const std::string& password,
                          const SearchQuery& query) {
    SearchResults r;
    r.query = query;
    r.complete = true;
    auto snapshot = std::make_shared<CorpusSnapshot>();
    snapshot->complete = true;
    const std::vector<Needle> terms = Needles(query, nullptr);
    const bool none = query.unmatchable || terms.empty();
    std::vector<EntryDay> days = ListAllEntries(dataPath);
    std::reverse(days.begin(), days.end());
    // Read and folded on every core; the hits are kept in the days' order.
    std::vector<DayHit> hits(days.size());
    ForEachBatch(days.size(), kSearchBatchDays, 0, [&](std::size_t begin, std::size_t end) {
        std::string buffer;
        for (std::size_t i = begin; i < end; ++i) {
            hits[i] = SearchDay(dataPath, days[i], password, terms, none, buffer);
        }
    });
    for (std::size_t i = 0; i < days.size(); ++i) {
        DayHit& hit = hits[i];
        const EntryDay& d = days[i];
        switch (hit.state) {
            case DayHit::kGone:
                continue;
            case DayHit::kUnreadable:
                ++r.unreadable;
                continue;
            case DayHit::kSealed:
                ++r.sealed;
                continue;
            case DayHit::kSearched:
                ++r.searched;
                continue;
            case DayHit::kMatched:
                ++r.searched;
                break;
        }
        auto e = std::make_shared<CorpusEntry>();
        e->key = KeyOf(d.year, d.month, d.day);
        e->source = hit.source;
        e->text = std::move(hit.line);
        auto slab = std::make_shared<const std::string>(FoldText(e->text));
        e->foldedSize = static_cast<std::uint32_t>(slab->size());
        e->slab = std::move(slab);
        r.matches.push_back(SearchMatch{d.year, d.month, d.day, hit.source,
                                        static_cast<std::uint32_t>(snapshot->entries.size()),
                                        hit.at});
        snapshot->entries.push_back(std::move(e));
    }
    r.snapshot = std::move(snapshot);
    return r;
}

}  // namespace kuv
