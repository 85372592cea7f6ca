#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "diary/catalog.h"
#include "diary/diary_book.h"
#include "diary/search.h"
#include "diary/search_fold.h"
#include "platform/fileio.h"

// What the search's two halves share: the entries, reading a day and
// matching one. Not for use outside them.
namespace kuv {

// One day of the diary as the search holds it. Never changed once published:
// a changed day gets a new one, so results may keep theirs.
struct CorpusEntry {
    int key = 0;  // yyyymmdd
    PaneSource source = PaneSource::None;
    bool unreadable = false;
    fsio::FileStamp plainStamp, lockedStamp;  // size -1 for a missing file
    std::string text;                         // the pane text; empty when sealed
    // The folded text lies in a slab beside those of the days loaded with
    // it, so that a query reads memory in order.
    std::shared_ptr<const std::string> slab;
    std::uint32_t foldedAt = 0, foldedSize = 0;

    std::string_view Folded() const {
        return slab ? std::string_view(*slab).substr(foldedAt, foldedSize) : std::string_view();
    }
};

// What a query runs over: the entries as one step left them, newest first,
// never changed once published.
struct CorpusSnapshot {
    std::vector<std::shared_ptr<const CorpusEntry>> entries;
    // Where each entry's folded copy lies, in the same order: a query walks
    // this, not the entries.
    struct Scan {
        const char* folded = nullptr;
        std::uint32_t size = 0;
        int key = 0;
        std::uint8_t state = 0;  // kSearchable, kSealed or kUnreadable
        PaneSource source = PaneSource::None;
    };
    enum : std::uint8_t { kSearchable, kSealed, kUnreadable };
    std::vector<Scan> scan;
    ByteCounts counts{};  // of the folded text, as far as counted
    bool complete = false;
};

namespace search_detail {

inline int KeyOf(int year, int month, int day) {
    return year * 10000 + month * 100 + day;
}

// One day's text as the window loads it, before folding.
struct DayText {
    PaneSource source = PaneSource::None;  // None: neither file is there any more
    bool unreadable = false;
    fsio::FileStamp plainStamp, lockedStamp;  // size -1 for a missing file
    std::string text;
};

// Reads a day by the window's rule (LoadPane) from what the listing saw.
DayText ReadDay(const std::string& dataPath, const EntryDay& d, const std::string& password);

// The folder and name of a day's files, as the window names them.
void DayPaths(const std::string& dataPath, const EntryDay& d, std::string& folder,
              std::string& name);

// The query's terms made ready for searching text with the given byte
// counts (if any), in the order that rejects soonest: longest first.
std::vector<Needle> Needles(const SearchQuery& q, const ByteCounts* counts);

// Where the first of the terms appears in a folded entry; npos when one of
// them is missing.
std::size_t MatchEntry(std::string_view folded, const std::vector<Needle>& terms);

// Runs the query over a snapshot.
SearchResults SearchSnapshot(std::shared_ptr<const CorpusSnapshot> snapshot,
                             const SearchQuery& query);

}  // namespace search_detail
}  // namespace kuv
