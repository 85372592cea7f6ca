#include "diary/catalog.h"

#include <algorithm>
#include <cstdio>

#include "crypt/cryptogram.h"
#include "dates/calendar.h"
#include "platform/fileio.h"

namespace kuv {

namespace {

bool AllDigits(const std::string& s, std::size_t from, std::size_t count) {
    if (s.size() < from + count) return false;
    return std::all_of(s.begin() + static_cast<std::ptrdiff_t>(from),
                       s.begin() + static_cast<std::ptrdiff_t>(from + count),
                       [](char c) { return c >= '0' && c <= '9'; });
}

int Number(const std::string& s, std::size_t from, std::size_t count) {
    int n = 0;
    for (std::size_t i = from; i < from + count; ++i) n = n * 10 + (s[i] - '0');
    return n;
}

std::string YearName(int year) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04d", year);
    return buf;
}

}  // namespace

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return kDays[month - 1] + (month == 2 && IsLeap(year) ? 1 : 0);
}

std::vector<int> ListYears(const std::string& dataPath) {
    std::vector<fsio::DirEntry> names;
    std::vector<int> years;
    if (!fsio::ListDirectory(dataPath, names)) return years;
    for (const fsio::DirEntry& e : names) {
        if (e.kind != fsio::Kind::Directory || e.name.size() != 4 || !AllDigits(e.name, 0, 4)) {
            continue;
        }
        const int year = Number(e.name, 0, 4);
        if (year >= 1) years.push_back(year);
    }
    std::sort(years.begin(), years.end());
    return years;
}

std::vector<EntryDay> ListEntries(const std::string& dataPath, int year, int month) {
    std::vector<EntryDay> days;
    std::vector<fsio::DirEntry> names;
    if (year < 1 || year > 9999) return days;
    if (!fsio::ListDirectory(dataPath + "/" + YearName(year), names)) return days;
    for (const fsio::DirEntry& e : names) {
        // "mmdd.dia", "mmdd.xda" or "mmdd.kvd", exactly as the program names them.
        const std::string& n = e.name;
        if (e.kind != fsio::Kind::File || n.size() != 8 || !AllDigits(n, 0, 4) || n[4] != '.') {
            continue;
        }
        const bool plain = n.compare(5, 3, "dia") == 0;
        const bool locked = n.compare(5, 3, "xda") == 0;
        const bool strong = n.compare(5, 3, "kvd") == 0;
        if (!plain && !locked && !strong) continue;
        const int m = Number(n, 0, 2), d = Number(n, 2, 2);
        if (m < 1 || m > 12 || d < 1 || d > DaysInMonth(year, m)) continue;
        if (month != 0 && m != month) continue;
        days.push_back(EntryDay{year, m, d, plain, locked, strong});
    }
    std::sort(days.begin(), days.end(), [](const EntryDay& a, const EntryDay& b) {
        return a.month != b.month ? a.month < b.month : a.day < b.day;
    });
    // A day with both files is one entry.
    std::vector<EntryDay> merged;
    merged.reserve(days.size());
    for (const EntryDay& d : days) {
        if (!merged.empty() && merged.back().month == d.month && merged.back().day == d.day) {
            merged.back().plain |= d.plain;
            merged.back().locked |= d.locked;
            merged.back().strong |= d.strong;
        } else {
            merged.push_back(d);
        }
    }
    return merged;
}

std::vector<EntryDay> ListAllEntries(const std::string& dataPath) {
    std::vector<EntryDay> all;
    for (int year : ListYears(dataPath)) {
        std::vector<EntryDay> days = ListEntries(dataPath, year);
        all.insert(all.end(), days.begin(), days.end());
    }
    return all;
}

namespace {

// How far a blank text has been read: a full-width space may be cut in two
// between two reads.
struct BlankScan {
    bool lead = false;  // the last byte was 0x81, waiting for 0x40
    bool shows = false;
    bool ended = false;  // a zero byte ends the text
    void Take(std::string_view bytes) {
        for (const char c : bytes) {
            const auto b = static_cast<unsigned char>(c);
            if (lead) {
                lead = false;
                if (b != 0x40) shows = true;
            } else if (b == 0) {
                ended = true;
            } else if (b == 0x81) {
                lead = true;
            } else if (b != ' ' && b != '\t' && b != '\r' && b != '\n') {
                shows = true;
            }
            if (shows || ended) return;
        }
    }
    bool Blank() const { return !shows && !lead; }
};

}  // namespace

bool BlankEntryText(std::string_view text) {
    BlankScan scan;
    scan.Take(text);
    return scan.Blank();
}

bool BlankEntryFile(const std::string& path, bool locked) {
    fsio::InFile in;
    if (!in.Open(path)) return false;
    if (locked) {
        // A file of a container's size that is no container shows as stored.
        unsigned char header[kCryptHeaderSize];
        return in.Size() == static_cast<std::int64_t>(kCryptHeaderSize) &&
               in.Read(header, sizeof header) == static_cast<std::int64_t>(sizeof header) &&
               HasCryptMarker(header, sizeof header);
    }
    BlankScan scan;
    char buf[4096];
    for (;;) {
        const std::int64_t n = in.Read(buf, sizeof buf);
        if (n < 0) return false;
        if (n == 0) return scan.Blank();
        scan.Take(std::string_view(buf, static_cast<std::size_t>(n)));
        if (scan.shows || scan.ended) return scan.Blank();
    }
}

MonthMarks MarkMonth(const std::string& dataPath, int year, int month) {
    MonthMarks marks;
    if (month < 1 || month > 12) return marks;
    for (const EntryDay& d : ListEntries(dataPath, year, month)) {
        // The window shows the .dia when there is one.
        char name[16];
        std::snprintf(name, sizeof name, "/%02d%02d.%s", d.month, d.day, d.plain ? "dia" : "xda");
        if (BlankEntryFile(dataPath + "/" + YearName(year) + name, !d.plain)) continue;
        marks.written.set(static_cast<std::size_t>(d.day));
        if ((d.locked || d.strong) && !d.plain) marks.locked.set(static_cast<std::size_t>(d.day));
    }
    return marks;
}

}  // namespace kuv
