#include "diary/search.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>

#include "dates/date_pattern.h"
#include "diary/catalog.h"
#include "diary/search_fold.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/fileio.h"

namespace kuv {

// One day of the diary as the search holds it. Never changed once published:
// a changed day gets a new one, so results may keep theirs.
struct CorpusEntry {
    int key = 0;  // yyyymmdd
    PaneSource source = PaneSource::None;
    bool unreadable = false;
    fsio::FileStamp plainStamp, lockedStamp;  // size -1 for a missing file
    std::string text;                         // the pane text; empty when sealed
    std::string folded;
};

namespace {

// "ddddd (aaa)": the locale's short date and the short weekday.
constexpr const char* kResultDatePattern = "ddddd\" (\"aaa\")\"";

int KeyOf(int year, int month, int day) {
    return year * 10000 + month * 100 + day;
}
int KeyOfAny(int key) {
    return key;
}
int KeyOfAny(const EntryDay& d) {
    return KeyOf(d.year, d.month, d.day);
}

bool FromLocked(PaneSource s) {
    return s == PaneSource::Locked || s == PaneSource::Sealed || s == PaneSource::Raw;
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

// The folder and name of a day, as the window names them.
void DayPaths(const std::string& dataPath, const EntryDay& d, std::string& folder,
              std::string& name) {
    char y[8], md[8];
    std::snprintf(y, sizeof y, "%04d", d.year);
    std::snprintf(md, sizeof md, "%02d%02d", d.month, d.day);
    folder = dataPath + "/" + y;
    name = md;
}

// The pane's text rules (PaneTextFromFile), sparing the copy for the common
// text that already follows them: no zero byte and every line break CR LF.
std::string PaneText(std::string bytes) {
    const std::size_t n = bytes.size();
    bool paneForm = std::memchr(bytes.data(), '\0', n) == nullptr;
    for (std::size_t i = 0; paneForm && i < n; ++i) {
        if (bytes[i] == '\r') {
            paneForm = i + 1 < n && bytes[i + 1] == '\n';
            ++i;
        } else if (bytes[i] == '\n') {
            paneForm = false;
        }
    }
    return paneForm ? bytes : PaneTextFromFile(bytes);
}

// One day's text as the window loads it, before folding.
struct DayText {
    PaneSource source = PaneSource::None;  // None: neither file is there any more
    bool unreadable = false;
    fsio::FileStamp plainStamp, lockedStamp;  // size -1 for a missing file
    std::string text;
};

// Reads a day by the window's rule (LoadPane): the .dia wins, a .xda is
// decoded with the password. A plain day, the common one, is read in one
// pass that also gives its stamp; the rest goes through LoadPane itself.
DayText ReadDay(const std::string& dataPath, const EntryDay& d, const std::string& password) {
    std::string folder, name;
    DayPaths(dataPath, d, folder, name);
    DayText day;
    const std::string lockedPath = folder + "/" + name + ".xda";
    if (d.plain) {
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
    fsio::StampOf(folder + "/" + name + ".dia", day.plainStamp);
    fsio::StampOf(lockedPath, day.lockedStamp);
    try {
        PaneContent pane = LoadPane(folder, name, password);
        day.source = pane.source;
        // A sealed entry's text is what it shows, not what it says.
        if (pane.source != PaneSource::Sealed) day.text = std::move(pane.text);
    } catch (const AppError&) {
        day.unreadable = true;
    }
    return day;
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

// Looks the terms up in one folded entry: where the first of them appears,
// or npos when one is missing. Terms come longest first, which rejects
// soonest.
std::size_t MatchEntry(std::string_view folded, const std::vector<std::string>& terms) {
    std::size_t first = std::string::npos;
    for (const std::string& t : terms) {
        const std::size_t at = FindFolded(folded, t);
        if (at == std::string::npos) return std::string::npos;
        first = std::min(first, at);
    }
    return first;
}

std::vector<std::string> LongestFirst(const SearchQuery& q) {
    std::vector<std::string> terms = q.terms;
    std::stable_sort(terms.begin(), terms.end(), [](const std::string& a, const std::string& b) {
        return a.size() > b.size();
    });
    return terms;
}

// Counts an entry into r; true when its text is to be searched.
bool CountEntry(PaneSource source, bool unreadable, SearchResults& r) {
    if (unreadable) {
        ++r.unreadable;
        return false;
    }
    if (source == PaneSource::Sealed) {
        ++r.sealed;
        return false;
    }
    ++r.searched;
    return true;
}

SearchMatch MatchOf(const std::shared_ptr<const CorpusEntry>& e, std::size_t at) {
    return SearchMatch{e->key / 10000,
                       e->key / 100 % 100,
                       e->key % 100,
                       e->source,
                       e,
                       static_cast<std::uint32_t>(at)};
}

}  // namespace

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
    return FormatDatePattern(kResultDatePattern, EncodeDateValue(static_cast<std::uint16_t>(year),
                                                                 static_cast<std::uint16_t>(month),
                                                                 static_cast<std::uint16_t>(day)));
}

SearchRow SearchResults::Row(std::size_t i) const {
    SearchRow row;
    if (i >= matches.size() || !matches[i].entry) return row;
    const CorpusEntry& e = *matches[i].entry;
    std::size_t foldedStart = 0;
    row.line = std::string(LineAt(e.text, e.folded, matches[i].at, foldedStart));

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

SearchCorpus::SearchCorpus(std::string dataPath) : dataPath_(std::move(dataPath)) {}

SearchCorpus::~SearchCorpus() = default;

const CorpusEntry* SearchCorpus::Find(int key) const {
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), key,
                                     [](const EntryPtr& e, int k) { return e->key > k; });
    return it != entries_.end() && (*it)->key == key ? it->get() : nullptr;
}

void SearchCorpus::Publish(std::vector<EntryPtr> fresh, const std::vector<int>& gone) {
    if (fresh.empty() && gone.empty()) return;
    std::unique_lock lock(mutex_);
    for (int key : gone) {
        const auto it = std::lower_bound(entries_.begin(), entries_.end(), key,
                                         [](const EntryPtr& e, int k) { return e->key > k; });
        if (it != entries_.end() && (*it)->key == key) entries_.erase(it);
    }
    for (EntryPtr& e : fresh) {
        // A first load comes newest first: every day goes at the end.
        if (entries_.empty() || entries_.back()->key > e->key) {
            entries_.push_back(std::move(e));
            continue;
        }
        const auto it = std::lower_bound(entries_.begin(), entries_.end(), e->key,
                                         [](const EntryPtr& x, int k) { return x->key > k; });
        if (it != entries_.end() && (*it)->key == e->key) {
            *it = std::move(e);
        } else {
            entries_.insert(it, std::move(e));
        }
    }
}

void SearchCorpus::BeginRefresh(const std::string& password) {
    std::vector<EntryDay> listed = ListAllEntries(dataPath_);
    std::reverse(listed.begin(), listed.end());

    // Days that are gone, and, when the password changed, every locked day:
    // text decoded under the old password must not stay searchable, and what
    // was sealed may open now.
    const bool passwordChanged = password != password_;
    std::vector<int> gone;
    for (const EntryPtr& e : entries_) {
        const bool listedDay = std::binary_search(
            listed.begin(), listed.end(), e->key,
            [](const auto& a, const auto& b) { return KeyOfAny(a) > KeyOfAny(b); });
        if (!listedDay || (passwordChanged && FromLocked(e->source))) gone.push_back(e->key);
    }
    Publish({}, gone);

    password_ = password;
    queue_ = std::move(listed);
    next_ = 0;
    loaded_ = false;
    done_ = 0;
    total_ = queue_.size();
}

bool SearchCorpus::Unchanged(const EntryDay& day, const CorpusEntry& held) const {
    if (held.unreadable) return false;
    std::string folder, name;
    DayPaths(dataPath_, day, folder, name);
    fsio::FileStamp plain, locked;
    if (day.plain) fsio::StampOf(folder + "/" + name + ".dia", plain);
    if (day.locked) fsio::StampOf(folder + "/" + name + ".xda", locked);
    return plain == held.plainStamp && locked == held.lockedStamp;
}

bool SearchCorpus::LoadStep(std::size_t maxDays) {
    std::vector<EntryPtr> fresh;
    std::vector<int> gone;
    const std::size_t end = std::min(queue_.size(), next_ + std::max<std::size_t>(maxDays, 1));
    for (; next_ < end; ++next_) {
        const EntryDay& d = queue_[next_];
        const int key = KeyOf(d.year, d.month, d.day);
        const CorpusEntry* held = Find(key);
        if (held != nullptr && Unchanged(d, *held)) continue;
        DayText day = ReadDay(dataPath_, d, password_);
        if (day.source == PaneSource::None && !day.unreadable) {
            if (held != nullptr) gone.push_back(key);
            continue;
        }
        auto e = std::make_shared<CorpusEntry>();
        e->key = key;
        e->source = day.source;
        e->unreadable = day.unreadable;
        e->plainStamp = day.plainStamp;
        e->lockedStamp = day.lockedStamp;
        e->folded = FoldText(day.text);
        e->text = std::move(day.text);
        if (e->text.capacity() > e->text.size() + e->text.size() / 32) e->text.shrink_to_fit();
        fresh.push_back(std::move(e));
    }
    Publish(std::move(fresh), gone);
    done_ = next_;
    const bool more = next_ < queue_.size();
    if (!more) loaded_ = true;
    return more;
}

bool SearchCorpus::Refresh(const std::string& password, std::stop_token stop,
                           const std::function<void(LoadProgress)>& progress) {
    BeginRefresh(password);
    bool more = true;
    while (more) {
        if (stop.stop_requested()) return false;
        more = LoadStep();
        if (progress) progress(Progress());
    }
    return true;
}

LoadProgress SearchCorpus::Progress() const {
    return LoadProgress{done_.load(), total_.load()};
}

CorpusStats SearchCorpus::Stats() const {
    std::shared_lock lock(mutex_);
    CorpusStats s;
    s.entries = entries_.size();
    // An entry costs its object with the shared count beside it, and the
    // heap blocks of its two strings (those past the in-place size).
    constexpr std::size_t kControlBlock = 16;
    auto heap = [](const std::string& str) {
        return str.capacity() > 15 ? str.capacity() + 1 : std::size_t{0};
    };
    s.memoryBytes = entries_.capacity() * sizeof(EntryPtr) + queue_.capacity() * sizeof(EntryDay);
    for (const EntryPtr& e : entries_) {
        s.textBytes += e->text.size();
        s.foldedBytes += e->folded.size();
        s.memoryBytes += sizeof(CorpusEntry) + kControlBlock + heap(e->text) + heap(e->folded);
        s.sealed += e->source == PaneSource::Sealed ? 1 : 0;
        s.unreadable += e->unreadable ? 1 : 0;
    }
    return s;
}

SearchResults SearchCorpus::Search(const SearchQuery& query) const {
    SearchResults r;
    r.query = query;
    const std::vector<std::string> terms = LongestFirst(query);
    const bool none = query.unmatchable || terms.empty();
    std::shared_lock lock(mutex_);
    r.complete = loaded_.load();
    for (const EntryPtr& e : entries_) {
        if (!CountEntry(e->source, e->unreadable, r) || none) continue;
        const std::size_t at = MatchEntry(e->folded, terms);
        if (at != std::string::npos) r.matches.push_back(MatchOf(e, at));
    }
    return r;
}

SearchResults SearchFiles(const std::string& dataPath, const std::string& password,
                          const SearchQuery& query) {
    SearchResults r;
    r.query = query;
    r.complete = true;
    const std::vector<std::string> terms = LongestFirst(query);
    const bool none = query.unmatchable || terms.empty();
    const std::vector<EntryDay> days = ListAllEntries(dataPath);
    std::string buffer;
    for (auto d = days.rbegin(); d != days.rend(); ++d) {
        const DayText day = ReadDay(dataPath, *d, password);
        if (day.source == PaneSource::None && !day.unreadable) continue;
        if (!CountEntry(day.source, day.unreadable, r) || none) continue;
        const std::string_view folded = FoldTextInto(day.text, buffer);
        const std::size_t at = MatchEntry(folded, terms);
        if (at == std::string::npos) continue;
        // Only the line of the row is kept.
        std::size_t lineStart = 0;
        auto e = std::make_shared<CorpusEntry>();
        e->key = KeyOf(d->year, d->month, d->day);
        e->source = day.source;
        e->text = std::string(LineAt(day.text, folded, at, lineStart));
        e->folded = FoldText(e->text);
        r.matches.push_back(MatchOf(e, at - lineStart));
    }
    return r;
}

}  // namespace kuv
