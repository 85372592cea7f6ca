#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "diary/catalog.h"
#include "diary/diary_book.h"

// Searching the whole diary without an index on disk: the entries are read
// and folded into memory (diary/search_fold.h) in steps on a worker thread,
// and queries run on the folded copy while or after it loads.
namespace kuv {

// A query: terms that must all appear in an entry, folded.
struct SearchQuery {
    std::vector<std::string> terms;
    // A term that code page 932 cannot write: no entry can match.
    bool unmatchable = false;
    bool Empty() const { return terms.empty() && !unmatchable; }
};

// Splits a query at ASCII and full-width spaces (and tabs and line breaks)
// and folds each term; repeated terms count once.
SearchQuery ParseQuery(std::string_view cp932Text);
// The same from the window's text.
SearchQuery ParseQuery(std::u16string_view text);

// A match in a line: [begin, end) as offsets into the line's own text.
struct MatchSpan {
    std::size_t begin = 0, end = 0;
    bool operator==(const MatchSpan&) const = default;
};

// What a result row shows: the first line of the entry that holds a term, in
// code page 932 without its line break, and every occurrence of every term
// in it, in order, overlapping ones merged.
struct SearchRow {
    std::string line;
    std::vector<MatchSpan> spans;
};

// The same spans counted in UTF-16 units of cp932::ToUtf16(line), for a view.
std::vector<MatchSpan> Utf16Spans(std::string_view line, const std::vector<MatchSpan>& spans);

// A day as the result list shows it: the short date of the user's locale and
// the weekday, "2001/01/17 (水)" (FormatDatePattern, code page 932). It reads
// the process-wide date locale, which the window's thread reloads: call it
// there.
std::string ResultDateText(int year, int month, int day);

struct CorpusEntry;
struct CorpusSnapshot;

// One entry that holds every term.
struct SearchMatch {
    int year = 0, month = 0, day = 0;
    PaneSource source = PaneSource::Plain;  // Plain, Locked or Raw
    std::uint32_t entry = 0;                // the entry, in the results' snapshot
    std::uint32_t at = 0;                   // where the first term was found, folded
};

struct SearchResults {
    SearchQuery query;
    std::vector<SearchMatch> matches;  // newest first
    std::size_t searched = 0;          // entries searched (blank ones are none)
    std::size_t sealed = 0;            // locked entries the password does not open: skipped
    std::size_t unreadable = 0;        // entry files that could not be read: skipped
    bool complete = false;             // the whole diary was loaded when the query ran
    // The entries the query ran over, kept alive for the rows.
    std::shared_ptr<const CorpusSnapshot> snapshot;

    // The row of match i, worked out when asked for, so that a view pays
    // only for the rows it shows. Safe from any thread; stays valid after the
    // corpus has changed or gone.
    SearchRow Row(std::size_t i) const;
};

struct LoadProgress {
    std::size_t done = 0;   // days looked at in this refresh
    std::size_t total = 0;  // days listed for this refresh
};

struct CorpusStats {
    std::size_t entries = 0;      // entries held (sealed and unreadable ones included)
    std::size_t textBytes = 0;    // their text
    std::size_t foldedBytes = 0;  // the folded copies held (with any of replaced days)
    std::size_t memoryBytes = 0;  // all the corpus holds, with allocation slack and bookkeeping
    std::size_t sealed = 0;
    std::size_t unreadable = 0;
};

// The entries of one data folder, read and folded.
//
// Threads: BeginRefresh, LoadStep and Refresh load; call them from one
// thread at a time (the worker). Search, Progress, Stats and Loaded may be
// called from any thread at any time, also while a step runs. Each step ends
// by publishing an immutable snapshot of the entries; a query runs on the
// snapshot current when it starts and holds no lock while it runs, so the
// two sides wait for each other only for the copy of one pointer. The object
// must outlive the threads that use it; results do not need it.
//
// Every entry is loaded as the window loads it (LoadPane): .dia wins, a
// .xda is decoded in memory with the password, and one that the password does
// not open is held without text and counted. A refresh reads again only the
// days whose files are new or changed since they were read (size and
// modification time), or all locked days when the password changed, and
// drops the days that are gone. Days are loaded newest first, so that early
// queries already find the recent years.
class SearchCorpus {
  public:
    explicit SearchCorpus(std::string dataPath);
    ~SearchCorpus();
    SearchCorpus(const SearchCorpus&) = delete;
    SearchCorpus& operator=(const SearchCorpus&) = delete;

    const std::string& DataPath() const { return dataPath_; }

    // Lists the diary's days (folder listings only), drops the days that are
    // gone and queues the rest. password is the one of this session, empty
    // while the diary is locked.
    void BeginRefresh(const std::string& password);
    // BeginRefresh for the days of the named years only, after a first
    // refresh: what a save, an import or a change seen in a year folder
    // touched. The days of other years are neither listed nor looked at, but
    // those an unfinished refresh still had queued stay queued. A password
    // other than the last refresh's refreshes every year.
    void BeginRefreshYears(const std::string& password, const std::vector<int>& years);
    // Looks at up to maxDays (at most 128) queued days, reads those that are
    // new or changed and publishes them. True while days remain queued.
    bool LoadStep(std::size_t maxDays = 128);
    // BeginRefresh and LoadStep until the queue is empty or stop is
    // requested, calling progress (if any) after every step. True when the
    // refresh completed; a stopped one leaves what it loaded in place.
    bool Refresh(const std::string& password, std::stop_token stop = {},
                 const std::function<void(LoadProgress)>& progress = {});

    LoadProgress Progress() const;
    // True when the last refresh has completed.
    bool Loaded() const { return loaded_.load(); }
    CorpusStats Stats() const;

    // Runs a query over the entries loaded so far. An empty query matches
    // nothing.
    SearchResults Search(const SearchQuery& query) const;

  private:
    using EntryPtr = std::shared_ptr<const CorpusEntry>;
    // The held entry of a day (loading thread).
    const CorpusEntry* Find(int key) const;
    // True when the files of a held day still have the stamps it was read with.
    bool Unchanged(const EntryDay& day, const CorpusEntry& held) const;
    // Queues listed (newest first), takes the days of gone out and publishes.
    void StartRefresh(std::vector<EntryDay> listed, const std::vector<int>& gone);
    // Puts fresh entries in, takes the days of gone out and publishes.
    void Update(std::vector<EntryPtr> fresh, const std::vector<int>& gone);
    // Makes the entries as they now stand the snapshot that queries see.
    void Publish();
    // Lays the folded copies out anew when replaced days have left too much
    // of the old ones held.
    void Compact();
    std::shared_ptr<const CorpusSnapshot> Current() const;

    const std::string dataPath_;
    // Loading thread only: the password of the refresh, the queued days
    // (newest first), the next one to look at, the entries (newest first)
    // and the byte counts of the folded text, as far as counted.
    std::string password_;
    std::vector<EntryDay> queue_;
    std::size_t next_ = 0;
    std::vector<EntryPtr> entries_;
    std::array<std::uint32_t, 256> counts_{};
    std::size_t counted_ = 0;
    std::size_t unpublished_ = 0;  // days changed since the last snapshot

    mutable std::mutex mutex_;  // guards current_
    std::shared_ptr<const CorpusSnapshot> current_;
    std::atomic<std::size_t> done_{0}, total_{0};
    std::atomic<bool> loaded_{false};
};

// Searches the data folder straight from the files, keeping only the entries
// that match: the companion tool's way, which reads each entry once. Results
// as SearchCorpus::Search would give them after a full refresh.
SearchResults SearchFiles(const std::string& dataPath, const std::string& password,
                          const SearchQuery& query);

}  // namespace kuv
