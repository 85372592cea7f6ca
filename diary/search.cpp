#include "diary/search.h"

#include <algorithm>
#include <cstdio>
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
void DayPaths(const std::string& dataPath, int key, std::string& folder, std::string& name) {
    char y[8], md[8];
    std::snprintf(y, sizeof y, "%04d", key / 10000);
    std::snprintf(md, sizeof md, "%04d", key % 10000);
    folder = dataPath + "/" + y;
    name = md;
}

// Reads one day whole. Nothing when neither file is there any more.
std::shared_ptr<CorpusEntry> ReadDay(const std::string& dataPath, int key,
                                     const std::string& password, const fsio::FileStamp& plain,
                                     const fsio::FileStamp& locked) {
    std::string folder, name;
    DayPaths(dataPath, key, folder, name);
    auto e = std::make_shared<CorpusEntry>();
    e->key = key;
    e->plainStamp = plain;
    e->lockedStamp = locked;
    try {
        PaneContent pane = LoadPane(folder, name, password);
        if (pane.source == PaneSource::None) return nullptr;
        e->source = pane.source;
        // A sealed entry's text is what it shows, not what it says.
        if (pane.source != PaneSource::Sealed) {
            e->folded = FoldText(pane.text);
            e->text = std::move(pane.text);
            if (e->text.capacity() > e->text.size() + e->text.size() / 32) e->text.shrink_to_fit();
        }
    } catch (const AppError&) {
        e->unreadable = true;
    }
    return e;
}

// Looks the terms up in one entry: where the first of them appears, or npos
// when one is missing. Terms come longest first, which rejects soonest.
std::size_t MatchEntry(const std::string& folded, const std::vector<std::string>& terms) {
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

// Counts or searches one entry into r.
void SearchEntry(const std::shared_ptr<const CorpusEntry>& e, const std::vector<std::string>& terms,
                 bool unmatchable, SearchResults& r) {
    if (e->unreadable) {
        ++r.unreadable;
        return;
    }
    if (e->source == PaneSource::Sealed) {
        ++r.sealed;
        return;
    }
    ++r.searched;
    if (unmatchable || terms.empty()) return;
    const std::size_t at = MatchEntry(e->folded, terms);
    if (at == std::string::npos) return;
    r.matches.push_back(SearchMatch{e->key / 10000, e->key / 100 % 100, e->key % 100, e->source, e,
                                    static_cast<std::uint32_t>(at)});
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
    // Folding keeps every line break, so the folded match lies on the line
    // of the same number in the text.
    const std::size_t at = std::min<std::size_t>(matches[i].at, e.folded.size());
    const auto lineNo =
        std::count(e.folded.begin(), e.folded.begin() + static_cast<long>(at), '\n');
    std::size_t begin = 0;
    for (long k = 0; k < lineNo && begin != std::string::npos; ++k) {
        begin = e.text.find('\n', begin);
        if (begin != std::string::npos) ++begin;
    }
    if (begin == std::string::npos) return row;
    std::size_t end = e.text.find('\n', begin);
    if (end == std::string::npos) end = e.text.size();
    if (end > begin && e.text[end - 1] == '\r') --end;
    row.line = e.text.substr(begin, end - begin);

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
    std::vector<int> listed;
    for (const EntryDay& d : ListAllEntries(dataPath_)) {
        listed.push_back(KeyOf(d.year, d.month, d.day));
    }
    std::reverse(listed.begin(), listed.end());

    // Days that are gone, and, when the password changed, every locked day:
    // text decoded under the old password must not stay searchable, and what
    // was sealed may open now.
    const bool passwordChanged = password != password_;
    std::vector<int> gone;
    for (const EntryPtr& e : entries_) {
        const bool listedDay = std::binary_search(listed.begin(), listed.end(), e->key,
                                                  [](int a, int b) { return a > b; });
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

bool SearchCorpus::LoadStep(std::size_t maxDays) {
    std::vector<EntryPtr> fresh;
    std::vector<int> gone;
    const std::size_t end = std::min(queue_.size(), next_ + std::max<std::size_t>(maxDays, 1));
    for (; next_ < end; ++next_) {
        const int key = queue_[next_];
        std::string folder, name;
        DayPaths(dataPath_, key, folder, name);
        // The stamps are taken before the read: a change after them shows at
        // the next refresh.
        fsio::FileStamp plain, locked;
        const bool hasPlain = fsio::StampOf(folder + "/" + name + ".dia", plain);
        const bool hasLocked = fsio::StampOf(folder + "/" + name + ".xda", locked);
        const CorpusEntry* held = Find(key);
        if (held != nullptr && !held->unreadable && held->plainStamp == plain &&
            held->lockedStamp == locked) {
            continue;
        }
        std::shared_ptr<CorpusEntry> e;
        if (hasPlain || hasLocked) e = ReadDay(dataPath_, key, password_, plain, locked);
        if (e) {
            fresh.push_back(std::move(e));
        } else if (held != nullptr) {
            gone.push_back(key);
        }
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
    s.memoryBytes = entries_.capacity() * sizeof(EntryPtr) + queue_.capacity() * sizeof(int);
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
    std::shared_lock lock(mutex_);
    r.complete = loaded_.load();
    for (const EntryPtr& e : entries_) SearchEntry(e, terms, query.unmatchable, r);
    return r;
}

SearchResults SearchFiles(const std::string& dataPath, const std::string& password,
                          const SearchQuery& query) {
    SearchResults r;
    r.query = query;
    r.complete = true;
    const std::vector<std::string> terms = LongestFirst(query);
    std::vector<EntryDay> days = ListAllEntries(dataPath);
    for (auto d = days.rbegin(); d != days.rend(); ++d) {
        const fsio::FileStamp none;
        std::shared_ptr<const CorpusEntry> e =
            ReadDay(dataPath, KeyOf(d->year, d->month, d->day), password, none, none);
        if (e) SearchEntry(e, terms, query.unmatchable, r);
    }
    return r;
}

}  // namespace kuv
