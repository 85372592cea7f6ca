#pragma once

#include <bitset>
#include <string>
#include <string_view>
#include <vector>

// The days of a data folder that hold an entry, found by listing the year
// folders' names: no entry file is opened or read, but for the start of the
// files of one month that the marks look at.
namespace kuv {

struct EntryDay {
    int year = 0, month = 0, day = 0;
    bool plain = false;   // mmdd.dia is there
    bool locked = false;  // mmdd.xda is there
    bool strong = false;  // mmdd.kvd is there, sealed under the diary's strong lock
    bool operator==(const EntryDay&) const = default;
};

// The year folders ("0001" to "9999"), ascending.
std::vector<int> ListYears(const std::string& dataPath);

// The days of one year with an entry file, ascending; month 1 to 12 keeps one
// month, 0 the whole year. Only names the program loads count: "mmdd.dia",
// "mmdd.xda" and "mmdd.kvd" of a real calendar day, as regular files (or
// links to them).
std::vector<EntryDay> ListEntries(const std::string& dataPath, int year, int month = 0);

// Every day of every year, oldest first.
std::vector<EntryDay> ListAllEntries(const std::string& dataPath);

// The calendar's marks of one month: bit d is day d. A day is locked when the
// window opens it from its locked file, that is when it has a .xda and no
// .dia. A blank entry is no mark; this reads the start of each entry file of
// the month.
struct MonthMarks {
    std::bitset<32> written;
    std::bitset<32> locked;
    bool operator==(const MonthMarks&) const = default;
};
MonthMarks MarkMonth(const std::string& dataPath, int year, int month);

// True when an entry's text (code page 932) shows nothing: empty, or only
// spaces, tabs, line breaks and full-width spaces up to its end or its first
// zero byte. Such an entry keeps its file but counts as no entry in the
// marks, 毎年の今日 and the counts of a search.
bool BlankEntryText(std::string_view text);
// The same for an entry file, read only as far as its first character that
// shows. A locked file is blank only when its container holds nothing (no
// password needed). A file that cannot be read is not blank.
bool BlankEntryFile(const std::string& path, bool locked);

// Days of a month of the proleptic Gregorian calendar (0 for a month outside
// 1 to 12).
int DaysInMonth(int year, int month);

}  // namespace kuv
